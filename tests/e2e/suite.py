"""A small runner: checks are gathered in groups, one program run per group, and every check is a
named result of its own.

A group declares the names of its checks up front. A check that fails is reported and the group
goes on with the next one; if the group itself cannot go on (the program died, a window never
appeared), every check it had not reached is reported as failed with that reason, so no failure
hides others and the count of checks is the same in every run. A program that crashed is named
as such ("crashed: pikorina (SIGSEGV)") in the failures it caused, also when the group saw only
a window gone, and in CRASHES for the suite's last lines.

A group whose checks failed may be run once more (`run_again`), alone, in a new session: its
checks follow its own earlier steps, so the whole group runs again. A check that failed the first
time and passes now counts as passed, and is named as flaky (`Tally`); everything else the second
run finds is a failure: a check that failed again or failed only now, a crash, a sanitizer's
report, a fault after the checks. A group whose program crashed or had a sanitizer report is not
run again (`Run.again`): that is the program's fault however the second run goes; nor is any
when more than AGAIN_AT_MOST groups of the session failed, crashed ones included: then the
session itself is broken, not one check unlucky.
"""

import contextlib
import fcntl
import json
import os
import re
import time
import traceback

from desktop import Failure

AGAIN_AT_MOST = 10
# The file by which the sound groups of sessions side by side take turns (`turn`), if any.
LOCK_VARIABLE = "PIKORINA_E2E_GROUPS_LOCK"
# A file that ./test's computing lane holds locked while it runs: sound groups wait for it.
QUIET_VARIABLE = "PIKORINA_QUIET_LOCK"
GROUPS = []
CRASHES = []  # "pikorina (SIGSEGV) in GROUP", once for each crashed program
# What the sanitizers write when they find a fault (AddressSanitizer, UndefinedBehaviorSanitizer).
SANITIZER_REPORT = re.compile(rb"==\d+==(ERROR|WARNING): \w*Sanitizer|: runtime error: ")


class Tally:
    """Every check's outcome, by session and name, as the suite's summary counts it: passed, or
    the message of its first failure. `report` prints each as it comes."""

    def __init__(self, out=print):
        self.passed, self.failures, self.flaky = set(), {}, []  # flaky: (key, first message)
        self.session, self.again, self.out = "", False, out

    def report(self, name, ok, message):
        key = (self.session, name)
        second = " (second run)" if self.again else ""
        if ok:
            self.out(f"  ok    {name}{second}", flush=True)
            if key in self.failures:  # it passed only now: counted, and named as a fault to find
                self.flaky.append((key, self.failures.pop(key)))
            self.passed.add(key)
            return
        self.out(f"  FAIL  {name}{second}\n        {message.strip()}".replace("\n", "\n        "),
                 flush=True)
        self.passed.discard(key)
        self.failures.setdefault(key, message)


    def save(self, path, crashes):
        """For the runner that started this session: the tally, and the crashes seen."""
        with open(path + ".part", "w") as f:
            json.dump({"passed": sorted(self.passed), "failures": list(self.failures.items()),
                       "flaky": self.flaky, "crashes": crashes}, f)
        os.replace(path + ".part", path)

    def load(self, path, crashes):
        """Joins a session's saved tally to this one; False if there is none."""
        try:
            with open(path) as f:
                saved = json.load(f)
        except (OSError, ValueError):
            return False
        self.passed.update(map(tuple, saved["passed"]))
        self.failures.update({tuple(key): message for key, message in saved["failures"]})
        self.flaky += [(tuple(key), message) for key, message in saved["flaky"]]
        crashes += saved["crashes"]
        return True


@contextlib.contextmanager
def turn(session, grp):
    """A group's turn beside the groups of other sessions. Sound groups, whose judgement is of
    time and whose servers would share the cores, go one at a time; the Windows program's go
    alone, every other session waiting between its groups: under Wine a bang's output ran dry
    mid-bang while other desktops' groups took the cores (docs/performance.md). A lock taken
    exclusively first closes the gate to new groups, so that it is not kept waiting for ever.
    Under ./test no sound is recorded while its computing lane runs: beside the compilers the
    machine stood still so often that Wine's own player failed the judge against itself
    (docs/performance.md)."""
    path, sound = os.environ.get(LOCK_VARIABLE), grp.name.startswith("sound:")
    if not path:
        yield
        return
    alone = sound and session.program.name == "windows"
    with contextlib.ExitStack() as held:
        def take(name, exclusive):
            lock = held.enter_context(open(f"{path}.{name}", "a"))
            fcntl.flock(lock, fcntl.LOCK_EX if exclusive else fcntl.LOCK_SH)
            return lock
        if sound:
            take("sound", True)
            if quiet := os.environ.get(QUIET_VARIABLE):
                began = time.monotonic()
                fcntl.flock(held.enter_context(open(quiet, "a")), fcntl.LOCK_SH)
                if (waited := time.monotonic() - began) >= 1:
                    print(f"  (waited {waited:.0f} s for the computing suites to end)",
                          flush=True)
        gate = take("gate", alone)
        take("groups", alone)
        if not alone:
            fcntl.flock(gate, fcntl.LOCK_UN)
        yield


class Group:
    def __init__(self, name, checks, fn, when, params):
        self.name, self.checks, self.fn, self.when, self.params = name, checks, fn, when, params


def group(name, checks, when=None):
    """A group of checks. `checks`: their names. `when(session)`: whether the group applies to
    this program and display."""
    def register(fn):
        GROUPS.append(Group(name, checks, fn, when, {}))
        return fn
    return register


