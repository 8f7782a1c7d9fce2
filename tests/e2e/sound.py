"""The bangs in a recording (tools/sound_server.py), found by their onsets and judged against
the moments they were due and the file as sox decodes it; beside them, the same file played by
the platform's own player at the same moments in the same session, whose start-up and dropouts
say what the machine and the platform do to any sound played so. `timing` and `likeness` are
the judge: they take recordings and return faults, and tests/e2e/selftest.py feeds them
recordings made up to be good or bad."""

import collections
import operator
import os
import re
import subprocess
import sys
import threading
import time

import artwork
import desktop  # which also puts tools/ on the path
import sound_server
from sound_server import RATE

# The buffer the Linux program's output asks for; the platform's player is asked for the same.
LATENCY_MS = 200
# Under Wine, for the program and Wine's own player alike. At a stream's start Wine hands the
# server as much as the server takes, then feeds it from a thread that wakes each period and
# first asks the server for its timing: a busy machine that held that thread up was heard as a
# dropout just where that first write ran out, at random in one player or the other. The server
# takes half the latency asked for plus 20 ms (libpulse's own override; Wine's default asks for
# three periods, 30 ms): the default ran dry 22-24 ms in, 80 ms 55-60 ms in; 150 ms takes 95 of
# the 100 ms winmm holds at the start (docs/performance.md).
WINE_ENV = {"PULSE_LATENCY_MSEC": "150"}
# The server's cycle while the recorder asks for 5 ms: 256 frames at 48 kHz. A busy machine
# drops a cycle or two in any stream now and then; a longer gap is the program's, unless the
# platform's player had it too, in the same bang at the same place (give or take PLACE).
CYCLE = RATE * 256 // 48000
DROP = 2 * CYCLE
PLACE = RATE * 5 // 1000
QUIET = 2  # a sample this small, in a run of a millisecond or more, is silence
AUDIBLE = 32768 // 100  # where the file is quieter than this, a gap is not judged
DON = os.path.join(artwork.ASSETS, "Don.wav")

# How each program's bangs are judged. `late`: how long after its wait's end a bang may start.
# With `startup`, that is on top of the platform's player's longest start-up in the same
# session, never later than LATEST; and the silence before a next bang is that bang's start-up,
# excused as long as the next may be late: Wine's PlaySound stops the old bang at the call and
# opens an output for the new one, which starts playing 34-324 ms later (docs/performance.md).
Rules = collections.namedtuple("Rules", "name late startup")
LINUX = Rules("Linux", 0.1, False)
WINDOWS = Rules("Windows", 0.05, True)
LATEST = 0.5


# A real-time process that wakes each millisecond and prints when it woke late: then nothing
# below it ran, the sound server's real-time threads included. Under a busy shared machine it
# has seen the whole machine stand still for 100 ms.
STALL = 0.01
WITNESS = f"""
import time
last = time.time()
while True:
    time.sleep(0.001)
    now = time.time()
    if now - last > 0.001 + {STALL}:
        print(last, now, flush=True)
    last = now
"""


