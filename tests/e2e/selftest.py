#!/usr/bin/env python3
"""The suite's own checks, with no desktop, program or sound server: the runner (suite.py) fed
groups whose outcome is known, and the sound judge (sound.py) fed recordings made here, each
known to be good or bad. A judge that passes a late or cut bang, or a runner that turns a crash
into a pass, would hide the program's faults from every other check. tests/e2e/run runs these
first, as the session [harness]; `tests/e2e/selftest.py` runs them alone."""

import functools
import importlib.machinery
import os
import signal
import subprocess
import sys
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.dont_write_bytecode = True  # no __pycache__ left in the source tree

import sound  # noqa: E402
import suite  # noqa: E402
from desktop import Failure  # noqa: E402

CHECKS = []  # (name, function raising Failure or AssertionError when the check does not hold)


def check(name):
    def register(fn):
        CHECKS.append((name, fn))
        return fn
    return register


def rows(name, table):
    """One check per row of `table`, (label, params): `name [label]`, the function given the
    params as keywords."""
    def register(fn):
        for label, params in table:
            CHECKS.append((f"{name} [{label}]", lambda fn=fn, params=params: fn(**params)))
        return fn
    return register


# ---------------------------------------------------------------------------------------------
# The runner: a group of two checks, "a" and "b", scripted for its first and second run; each step
# a check that passes or fails, "raise" (the group cannot go on) or "crash" (its program dies of
# a signal). What the tally must end with: the failed checks, and those named flaky.


class Scratch:
    """A program of the group's that crashes at once, as a real one would, seen as the suite's
    instances are: `crashed`, `stop`, `log`."""

    def __init__(self):
        self.proc = subprocess.Popen([sys.executable, "-c",
                                      "import os, signal; os.kill(os.getpid(), signal.SIGSEGV)"])
        self.log, self.stopped = os.devnull, False

    def crashed(self, wait=0):
        status = self.proc.wait()
        return f"scratch ({signal.Signals(-status).name})" if status < 0 else None

    def stop(self):
        self.proc.wait()


class Session:
    def __init__(self):
        self.timings = []


def two_runs(first, second):
    """The tally of a scripted group's first run and, if the runner says so, its second."""
    scripts = iter([first, second])

    def fn(t):
        for step in next(scripts):
            if step == "raise":
                raise Failure("the group cannot go on")
            if step == "crash":
                t.instances.append(Scratch())
                continue
            name, ok = step
            t.check(name, lambda: ok or fail(f"{name} failed"))
    grp, tally, crashes = suite.Group("g", ["a", "b"], fn, None, {}), suite.Tally(quiet), []
    saved, suite.CRASHES[:] = suite.CRASHES[:], []
    try:
        run = suite.run_group(Session(), grp, tally.report)
        for again in suite.to_run_again([run] if run.failed else []):
            tally.again = True
            suite.run_again(Session(), again, tally.report)
        crashes = suite.CRASHES[:]
    finally:
        suite.CRASHES[:] = saved
    return ({name for _, name in tally.failures}, {name for (_, name), _ in tally.flaky},
            crashes)


A, B, NOT_A, NOT_B = ("a", True), ("b", True), ("a", False), ("b", False)
AFTER = "g (after its checks)"


@rows("runner: a second run", [
    ("a check passes only the second time: flaky, not failed",
     dict(first=[NOT_A, B], second=[A, B], failed=set(), flaky={"g: a"})),
    ("a check fails twice", dict(first=[NOT_A, B], second=[NOT_A, B], failed={"g: a"})),
    ("a crash only on the second try, after its checks",
     dict(first=[NOT_A, B], second=[A, B, "crash"], failed={AFTER}, flaky={"g: a"}, crashed=1)),
    ("a fault after the checks in both runs, earlier in the second",
     dict(first=[A, B, "raise"], second=[A, "raise"], failed={"g: b", AFTER})),
    ("a check passes first and fails second",
     dict(first=[NOT_A, B], second=[A, NOT_B], failed={"g: b"}, flaky={"g: a"})),
    ("a crash the first time: not run again",
     dict(first=[NOT_A, "crash"], second=[A, B], failed={"g: a", "g: b"}, crashed=1)),
])
def second_run(first, second, failed, flaky=frozenset(), crashed=0):
    got = two_runs(first, second)
    want = (failed, set(flaky), crashed)
    assert (got[0], got[1], len(got[2])) == want, f"got {got}, wanted {want}"


