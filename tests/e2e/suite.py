"""A small runner: checks are gathered in groups, one program run per group, and every check is a
named result of its own.

A group declares the names of its checks up front. A check that fails is reported and the group
goes on with the next one; if the group itself cannot go on (the program died, a window never
appeared), every check it had not reached is reported as failed with that reason, so no failure
hides others and the count of checks is the same in every run. A program that crashed is named
as such ("crashed: pikorina (SIGSEGV)") in the failures it caused, also when the group saw only
a window gone, and in CRASHES for the suite's last lines.

A group whose checks failed may be run once more (`run_again`), alone, in a new session: its
checks follow its own earlier steps, so the whole group runs again, and only the checks that had
failed are reported from it. A group whose program crashed or had a sanitizer report is not
(`Run.again`): that is the program's fault however the second run goes.
"""

import re
import time
import traceback

from desktop import Failure

GROUPS = []
CRASHES = []  # "pikorina (SIGSEGV) in GROUP", once for each crashed program
# What the sanitizers write when they find a fault (AddressSanitizer, UndefinedBehaviorSanitizer).
SANITIZER_REPORT = re.compile(rb"==\d+==(ERROR|WARNING): \w*Sanitizer|: runtime error: ")


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
        """Whether a program of the group wrote a sanitizer's report."""
        for inst in self.instances:
            try:
                with open(inst.log, "rb") as f:
                    if SANITIZER_REPORT.search(f.read()):
                        return True
            except OSError:
                pass
        return False

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
    """Runs the groups that apply to the session; the runs of those that may be run again."""
    failed = []
    for grp in GROUPS:
        if grp.when is not None and not grp.when(session):
            continue
        if selected and not any(s in grp.name for s in selected):
            continue
        run = run_group(session, grp, report)
        if run.again:
            failed.append(run)
    return failed


def run_again(session, first, report):
    """Runs a failed group once more in `session`, a new one of the same desktop and program,
    and reports only the checks that failed in `first`, each as it went now (a failure after
    the checks that does not come again passes)."""
    def only_failed(name, ok, message):
        if name in first.failed and name not in seen:
            seen.add(name)
            report(name, ok, message)
    seen = set()
    run = run_group(session, first.group, only_failed)
    for name in first.failed.keys() - seen:
        report(name, True, "")
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
    missing = [name for name in grp.checks if name not in run.done]
    for name in missing:
        run.report(run.full_name(name), False,
                   f"not checked: {reason or 'the group ended without running this check'}")
    if reason is not None and not missing:
        run.report(f"{grp.name} (after its checks)", False, reason)
    session.timings.append((grp.name, time.monotonic() - started))
    return run