class Server(sound_server.Server):
    """tools/sound_server.py's server, its processes among the suite's, and each recording dated
    as it arrives: `due(sink, moment)` is the sample played at that time.time(). `stalls`: while
    it recorded, when the machine stood still for more than STALL (start and end time.time())."""

    def __init__(self, folder):
        super().__init__(folder, desktop.spawn)
        self.arrivals = {sink: [] for sink in self.SINKS}  # (time, samples recorded by then)
        self.dating = self.witness = None
        self.stalls = []

    def record(self):
        super().record()
        self.witness = self.spawn(["chrt", "-f", "50", sys.executable, "-c", WITNESS],
                                  stdout=subprocess.PIPE, text=True)
        self.dating = threading.Thread(target=self.date, daemon=True)
        self.dating.start()

    def date(self):
        while self.dating:
            for sink in self.SINKS:
                # The size before the time: every sample counted had been played by then. Read
                # the other way round, a thread held up between the two dated the recording's
                # start too early, and a bang 6 ms after its moment was found 6 ms before it.
                n = os.path.getsize(self.raw(sink)) // 4
                self.arrivals[sink].append((time.time(), n))
            time.sleep(0.002)

    def samples(self):
        dating, self.dating = self.dating, None
        if dating:
            dating.join()
        if self.witness:
            watched = self.witness.poll() is None  # chrt may be refused the priority
            desktop.end(self.witness)
            self.stalls = [tuple(map(float, line.split())) for line in self.witness.stdout] \
                if watched else None
        return super().samples()

    def close(self):
        if self.witness:
            desktop.end(self.witness)
        super().close()

    def still(self, sink):
        """When the witness saw the machine stand still, as (from, to) samples of the recording
        of `sink`; None where that is unknown."""
        if self.stalls is None:
            return None
        return [(self.due(sink, a), self.due(sink, b)) for a, b in self.stalls
                if b + LATEST <= self.arrivals[sink][-1][0]]

    def stood_still(self, sink):
        """What the witness saw, in seconds of the recording of `sink`."""
        if (still := self.still(sink)) is None:
            return "the machine's stalls unknown (chrt -f was refused)"
        return (f"the machine stood still (a real-time process woke that late) "
                f"{', '.join(f'{ms(b - a):.0f} ms from {seconds(a)}' for a, b in still)}"
                if still else f"the machine never stood still for more than {STALL * 1000:.0f} ms")

    def due(self, sink, moment):
        """The sample of the recording of `sink` played at `moment`, or an earlier one, so that
        a bang is never found early. A sample arrives after it was played, and a busy machine
        makes the server skip cycles (its samples then fall behind the clock, 2 ms a second
        under load): a moment is dated by what arrived after it, not by the recording's start;
        and by what arrived after the latest a bang may start, so that cycles skipped between
        a wait's end and its bang make the bang late, not early (three Linux bangs were found
        6-10 ms early, in a loaded run, when dated by what arrived right after the moment)."""
        start = min(t - n / RATE for t, n in self.arrivals[sink] if t >= moment + LATEST)
        return round((moment - start) * RATE)


def decoded(path):
    """The file as sox hears it, at the recording's rate, mono, 16-bit."""
    raw = subprocess.run(["sox", path, "-t", "raw", "-r", str(RATE), "-c", "1", "-e", "signed",
                          "-b", "16", "-L", "-"], check=True, capture_output=True).stdout
    return memoryview(raw).cast("h").tolist()