@check("runner: more than ten failed groups, one of them crashed: none is run again")
def at_most_ten():
    class Failed:
        def __init__(self, again):
            self.again = again
    runs = [Failed(True) for _ in range(suite.AGAIN_AT_MOST)]
    assert len(suite.to_run_again(runs)) == suite.AGAIN_AT_MOST
    assert suite.to_run_again(runs + [Failed(False)]) == []


@check("runner: tools/repeat-tests counts a crash as a failure of its run")
def repeat_tests_crash():
    path = os.path.join(HERE, "..", "..", "tools", "repeat-tests")
    tool = importlib.machinery.SourceFileLoader("repeat_tests", path).load_module()
    out = "e2e: 12 passed, 0 failed\ncrashed: pikorina (SIGSEGV) in launch [Enter]\n"
    failed, _ = tool.run_failures("e2e", tool.e2e_failures, out, 1)
    assert failed == ["crashed: pikorina (SIGSEGV) in launch [Enter]"], failed


def fail(message):
    raise Failure(message)


def quiet(*args, **kwargs):
    pass


# ---------------------------------------------------------------------------------------------
# The sound judge: Don.wav put into silence as a program would have played it, at moments due
# 0.5, 1.5 and 2.5 s in, beside the platform's player, which here starts each play 0.12 s late
# and stops it at the next moment, as Wine's does. Each row names the checks that must find a
# fault on each program's rules: "" none.

RATE = sound.RATE


@functools.cache
def don():
    return tuple(sound.decoded(sound.DON))


