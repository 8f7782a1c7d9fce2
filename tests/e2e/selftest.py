#!/usr/bin/env python3
"""The suite's own checks, with no desktop, program or sound server: the runner (suite.py) fed
groups whose outcome is known, and the sound judge (sound.py) fed recordings made here, each
known to be good or bad. A judge that passes a late or cut bang, or a runner that turns a crash
into a pass, would hide the program's faults from every other check. tests/e2e/run runs these
first, as the session [harness]; `tests/e2e/selftest.py` runs them alone."""

import functools
import os
import sys
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.dont_write_bytecode = True  # no __pycache__ left in the source tree

import sound  # noqa: E402
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
# The sound judge: Don.wav put into silence as a program would have played it, at moments due
# 0.5, 1.5 and 2.5 s in, beside the platform's player, which here starts each play 0.12 s late
# and stops it at the next moment, as Wine's does. Each row names the checks that must find a
# fault on each program's rules: "" none.

RATE = sound.RATE


@functools.cache
def don():
    return tuple(sound.decoded(sound.DON))


def made_up(late=0.015, length=(1, 1, 1), stopped=False, gap=None, extra=None):
    """The recording and the samples at which its bangs were due. Each bang heard `late` s after
    its moment, `length` of the file; `stopped`: where the next is due; `gap`: (which bang, how
    far in, how long) in seconds of silence; `extra`: a bang more, that many s in."""
    x, due = [0] * 5 * RATE, [RATE // 2 + k * RATE for k in range(3)]
    for k, d in enumerate(due):
        start, bang = d + round(late * RATE), don()[:round(length[k] * RATE)]
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
    ("a 20 ms gap in the middle, the platform's alike in another play", dict(gap=GAP),
     (0, 0.5, 0.02), "likeness", "likeness"),
    ("a 20 ms gap in the middle, the platform's elsewhere in the same play", dict(gap=GAP),
     (1, 0.3, 0.02), "likeness", "likeness"),
    ("a 20 ms gap in the middle, the platform's in the same place", dict(gap=GAP), GAP, "", ""),
]


@rows("sound: the judge", [(label, dict(program=program, platform_gap=gap, faults=(linux, win)))
                           for label, program, gap, linux, win in JUDGE])
def sound_judge(program, platform_gap, faults):
    x, due = made_up(**program)
    played, played_due = made_up(late=0.12, stopped=True, gap=platform_gap)
    for rules, expected in zip((sound.LINUX, sound.WINDOWS), faults):
        for judge in (sound.timing, sound.likeness):
            found = judge(list(don()), x, due, played, played_due, rules)
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