def onsets(x, loud=8000):
    """Where a sound starts: after 20 ms below a quarter of `loud`, a sample above it that `loud`
    follows within 5 ms, half a second or more after the last start (sooner, it is the same
    sound resuming after a dropout)."""
    found, calm = [], 0
    for i, v in enumerate(x):
        if abs(v) < loud // 4:
            calm += 1
            continue
        if calm >= RATE // 50 and (not found or i - found[-1] >= RATE // 2) \
                and max(map(abs, x[i:i + RATE // 200])) >= loud:
            found.append(i)
        calm = 0
    return found


def dot(a, b):
    return sum(map(operator.mul, a, b))


class Bang:
    """One sound of a recording `x` from `start` until `stop`, compared with `ref` apart from
    its gaps: runs of silence where `ref` is audible (in its quiet tail a cut shows in the
    loudness). After a gap the sound goes on where it stopped (the server played silence while
    it waited) or where it would have been (a part was lost), give or take 21 ms (the recording
    smears a gap's edges): wherever it matches best. `gaps`: (where, how long) in samples from
    the start; `similarity`: cosine similarity with ref of all the rest; `worst`: how far the
    loudness of ref's tenths strays, as heard: 1 as loud, 0.5 half or twice, 0 a part missing
    (`levels`: each tenth's, heard against meant); `end`: where ref's last sample was heard;
    `cut`: where the next bang stopped it, or None. `excused`: the longest silence before the
    next bang that is the next one's start-up, not this one's end."""

    def __init__(self, x, start, stop, ref, excused=0):
        self.start, self.gaps, shift, smear = start, [], 0, RATE * 21 // 1000
        # One sound at a time, as Windows plays: the next bang stops this one as it starts, and
        # is heard once the platform has started it. The silence between, as long as the
        # platform's start-up, is the next bang's start, not this one's end: it is judged until
        # it was stopped. The last bang of an explosion is judged to the file's end, so a bang
        # that ends early by itself still fails. (The next bang's first samples may come before
        # where it is found.)
        end = silent = max(start, stop - RATE // 200)
        while silent > start and abs(x[silent - 1]) <= QUIET:
            silent -= 1
        self.cut = silent if stop < len(x) and end - silent >= RATE // 1000 and \
            stop - silent <= excused and silent - start < len(ref) else None
        stop = self.cut or stop
        sums, heard, meant = [0, 0, 0], [0] * 10, [0] * 10  # x·ref, x·x, ref·ref
        span = max(1, min(stop - start, len(ref)))

        def compare(i, k):  # x[i:k] with the file where it is at, tenth by tenth
            j = i - start - shift
            i, j = i + max(0, -j), max(0, j)
            k = min(k, i + len(ref) - j)
            while i < k:
                tenth = min(9, j * 10 // span)
                e = k if tenth == 9 else min(k, i + -(-(tenth + 1) * span // 10) - j)
                xs, rs = x[i:e], ref[j:j + e - i]
                heard[tenth] += (h := dot(xs, xs))
                meant[tenth] += (m := dot(rs, rs))
                sums[:] = [sums[0] + dot(xs, rs), sums[1] + h, sums[2] + m]
                i, j = e, j + e - i
            return i
        i = start
        quiet = bytes(abs(v) <= QUIET for v in x[start:stop])
        for m in re.finditer(rb"\x01{%d,}" % (RATE // 1000), quiet):
            at, run = start + m.start(), start + m.end()
            i = compare(i, at)
            j, n = at - start - shift, run - at
            if i < at or j >= len(ref):
                break
            if dot(ref[j:j + n], ref[j:j + n]) > AUDIBLE ** 2 * n:
                self.gaps.append((at - start, n))
                after = x[run:run + RATE // 50]

                def fit(s):  # as alike as the shapes are: the loudest part of ref must not win
                    r = ref[max(0, run - start - s):run - start - s + len(after)]
                    return dot(after, r) / (dot(r, r) ** 0.5 or 1)
                shift = max(range(shift - smear, shift + n + smear), key=fit)
                i = run
        else:
            i = compare(i, stop)
        self.end = i
        ab, aa, bb = sums
        self.similarity = ab / (aa * bb) ** 0.5 if aa and bb else 0.0
        self.levels = [(h / m) ** 0.5 for h, m in zip(heard, meant) if m]
        self.worst = min([1.0] + [min(v, 1 / v if v else 0) for v in self.levels])


def bangs(x, ref, excused=0):
    """Each sound in x, from its onset until the next one starts. It starts where its first
    100 ms match ref's best, near its onset."""
    head = ref[:RATE // 10]
    starts = [max(range(max(0, o - 60), o + 6), key=lambda s: dot(x[s:s + len(head)], head))
              for o in onsets(x)]
    return [Bang(x, start, stop, ref, excused)
            for start, stop in zip(starts, starts[1:] + [len(x)])]


def at(found, due):
    """The bang of `found` heard at each moment `due` (samples), None where none was, and the
    bangs heard at none: a bang belongs to the moment within half a second of its start."""
    near = [[b for b in found if abs(b.start - d) < RATE // 2] for d in due]
    mine = [b[0] if b else None for b in near]
    return mine, [b for b in found if b not in mine]


def player_start(ref, played, played_due):
    """The platform's player's plays of `ref` in its recording `played`: the one heard at each
    of the moments `played_due`, None where none was; and the latest start of one after its
    moment, in seconds."""
    theirs, _ = at(bangs(played, ref, RATE * LATEST), played_due)
    return theirs, max([0] + [(b.start - d) / RATE for b, d in zip(theirs, played_due) if b])


def allowance(ref, played, played_due, rules, before=0):
    """The platform's player's plays (as `player_start`), and how late after its wait's end a
    bang of the program may be heard under `rules`, in seconds: with `startup`, after the
    player's latest start in the session, here or `before`."""
    theirs, late = player_start(ref, played, played_due)
    return theirs, min(LATEST, max(late, before) + rules.late) if rules.startup else rules.late


NO_COMPARISON = "the platform's player was not heard at each of its moments: no comparison"


def seconds(samples):
    return f"{samples / RATE:.3f} s"


def timing(ref, x, due, played, played_due, rules, before=0):
    """The faults in when a program's bangs of `ref` were heard in the recording `x`, due at
    the samples `due` (none where the program may not play the file): one at each moment, at
    most as late as `rules` allows, none at any other, and nothing else heard. `played`: the
    platform's player's recording, its plays due at `played_due`; `before`: its latest start
    earlier in the session (s). A bang heard late is late however the machine stood."""
    allowed = rules.late
    if rules.startup:
        theirs, allowed = allowance(ref, played, played_due, rules, before)
        if None in theirs:
            return [NO_COMPARISON]
    found = bangs(x, ref)
    mine, others = at(found, due)
    faults = [f"nothing heard at {seconds(d)}" for b, d in zip(mine, due) if not b]
    faults += [f"a bang at {seconds(b.start)}, {(b.start - d) / RATE:+.3f} s after its wait's "
               f"end (at most {allowed:.3f} s)" for b, d in zip(mine, due)
               if b and not -PLACE <= b.start - d <= allowed * RATE]
    faults += [f"a bang at {seconds(b.start)}, when none was due" for b in others]
    if (loudest := other_sound(x, found)) > AUDIBLE:
        faults.append(f"a sound of {loudest / 32768:.1%} of full scale outside the bangs")
    return faults


def likeness(ref, x, due, played, played_due, rules, before=0, still=()):
    """The faults in what was heard of each bang of `ref` in `x` (as in `timing`): the file
    until the next bang is heard, or under `rules.startup` until the next stopped it; its
    dropouts no longer than two server cycles, or where the platform's player had one in the
    same play at the same place or at the same moment (after the moment both were due), or
    while the machine stood still: within one of the (from, to) samples of `x` in `still`, when
    nothing at all could run."""
    theirs, allowed = allowance(ref, played, played_due, rules, before)
    if None in theirs:
        return [NO_COMPARISON]
    found = bangs(x, ref, round(allowed * RATE) + PLACE if rules.startup else 0)
    mine, _ = at(found, due)
    # The player's gaps in the same play, and how much later than its play the program's bang
    # began after the moment both were due: a stumble of the machine empties both streams at
    # once, each for as long as its buffer falls short, so their gaps meet on the clock.
    heard = {id(b): (p.gaps, b.start - d - (p.start - pd))
             for b, p, d, pd in zip(mine, theirs, due, played_due) if b}

    def excused(b, where, n):
        their_gaps, lag = heard.get(id(b), ([], 0))
        return n <= DROP or any(w - PLACE <= where and where + n <= w + m + PLACE
                                or w - PLACE < lag + where + n and lag + where < w + m + PLACE
                                for w, m in their_gaps) \
            or any(a - PLACE <= b.start + where and b.start + where + n <= z + PLACE
                   for a, z in still)
    return [describe(b, due) + (f"; the platform's player's gaps in the same play "
                                f"{[(ms(w), ms(n)) for w, n in heard.get(id(b), ([], 0))[0]]}")
            for b in found if b.similarity < 0.95 or b.worst < 0.5
            or not all(excused(b, w, n) for w, n in b.gaps)]


def ms(samples):
    return round(samples * 1000 / RATE, 1)


def describe(b, due):
    """Where a bang was heard against when it was due, and how it differs from the file."""
    d = min(due, key=lambda d: abs(d - b.start), default=None)
    when = f" ({(b.start - d) / RATE:+.3f} s after its wait's end)" if d is not None else ""
    cut = f", stopped at {seconds(b.cut)} by the next" if b.cut else ""
    return (f"at {seconds(b.start)}{when}{cut}: like the file {b.similarity:.3f}, tenths "
            f"{[round(v, 3) for v in b.levels]}, gaps (where, how long in ms) "
            f"{[(ms(w), ms(n)) for w, n in b.gaps]}")


def other_sound(x, found):
    """The loudest sample of x outside the bangs found in it."""
    inside = [False] * len(x)
    for b in found:
        inside[b.start:b.end + RATE // 50] = [True] * len(inside[b.start:b.end + RATE // 50])
    return max((abs(v) for v, sounds in zip(x, inside) if not sounds), default=0)
