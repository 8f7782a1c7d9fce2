"""DLLs planted beside the Windows program: people unpack it into folders like Downloads, where
a DLL named like a system DLL may lie next to it. Windows takes any DLL that is not one of its
known DLLs from the program's folder first, unless the program restricts its search; Wine does
the same for a DLL whose load order is native first (WINEDLLOVERRIDES=NAME=n,b).

One scenario per name: the program, with NAME.dll planted beside it (planted.c: it leaves
NAME.dll.ran behind once its code runs), starts an entry, explodes once with its bang, and is
ended with Esc; none of the planted code may have run. Wine's load trace (+loaddll) and its
trace of winmm (+winmm, which shows each wave that PlaySoundW is asked to play) go to the
instance's output log.
"""

import os
import re
import time

import artwork
import desktop
from app import REPORT_TITLE
from cases import LAUNCH_LIST, expect_args, expected_args, explode
from desktop import Failure
from suite import table

# Left out, with what Wine's load trace (WINEDEBUG=+loaddll, +module) shows:
#   imm32: a known DLL on Windows; Wine's user32 maps it from the program's folder before wWinMain.
#   msctf: a known DLL on Windows.
#   version: Wine's user32 imports it, Windows' does not; Wine maps it before wWinMain.
#   msimg32: Wine's uxtheme delay-loads it past the restricted search ('in (null)' under +module).
PLANTED = [
    ("winmm", "the bang and the timer resolution; once a static import"),
    ("uxtheme", "loaded by the common controls for their themes"),
    ("dwmapi", "loaded by name by Windows' window and control code"),
    ("cryptbase", "loaded by name by Windows' advapi32"),
    ("comctl32", "the common controls, through the manifest's side-by-side dependency"),
    ("msacm32", "loaded by winmm for the wave file"),
    ("ole32", "COM, for the service that tells screen readers the window is a dialog"),
    ("oleacc", "that service, which COM loads"),
]

CHECKS = ["the window appears", "the entry starts",
          "the explosion runs its whole time, with a bang each burst (silent without winmm)",
          "Esc ends it with status 0", "no code from the program's folder ran"]

BANGS = 3
# Each bang is played from memory; Wine's trace gives the wave's size, Don.wav's own.
SOUND_CALL = re.compile("proc_PlaySound ParentChunk ckid=RIFF fccType=WAVE cksize="
                        f"{os.path.getsize(os.path.join(artwork.ASSETS, 'Don.wav')) - 8:08X}")


def is_windows(session):
    return session.program.name == "windows"


@table("planted DLL", [
    *[(f"{name}.dll: {why}", {"name": name, "planted": True}) for name, why in PLANTED],
    # winmm missing altogether: the bang is silent and nothing is shown.
    ("winmm.dll cannot be loaded", {"name": "winmm", "planted": False}),
], checks=CHECKS, when=is_windows)
def planted_dll(t, name, planted):
    program = t.session.program
    overrides = program.env["WINEDLLOVERRIDES"] + f";{name}=" + ("n,b" if planted else "")
    app = t.session.instance(LAUNCH_LIST, name="planted", env={
        "WINEDLLOVERRIDES": overrides, "WINEDEBUG": "-all,+loaddll,+winmm"})
    t.instances.append(app)
    dll = os.path.join(app.folder, f"{name}.dll")
    if planted:
        program.plant(dll)
    app.start()

    def nothing_ran():
        ran = sorted(f for f in os.listdir(app.folder) if f.endswith(".ran"))
        # Any DLL mapped from the program's folder, whatever its code did.
        mapped = sorted(set(re.findall(r'Loaded L"([^"]*\\[^\\"]+\.dll)"[^\n]*: native',
                                       read(app.log))))
        if ran or mapped:
            raise Failure(f"planted code ran: {ran or 'no marker'}; mapped from the program's "
                          f"folder: {mapped or 'none'}")

    wid = None

    def appears():
        nonlocal wid
        wid = app.wait_main()
    if not t.check(CHECKS[0], appears):
        # The planted code may be why; that is still worth knowing.
        app.stop()
        t.check(CHECKS[4], nothing_ran)
        raise Failure("no window to drive")

    desktop.key("Return")
    t.check(CHECKS[1], lambda: expect_args(app, "first", expected_args(t, "first")))

    def explosion():
        start = explode(wid)
        # The sequence's waits end at whole seconds, the last one about 5 s after the click:
        # a wait that ended early would bring the window back sooner.
        took = time.time() - start
        if took < 4.5:
            raise Failure(f"the window was back {took:.1f} s after the click; the waits are "
                          f"about 5 s together")
        bangs = len(SOUND_CALL.findall(read(app.log)))
        want = BANGS if planted else 0
        if bangs != want:
            raise Failure(f"PlaySoundW was asked for Don.wav {bangs} times, expected {want}")
        if desktop.windows_titled(REPORT_TITLE):
            raise Failure("a report box is shown")
        app.expect_running("after the explosion")
    t.check(CHECKS[2], explosion)

    def ends():
        desktop.key("Escape")
        status = app.wait_exit(10)
        if status != 0:
            raise Failure(f"exit status {status}, expected 0")
    t.check(CHECKS[3], ends)

    t.check(CHECKS[4], nothing_ran)


def read(path):
    with open(path, "rb") as f:
        return f.read().decode(errors="replace")
