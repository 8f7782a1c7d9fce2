"""The bangs in a recording (tools/sound_server.py), found by their onsets and compared with the
file as sox decodes it; and the same file played by the platform's own player in the same
session, whose dropouts say what the machine does to any sound at that latency."""

import os
import subprocess

import artwork
import desktop  # which also puts tools/ on the path
from sound_server import RATE, Server

# The buffer the Linux program's output asks for; the platform's player is asked for the same.
LATENCY_MS = 200
# A gap this long is one cycle of the server (1,024 frames at 48 kHz, PipeWire's default), which
# a busy machine may drop in any stream: ours are judged beyond the reference's longest by more.
CYCLE = RATE * 21 // 1000
QUIET = 2  # a sample this small, in a run of a millisecond or more, is silence
# How late a bang may be heard after its wait's end: under Wine each one opens an output of its
# own, which under load took up to 0.3 s to start playing.
LATE = RATE * 3 // 10
AUDIBLE = 32768 // 100  # where the file is quieter than this, a gap is not judged
DON = os.path.join(artwork.ASSETS, "Don.wav")


def server(folder):
    """tools/sound_server.py's server, its processes among the suite's."""
    return Server(folder, desktop.spawn)


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
    return sum(p * q for p, q in zip(a, b))


class Bang:
    """One sound of a recording `x` from `start` until `stop`, compared with `ref` apart from
    its gaps: runs of silence where `ref` is audible (in its quiet tail a cut shows in the
    loudness). After a gap the sound goes on where it stopped (the server played silence while
    it waited) or where it would have been (a part was lost), give or take a server cycle (the
    recording smears a gap's edges): wherever it matches best. `gaps`: (where, how long) in
    samples from the start;
    `similarity`: cosine similarity with ref of all the rest; `worst`: how far the loudness of
    ref's tenths strays, as heard: 1 as loud, 0.5 half or twice, 0 a part missing (`levels`: each
    tenth's, heard against meant); `end`: where ref's last sample was heard; `cut`: where the
    next bang stopped it, or None."""

    def __init__(self, x, start, stop, ref):
        self.start, self.gaps, shift = start, [], 0
        # One sound at a time, as Windows plays: the next bang stops this one as it starts, and
        # is heard once the platform has started it, up to LATE later. The silence between is
        # the next bang's start, not this one's end: it is judged until it was stopped. The last
        # bang of an explosion is judged to the file's end, so a bang that ends early by itself
        # still fails. (The next bang's first samples may come before where it is found.)
        end = silent = max(start, stop - RATE // 200)
        while silent > start and abs(x[silent - 1]) <= QUIET:
            silent -= 1
        self.cut = silent if stop < len(x) and end - silent >= RATE // 1000 and \
            stop - silent <= LATE and silent - start < len(ref) else None
        stop = self.cut or stop
        ab = aa = bb = 0
        # Tenths of what is compared: a bang that the next one cuts short (one sound at a time,
        # as Windows plays) is judged until then.
        heard, meant, span = [0] * 10, [0] * 10, max(1, min(stop - start, len(ref)))
        i = start
        while i < stop and i - start - shift < len(ref):
            run = i
            while run < stop and abs(x[run]) <= QUIET:
                run += 1
            j, n = i - start - shift, max(1, run - i)
            meant_there = ref[j:j + n]
            audible = dot(meant_there, meant_there) > AUDIBLE ** 2 * len(meant_there)
            if n >= RATE // 1000 and audible:
                self.gaps.append((i - start, n))
                after = x[run:run + RATE // 50]
                shift = max(range(shift - CYCLE, shift + n + CYCLE),
                            key=lambda s: dot(after, ref[max(0, run - start - s):
                                                         run - start - s + len(after)]))
                i = run
                continue
            for p, q in zip(x[i:i + n], ref[j:j + n]):
                ab, aa, bb = ab + p * q, aa + p * p, bb + q * q
                heard[min(9, j * 10 // span)] += p * p
                meant[min(9, j * 10 // span)] += q * q
                j += 1
            i += n
        self.end = i
        self.similarity = ab / (aa * bb) ** 0.5 if aa and bb else 0.0
        self.levels = [(h / m) ** 0.5 for h, m in zip(heard, meant) if m]
        self.worst = min([1.0] + [min(v, 1 / v if v else 0) for v in self.levels])

    def longest_gap(self):
        return max((n for _, n in self.gaps), default=0)


def bangs(x, ref):
    """Each sound in x, from its onset until the next one starts. It starts where its first
    100 ms match ref's best, near its onset."""
    head = ref[:RATE // 10]
    starts = [max(range(max(0, o - 60), o + 6), key=lambda s: dot(x[s:s + len(head)], head))
              for o in onsets(x)]
    return [Bang(x, start, stop, ref) for start, stop in zip(starts, starts[1:] + [len(x)])]


def other_sound(x, found):
    """The loudest sample of x outside the bangs found in it."""
    inside = [False] * len(x)
    for b in found:
        inside[b.start:b.end + RATE // 50] = [True] * len(inside[b.start:b.end + RATE // 50])
    return max((abs(v) for v, sounds in zip(x, inside) if not sounds), default=0)
