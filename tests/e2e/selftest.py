#!/usr/bin/env python3
"""The suite's own checks, with no desktop, program or sound server: the runner (suite.py) fed
groups whose outcome is known, and the sound judge (sound.py) fed recordings made here, each
known to be good or bad. A judge that passes a late or cut bang, or a runner that turns a crash
into a pass, would hide the program's faults from every other check. tests/e2e/run runs these
first, as the session [harness]; `tests/e2e/selftest.py` runs them alone."""

import os
import sys
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.dont_write_bytecode = True  # no __pycache__ left in the source tree

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