def table(name, rows, checks, when=None):
    """One group per row: rows are (label, params); the function gets the params as keywords."""
    def register(fn):
        for label, params in rows:
            row_when = params.pop("when", None) if isinstance(params, dict) else None
            both = (lambda s, a=when, b=row_when: (a is None or a(s)) and (b is None or b(s)))
            GROUPS.append(Group(f"{name} [{label}]", checks, fn, both, params))
        return fn
    return register


class Run:
    """What a group's function gets: the session, and `check` to record its checks."""

    def __init__(self, session, grp, report):
        self.session, self.group, self._report = session, grp, report
        self.failed = {}  # full name -> message, of the checks that failed
        self.done = set()
        self.instances = []
        self.crashes = {}  # instance -> how it crashed
        self.reason = None  # why the group ended before its end, or a fault after its checks

    def crash(self, wait=0):
        """"crashed: ..." for the group's programs that crashed, or None; `wait` as in
        Instance.crashed."""
        for inst in self.instances:
            if inst not in self.crashes and (how := inst.crashed(wait)):
                self.crashes[inst] = how
                CRASHES.append(f"{how} in {self.group.name}")
        return "crashed: " + ", ".join(self.crashes.values()) if self.crashes else None

    def report(self, name, ok, message):
        if not ok:
            self.failed[name] = message
        self._report(name, ok, message)

    def sanitizer_report(self):
        """The log in which a program of the group wrote a sanitizer's report, or None."""
        for inst in self.instances:
            try:
                with open(inst.log, "rb") as f:
                    if SANITIZER_REPORT.search(f.read()):
                        return inst.log
            except OSError:
                pass
        return None

    @property
    def again(self):
        """Whether the group may be run once more: it failed, by no crash or sanitizer report."""
        return bool(self.failed) and not self.crashes and not self.sanitizer_report()

    def full_name(self, check):
        return f"{self.group.name}: {check}"

    def check(self, name, fn, *args, **kwargs):
        """Runs one check. `fn` raises Failure (or AssertionError) with what it saw when the
        check does not hold."""
        if name not in self.group.checks:
            raise RuntimeError(f"check {name!r} is not declared by group {self.group.name!r}")
        if name in self.done:
            raise RuntimeError(f"check {name!r} of {self.group.name!r} ran twice")
        self.done.add(name)
        try:
            fn(*args, **kwargs)
        except (Failure, AssertionError) as e:
            self.report(self.full_name(name), False, self.because(str(e)))
            return False
        except Exception as e:  # a fault in the check itself counts as a failure too
            self.report(self.full_name(name), False, self.because(
                f"{type(e).__name__}: {e}\n" + traceback.format_exc(limit=-3)))
            return False
        self.report(self.full_name(name), True, "")
        return True

    def because(self, message):
        """A failure's message, led by the crash behind it if a program crashed."""
        crash = self.crash(wait=2)
        return message if not crash or message.startswith(crash) else f"{crash}; then: {message}"

    def start(self, *args, **kwargs):
        inst = self.session.instance(*args, **kwargs)
        self.instances.append(inst)
        return inst.start()


def run_groups(session, report, selected=None):
    """Runs the groups that apply to the session; the runs of those that failed."""
    failed = []
    # The sound groups last: under ./test they may wait for the computing suites (`turn`).
    for grp in sorted(GROUPS, key=lambda g: g.name.startswith("sound:")):
        if grp.when is not None and not grp.when(session):
            continue
        if selected and not any(s in grp.name for s in selected):
            continue
        with turn(session, grp):
            run = run_group(session, grp, report)
        if run.failed:
            failed.append(run)
    return failed


def to_run_again(failed):
    """Of a session's failed runs, those to run once more."""
    return [] if len(failed) > AGAIN_AT_MOST else [run for run in failed if run.again]


def run_again(session, first, report):
    """Runs a failed group once more in `session`, a new one of the same desktop and program,
    reporting every check as it goes now. A failure after the first run's checks passes only
    if this run reached its end with no fault: no check is passed that did not run and pass."""
    with turn(session, first.group):
        run = run_group(session, first.group, report)
    after = f"{first.group.name} (after its checks)"
    if after in first.failed and after not in run.failed:
        report(after, run.reason is None,
               f"the second run did not reach its end: {run.reason}")
    return run


def run_group(session, grp, report):
    run = Run(session, grp, report)
    reason = None
    started = time.monotonic()
    try:
        grp.fn(run, **grp.params)
    except (Failure, AssertionError) as e:
        reason = run.because(str(e))
    except Exception as e:
        reason = run.because(f"{type(e).__name__}: {e}\n" + traceback.format_exc(limit=-3))
    finally:
        # (before the programs are ended: a crash after the last check counts too)
        if reason is None and (crash := run.crash()):
            reason = crash
        for inst in run.instances:
            inst.stop()
    # (once they have ended: a sanitizer writes some reports as the program exits)
    if reason is None and (log := run.sanitizer_report()):
        reason = f"a sanitizer's report in {log}"
    missing = [name for name in grp.checks if name not in run.done]
    for name in missing:
        run.report(run.full_name(name), False,
                   f"not checked: {reason or 'the group ended without running this check'}")
    if reason is not None and not missing:
        run.report(f"{grp.name} (after its checks)", False, reason)
    run.reason = reason or ("the group ended short of its checks" if missing else None)
    session.timings.append((grp.name, time.monotonic() - started))
    return run