def made_up(late=0.015, length=(1, 1, 1), stopped=False, gap=None, extra=None, stumble=()):
    """The recording and the samples at which its bangs were due. Each bang heard `late` s after
    its moment, `length` of the file; `stopped`: where the next is due; `gap`: (which bang, how
    far in, how long) in seconds of silence; `extra`: a bang more, that many s in; `stumble`:
    the middle bang's (how far into the file, seconds of silence put in, seconds of it lost)."""
    x, due = [0] * 5 * RATE, [RATE // 2 + k * RATE for k in range(3)]
    for k, d in enumerate(due):
        start, bang = d + round(late * RATE), list(don()[:round(length[k] * RATE)])
        for at, silent, lost in reversed(stumble if k == 1 else ()):
            bang[round(at * RATE):round((at + lost) * RATE)] = [0] * round(silent * RATE)
        end = min(start + len(bang), due[k + 1] if stopped and k < 2 else len(x))
        x[start:end] = bang[:end - start]
        if gap and gap[0] == k:
            at = start + round(gap[1] * RATE)
            x[at:at + round(gap[2] * RATE)] = [0] * round(gap[2] * RATE)
    if extra:
        x[round(extra * RATE):round(extra * RATE) + RATE] = don()
    return x, due


GAP = (1, 0.5, 0.02)  # 20 ms in the middle of the middle bang
JUDGE = [  # (label, the program's recording, the platform's gap, faults on Linux, on Windows)
    ("the file whole", {}, None, "", ""),
    ("every bang 0.25 s late", dict(late=0.25), None, "timing", "timing"),
    ("each bang but the last cut at 70 %", dict(length=(0.7, 0.7, 1)), None,
     "likeness", "likeness"),
    ("a 20 ms gap in the middle", dict(gap=GAP), None, "likeness", "likeness"),
    ("the last bang cut short", dict(length=(1, 1, 0.7)), None, "likeness", "likeness"),
    ("an extra bang", dict(extra=4), None, "timing", "timing"),
    ("each stopped by the next one's moment and heard 0.12 s after its own, as Wine plays",
     dict(late=0.12, stopped=True), None, "timing likeness", ""),
    ("each stopped so and heard 0.16 s after its own, within the player's start-up and margin",
     dict(late=0.16, stopped=True), None, "timing likeness", ""),
    ("each stopped so and heard 0.2 s after its own, beyond them",
     dict(late=0.2, stopped=True), None, "timing likeness", "timing likeness"),
    ("a 20 ms gap in the middle, the platform's alike in another play", dict(gap=GAP),
     (0, 0.5, 0.02), "likeness", "likeness"),
    ("a 20 ms gap in the middle, the platform's elsewhere in the same play", dict(gap=GAP),
     (1, 0.3, 0.02), "likeness", "likeness"),
    ("a 20 ms gap in the middle, the platform's in the same place", dict(gap=GAP), GAP, "", ""),
    ("a 20 ms gap in the middle, the platform's a 4 ms one at the same moment on the clock",
     dict(gap=GAP), (1, 0.4, 0.004), "", ""),
    ("each stopped so and heard 0.2 s after its own, the player's as late earlier in the session",
     dict(late=0.2, stopped=True, before=0.2), None, "timing likeness", ""),
    ("a 20 ms gap in the middle while the machine stood still", dict(gap=GAP, still=(1.99, 2.05)),
     None, "", ""),
    ("a 20 ms gap in the middle, the machine standing still until just before it",
     dict(gap=GAP, still=(1.95, 2.0)), None, "likeness", "likeness"),
    ("the server stumbling: 4, 9 and 4 ms of silence within 20 ms, 13 ms of the file lost",
     dict(stumble=[(0.145, 0.004, 0), (0.151, 0.009, 0.004), (0.161, 0.004, 0.009)]), None, "",
     ""),
]


@rows("sound: the judge", [(label, dict(program=program, platform_gap=gap, faults=(linux, win)))
                           for label, program, gap, linux, win in JUDGE])
def sound_judge(program, platform_gap, faults):
    # `still`: when the machine stood still, (from, to) seconds; `before`: the player's latest
    # start-up earlier in the session
    program, before = dict(program), program.get("before", 0)
    still = [tuple(round(s * RATE) for s in program.pop("still"))] if "still" in program else []
    program.pop("before", None)
    x, due = made_up(**program)
    played, played_due = made_up(late=0.12, stopped=True, gap=platform_gap)
    for rules, expected in zip((sound.LINUX, sound.WINDOWS), faults):
        for judge, also in ((sound.timing, {}), (sound.likeness, dict(still=still))):
            found = judge(list(don()), x, due, played, played_due, rules, before, **also)
            if bool(found) != (judge.__name__ in expected):
                raise Failure(f"on the {rules.name} program's rules, {judge.__name__} found "
                              f"{found or 'no fault'}")


def run(report):
    """Runs every check, each reported by `report(name, ok, message)`."""
    for name, fn in CHECKS:
        try:
            fn()
        except (Failure, AssertionError) as e:
            report(name, False, str(e) or "the check did not hold")
            continue
        except Exception as e:  # a fault in the check itself counts as a failure too
            report(name, False, f"{type(e).__name__}: {e}\n" + traceback.format_exc(limit=-3))
            continue
        report(name, True, "")


if __name__ == "__main__":
    failed = []

    def report(name, ok, message):
        print(f"  {'ok  ' if ok else 'FAIL'}  {name}" + ("" if ok else f"\n        {message}"))
        if not ok:
            failed.append(name)
    run(report)
    print(f"selftest: {len(CHECKS) - len(failed)} passed, {len(failed)} failed")
    sys.exit(1 if failed else 0)
