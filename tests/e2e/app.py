"""ピコリナ as a user installs and starts it: a copy of the program in a folder of its own, with
that folder's Setup.ini (and Don.wav), started from there.

The suite is written against `Program`, which says how to put the program into a folder and how
to start it; `LinuxProgram` is the Qt build. A helper program that records its arguments
(`marker-prog TAG ARGS...`) proves that an entry was started and with what.
"""

import os
import re
import shutil
import signal
import stat
import subprocess
import tempfile
import time

import artwork
import desktop
import wayland_desktop  # on the path desktop gives
from desktop import Failure

MAIN_TITLE = "プログラムの強制終了"
INFO_TITLE = "ﾊﾞｰﾁｬﾝ情報"
ERROR_TITLE = "鰓が出た象！"
REPORT_TITLE = "ピコリナ"


class LinuxProgram:
    name = "linux"
    encoding = "utf-8"  # Setup.ini as a Linux user writes it
    draws_own_frame = False  # the window manager, if any, frames the window
    # marker-prog's arguments for the launch list's entries: the launcher splits the line by the
    # shell's quoting rules.
    expected = {"first": ["alpha"], "second": ["two words", "single quoted"], "third": ["x y"]}

    def __init__(self, executable, workdir):
        # A snapshot: a rebuild during the run must not change the program under test.
        os.makedirs(workdir, exist_ok=True)
        self.executable = shutil.copy2(executable, workdir)
        # The sound module, which a program built in a build tree loads from beside itself.
        module = os.path.join(os.path.dirname(executable), "libpikorina-sound.so")
        self.module = shutil.copy2(module, workdir) if os.path.exists(module) else None

    def prepare(self):
        pass

    def install(self, folder):
        shutil.copy2(self.executable, folder)
        if self.module:
            shutil.copy2(self.module, folder)

    def argv(self, folder):
        return [os.path.join(folder, os.path.basename(self.executable))]

    def environment(self, folder):
        env = dict(os.environ)
        # The entries name `marker-prog` without a folder: the launcher looks it up on PATH.
        env["PATH"] = os.path.join(folder, "bin") + os.pathsep + env.get("PATH", "")
        # The folder's own Setup.ini or none at all: not the tester's own list, nor one that an
        # installed package keeps in /etc/xdg.
        env["XDG_CONFIG_HOME"] = os.path.join(folder, "no-config")
        env["XDG_CONFIG_DIRS"] = os.path.join(folder, "no-config-dirs")
        return env

    def write_marker(self, folder):
        """Writes marker-prog into folder/bin: each start stores its arguments after the first
        (the tag) in folder/marks/TAG.PID, NUL-separated, and the file appears there whole
        (written, then renamed)."""
        bindir = os.path.join(folder, "bin")
        os.makedirs(bindir, exist_ok=True)
        path = os.path.join(bindir, "marker-prog")
        marks = os.path.join(folder, "marks")
        with open(path, "w") as f:
            f.write(f"""#!/bin/sh
out='{marks}/'"$1.$$"
shift
mkdir -p '{marks}'
: > "$out.part"
for a in "$@"; do printf '%s\\0' "$a" >> "$out.part"; done
mv "$out.part" "$out"
""")
        os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR | stat.S_IXGRP | stat.S_IXOTH)

    def finish(self):
        pass


class WindowsProgram:
    """The Win32 build under Wine, in a prefix of our own with a Japanese locale (code page
    932), made by tools/wine-prefix. Wine draws the window's frame itself and keeps the window
    away from any window manager, so the X window is the whole framed window."""

    name = "windows"
    encoding = "cp932"  # the system's ANSI code page
    draws_own_frame = True
    # The command line goes to CreateProcess as it stands and the C runtime splits it: double
    # quotes group, single quotes and backslashes before a blank are plain characters.
    expected = {"first": ["alpha"], "second": ["two words", "'single", "quoted'"],
                "third": ["x\\", "y"]}

    def __init__(self, executable, workdir, repo):
        os.makedirs(workdir, exist_ok=True)
        self.executable = shutil.copy2(executable, workdir)
        self.workdir, self.repo = workdir, repo
        self.env = None
        self.marker = os.path.join(workdir, "marker-prog.exe")
        self.server = None

    def _set_up(self):
        os.makedirs(self.workdir, exist_ok=True)
        subprocess.run([os.path.join(self.repo, "tools", "wine-prefix"), self.workdir],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        env = dict(os.environ)
        with open(os.path.join(self.workdir, "env")) as f:
            for line in f:
                words = line.split()
                if line.startswith("export "):
                    name, value = line[len("export "):].strip().split("=", 1)
                    env[name] = value.strip("'")
                elif words and words[0] == "unset":
                    for name in words[1:]:
                        env.pop(name, None)
        self.env = env
        source = os.path.join(os.path.dirname(os.path.abspath(__file__)), "marker.c")
        # A windowless GUI program, like the Linux marker: a console program would get a console
        # window under Wine that takes the keyboard from the launcher.
        subprocess.run(["x86_64-w64-mingw32-gcc", "-municode", "-mwindows", "-O2", "-static",
                        "-o", self.marker, source], check=True)

    def prepare(self):
        """Once per display: the prefix (the first time), a persistent wineserver, and Wine's
        helper processes started by a first program of their own, so that ending one instance
        of the launcher never takes them down."""
        if self.env is None:
            self._set_up()
        env = dict(self.env, DISPLAY=os.environ["DISPLAY"])
        self.server = desktop.spawn(["wineserver", "-f", "-p"], env=env,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.helpers = desktop.spawn(["wine", "cmd", "/c", "exit"], env=env,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            self.helpers.wait(60)
        except subprocess.TimeoutExpired:
            raise RuntimeError("Wine's first program did not end within 60 s") from None

    def install(self, folder):
        shutil.copy2(self.executable, folder)

    def plant(self, path):
        """Puts planted.c's DLL at path, built the first time."""
        dll = os.path.join(self.workdir, "planted.dll")
        if not os.path.exists(dll):
            source = os.path.join(os.path.dirname(os.path.abspath(__file__)), "planted.c")
            subprocess.run(["x86_64-w64-mingw32-gcc", "-shared", "-O2", "-o", dll, source],
                           check=True)
        shutil.copy2(dll, path)

    def player(self):
        """wine_player.c, built the first time."""
        exe = os.path.join(self.workdir, "wine_player.exe")
        if not os.path.exists(exe):
            source = os.path.join(os.path.dirname(os.path.abspath(__file__)), "wine_player.c")
            subprocess.run(["x86_64-w64-mingw32-gcc", "-municode", "-mwindows", "-O2", "-static",
                            "-o", exe, source, "-lwinmm"], check=True)
        return exe

    def play(self, wav, moments, env, timeout=60):
        """Starts the player on wav, in this prefix, with these variables on top, and returns
        it once it is ready: it then plays wav with Wine's PlaySound at each moment
        (time.time() seconds) written to the file `moments` as a line, until a line "end"."""
        drive = lambda path: "Z:" + path.replace("/", "\\")  # the whole file system
        ready = moments + ".ready"
        proc = desktop.spawn(["wine", self.player(), drive(wav), drive(moments), drive(ready)],
                             env={**self.environment(None), **env}, stdin=subprocess.DEVNULL,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + timeout
        while not os.path.exists(ready):
            if proc.poll() is not None:
                raise Failure(f"the platform's player (wine_player.c) ended with status "
                              f"{proc.returncode} before it was ready")
            if time.monotonic() > deadline:
                raise Failure(f"waited {timeout} s for the platform's player (wine_player.c) "
                              f"to load the sound and Wine's audio driver ({ready})")
            time.sleep(0.05)
        return proc

    def write_marker(self, folder):
        # Beside the launcher: CreateProcess looks in the launcher's own folder first.
        shutil.copy2(self.marker, folder)

    def argv(self, folder):
        return ["wine", os.path.basename(self.executable)]

    def environment(self, folder):
        # Wine's errors on: they are read only when the program ended or crashed unasked, and
        # then say why where a report box that could not be shown says nothing (a fresh run saw
        # the launcher end with status 1 before its window, once, with no output). "-all,"
        # first keeps Debian's wine script from adding its page about a missing 32-bit Wine.
        return dict(self.env, DISPLAY=os.environ["DISPLAY"], WINEDEBUG="-all,err+all")

    def finish(self):
        if self.env is not None and self.server is not None:
            subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=60)
            desktop.end(self.helpers)  # and the helpers left in its process group
            desktop.end(self.server)
            self.server = None
            # Wine's services run in sessions of their own, out of the helpers' group, and go
            # when their server does; once they outlived it by minutes. Any still there after
            # a few seconds are ended here, and named.
            mark = f"WINEPREFIX={self.env['WINEPREFIX']}".encode()
            for argv in wayland_desktop.end_marked(mark, 5).values():
                print(f"e2e: ended {argv}, left by Wine after its server", flush=True)


class Instance:
    """One copy of the program in a fresh folder. `setup` is Setup.ini's bytes (None: no file);
    `env`: variables to set for the program on top of the usual ones."""

    def __init__(self, program, root, setup, name="app", sound=True, env=None):
        self.program = program
        self.env = env or {}
        self.folder = tempfile.mkdtemp(prefix=name + "-", dir=root)
        program.install(self.folder)
        program.write_marker(self.folder)
        if sound:
            shutil.copy2(os.path.join(artwork.ASSETS, "Don.wav"), self.folder)
        if setup is not None:
            with open(os.path.join(self.folder, "Setup.ini"), "wb") as f:
                f.write(setup)
        self.marks = os.path.join(self.folder, "marks")
        self.log = os.path.join(self.folder, "output.log")
        self.proc = None
        self.main = None
        self.stopped = False  # ended by the suite, not by itself

    def start(self):
        with open(self.log, "wb") as log:
            env = {**self.program.environment(self.folder), **self.env}
            self.proc = desktop.spawn(self.program.argv(self.folder), cwd=self.folder,
                                      env={k: v for k, v in env.items() if v is not None},
                                      stdin=subprocess.DEVNULL, stdout=log,
                                      stderr=subprocess.STDOUT,
                                      **(desktop.run_as(self.folder) if desktop.run_as else {}))
        return self

    def output(self, lines=8):
        try:
            with open(self.log, "rb") as f:
                text = f.read().decode(errors="replace").strip().splitlines()
        except OSError:
            return ""
        return " | ".join(text[-lines:])

    def crashed(self, wait=0):
        """How the program crashed, "pikorina (SIGSEGV)", when it died of a signal or, under
        Wine, of an unhandled exception; None while it runs or when it ended otherwise. `wait`:
        how long a program that may be dying (its window already gone) is waited for."""
        if self.proc is None or self.stopped:
            return None
        try:
            status = self.proc.wait(wait) if wait else self.proc.poll()
        except subprocess.TimeoutExpired:
            return None
        if status is None:
            return None
        name = os.path.basename(self.program.executable)
        if status < 0:
            return f"{name} ({signal.Signals(-status).name})"
        # Wine reports the exception and ends the process with a status of its own.
        found = re.search(r"Unhandled ([a-z ]+?) (?:on|at|in)\b", self.output(200))
        return f"{name} (unhandled {found[1]}, status {status})" if found else None

    def problem(self):
        """None while the program runs; otherwise what became of it."""
        status = self.proc.poll()
        if status is None:
            return None
        if crash := self.crashed():
            return f"crashed: {crash}"
        out = self.output()
        return f"the program ended with status {status}" + (f" (output: {out})" if out else "")

    def wait_main(self, timeout=15.0):
        wid = desktop.wait_window(MAIN_TITLE, timeout, alive=self.problem)
        ox = oy = 0
        if self.program.draws_own_frame:
            # The client area sits in the frame like this: equal borders left, right and
            # bottom, the title bar above.
            info = desktop.window_info(wid)
            ox = (info["width"] - artwork.CLIENT_W) // 2
            oy = info["height"] - artwork.CLIENT_H - ox
        self.main = desktop.Window(wid, ox, oy)
        self.wait_ready(timeout)
        return self.main

    def wait_ready(self, timeout):
        """Waits until the main window takes input as a user's would: it has the keyboard focus,
        so keys typed now reach it, and its first paint has landed (two looks in a row alike),
        so what a check reads off it is what a click will hit."""
        self._wait_settled(self.main, "the launcher's window", timeout)

    def _wait_settled(self, window, what, timeout):
        deadline, before = time.monotonic() + timeout, None
        while True:
            focused = desktop.focused_window()
            shot = desktop.screenshot(window)
            if focused == int(window) and before is not None and shot.rgb == before.rgb:
                return
            if time.monotonic() > deadline:
                why = "kept changing" if focused == int(window) else \
                    f"never had the keyboard focus (it is on window {focused})"
                raise Failure(f"{what} {int(window)} {why} for {timeout:.0f} s")
            if problem := self.problem():
                raise Failure(f"{what} came and went: {problem}")
            before = shot

    def wait_box(self, title, timeout=10.0):
        """A box, once it takes input: shown, with the keyboard, painted."""
        wid = desktop.wait_window(title, timeout, alive=self.problem)
        self._wait_settled(wid, f"the box {title!r}", timeout)
        return wid

    def expect_running(self, what):
        problem = self.problem()
        if problem:
            raise Failure(f"{what}: the launcher is gone: {problem}")
        if self.main is not None:
            info = desktop.window_info(self.main)
            if info["map"] != "IsViewable":
                raise Failure(f"{what}: the launcher's window is no longer shown "
                              f"(map state {info['map']})")

    def wait_exit(self, timeout):
        """The exit status, once the program has ended within `timeout` seconds."""
        try:
            status = self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure(f"the program was still running {timeout:.0f} s later") from None
        if crash := self.crashed():
            raise Failure(f"crashed: {crash}")
        return status

    def mark(self, tag, timeout=5.0):
        """The arguments marker-prog got under this tag, waiting for them to appear. Fails when it
        ran more than once under the tag within a moment after the first start."""
        deadline = time.monotonic() + timeout
        while not self.starts(tag):
            if time.monotonic() > deadline:
                raise Failure(f"marker-prog was not started with tag {tag!r} within "
                              f"{timeout:.0f} s (started: {self.marks_started() or 'nothing'}; "
                              f"windows shown: {desktop.shown_titles()}; the keyboard focus "
                              f"is on window {desktop.focused_window()}, the launcher is "
                              f"{int(self.main) if self.main is not None else None}; the "
                              f"program's output: {self.output() or 'none'})")
            time.sleep(0.05)
        time.sleep(0.3)
        starts = self.starts(tag)
        if len(starts) != 1:
            raise Failure(f"marker-prog {tag} was started {len(starts)} times: {starts}")
        return starts[0]

    def starts(self, tag):
        found = []
        for name in sorted(os.listdir(self.marks)) if os.path.isdir(self.marks) else []:
            if name.startswith(tag + ".") and not name.endswith(".part"):
                with open(os.path.join(self.marks, name), "rb") as f:
                    data = f.read()
                found.append([a.decode("utf-8", errors="replace") for a in data.split(b"\0")[:-1]])
        return found

    def marks_started(self):
        """The tags marker-prog was started with, once for each start."""
        names = sorted(os.listdir(self.marks)) if os.path.isdir(self.marks) else []
        return [n.rsplit(".", 1)[0] for n in names if not n.endswith(".part")]

    def clear_marks(self):
        shutil.rmtree(self.marks, ignore_errors=True)

    def stop(self):
        if self.proc is not None:
            self.stopped = True
            desktop.end(self.proc)
