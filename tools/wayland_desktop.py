"""Headless Wayland desktops for the screenshot tour and the end-to-end tests: sway, and weston
in a window of it, for a compositor that frames no window. Each runs as an unprivileged user of its own (sway
refuses root) with a private XDG_RUNTIME_DIR (mode 0700) and a session bus of its own, and
every process started here is ended when the desktop is left.

Sway(xwayland=True) is a session as a user gets it: X programs run through XWayland, and
`DISPLAY` is set beside `WAYLAND_DISPLAY`. Sway(xwayland=False, platform="wayland") has no X
server at all, and programs are told to take Qt's Wayland platform. On sway a keyboard and a
mouse stay plugged in (tools/wayland-seat); windows are its views, found by title in its tree;
screenshots come from grim. Use as `with Sway() as desk: desk.run_program(...)`.
"""

import json
import os
import pwd
import select
import shutil
import signal
import subprocess
import tempfile
import time

USER = "pikorina-e2e"
SEAT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "wayland-seat")
SCREEN_W, SCREEN_H = 1024, 768


def account():
    """The user the desktop and its programs run as: a user of its own (made the first time)
    when this runs as root, else the user running this."""
    if os.geteuid() != 0:
        return pwd.getpwuid(os.getuid())
    try:
        return pwd.getpwnam(USER)
    except KeyError:
        subprocess.run(["useradd", "--system", "--create-home", "--home-dir",
                        f"/var/lib/{USER}", "--shell", "/usr/sbin/nologin", USER], check=True)
        return pwd.getpwnam(USER)


def as_user(user, folder=None):
    """Popen's arguments to run a process as `user`; `folder` becomes that user's."""
    if user.pw_uid == os.geteuid():
        return {}
    if folder:
        for path in [folder] + [os.path.join(d, n) for d, ds, fs in os.walk(folder)
                                for n in ds + fs]:
            os.lchown(path, user.pw_uid, user.pw_gid)
    return {"user": user.pw_uid, "group": user.pw_gid, "extra_groups": []}


def wait_for(what, ready, timeout=30.0):
    deadline = time.monotonic() + timeout
    while not (found := ready()):
        if time.monotonic() > deadline:
            raise RuntimeError(f"{what} within {timeout:.0f} s")
        time.sleep(0.05)
    return found


def first_line(proc, what, timeout=30.0):
    """The first line `proc` writes to its stdout pipe, or a RuntimeError after `timeout` s."""
    if not select.select([proc.stdout], [], [], timeout)[0]:
        raise RuntimeError(f"{what} wrote nothing within {timeout:.0f} s")
    line = proc.stdout.readline().decode().strip()
    if not line:
        raise RuntimeError(f"{what} ended without a word (status {proc.poll()})")
    return line


def end(proc, grace=2.0):
    """Ends a process we started, and whatever it started in its process group."""
    if proc.poll() is None:
        try:
            os.killpg(proc.pid, signal.SIGTERM)
            proc.wait(grace)
        except (ProcessLookupError, subprocess.TimeoutExpired):
            pass
    try:
        os.killpg(proc.pid, signal.SIGKILL)  # stragglers left in the group
    except (ProcessLookupError, PermissionError):
        pass
    if proc.poll() is None:
        proc.wait(5)


def end_marked(mark, grace, spare=()):
    """Ends the processes whose environment holds `mark` (b"NAME=value"), pids in `spare` apart,
    that are still there after `grace` seconds; their command lines, by pid."""
    def marked():
        found = {}
        for pid in {int(entry) for entry in os.listdir("/proc") if entry.isdigit()} - set(spare):
            try:
                with open(f"/proc/{pid}/environ", "rb") as f:
                    if mark not in f.read().split(b"\0"):
                        continue
                with open(f"/proc/{pid}/cmdline", "rb") as f:
                    found[pid] = f.read().replace(b"\0", b" ").decode(errors="replace").strip()
            except OSError:  # gone meanwhile, or a zombie
                continue
        return found
    deadline = time.monotonic() + grace
    while (left := marked()) and time.monotonic() < deadline:
        time.sleep(0.1)
    for sig in (signal.SIGTERM, signal.SIGKILL) if left else ():
        for pid in left:
            try:
                os.kill(pid, sig)
            except ProcessLookupError:
                pass
        time.sleep(1)
    return left


class Compositor:
    """A compositor's session: a private runtime folder, the user's session bus, and the
    variables a program started in it sees."""

    name = "compositor"

    def __init__(self, platform=None):
        self.platform = platform
        self.procs, self.files = [], []
        self.runtime = None

    def spawn(self, argv, user=True, **kwargs):
        """A process of this session (as its user), in a process group of its own."""
        proc = subprocess.Popen(argv, start_new_session=True, env=kwargs.pop("env", self.env),
                                **(as_user(self.user) if user else {}), **kwargs)
        self.procs.append(proc)
        return proc

    def start(self, argv, env):
        self.user = account()
        self.runtime = tempfile.mkdtemp(prefix="pikorina-wl-")
        os.chown(self.runtime, self.user.pw_uid, self.user.pw_gid)
        self.env = {"HOME": self.user.pw_dir, "XDG_RUNTIME_DIR": self.runtime,
                    "PATH": os.environ["PATH"], "LANG": os.environ.get("LANG", "C.UTF-8")}
        if "PIKORINA_TEST_RUN" in os.environ:  # ./test's mark, to find what outlives the run
            self.env["PIKORINA_TEST_RUN"] = os.environ["PIKORINA_TEST_RUN"]
        with open(os.path.join(self.runtime, "compositor.log"), "wb") as log:
            self.spawn(argv, env={**self.env, **env}, stdout=log, stderr=subprocess.STDOUT)
        # (sway names its socket itself, and not wayland-0, which a parent compositor may hold)
        socket = wait_for(f"{self.name} opened no Wayland socket", lambda: [
            n for n in os.listdir(self.runtime) if n.startswith("wayland-") and "." not in n])
        self.env["WAYLAND_DISPLAY"] = socket[0]
        # A session has one bus, started with it and ended with it: without one Qt's D-Bus
        # starts a bus for every program, and nothing ends those.
        bus = self.spawn(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                         stdout=subprocess.PIPE)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = first_line(bus, "dbus-daemon")

    def environment(self):
        """The variables of a program started in this session; None: not set."""
        env = {name: None for name in ("DISPLAY", "QT_QPA_PLATFORM", "XAUTHORITY", "SWAYSOCK")}
        env.update(self.env)
        if self.platform:
            env["QT_QPA_PLATFORM"] = self.platform
        return env

    def run_program(self, argv, folder, **kwargs):
        """A program started from `folder` (which becomes the user's) as the session starts
        programs."""
        env = {**self.environment(), **kwargs.pop("env", {})}
        as_user(self.user, folder)
        return self.spawn(argv, cwd=folder, env={k: v for k, v in env.items() if v is not None},
                          **kwargs)

    def run(self, argv, **kwargs):
        return subprocess.run(argv, env=self.env, capture_output=True, **kwargs)

    def __enter__(self):
        try:
            self.open()
        except BaseException:
            self.__exit__()
            raise
        return self

    def __exit__(self, *exc):
        for proc in reversed(self.procs):
            end(proc)
        self.procs = []
        if self.runtime:
            shutil.rmtree(self.runtime, ignore_errors=True)
        for path in self.files:
            os.unlink(path)
        self.files = []

    def config_file(self, text, suffix):
        """A file the compositor reads, gone with the session."""
        f = tempfile.NamedTemporaryFile("w", suffix=suffix, delete=False)
        with f:
            f.write(text)
        os.chmod(f.name, 0o644)
        self.files.append(f.name)
        return f.name


class Sway(Compositor):
    name = "sway"

    def __init__(self, xwayland=True, platform=None):
        super().__init__(platform)
        self.xwayland = xwayland

    @property
    def label(self):
        return "sway, " + ("XWayland beside it, Qt's own choice of platform" if self.xwayland
                           else f"no X server, QT_QPA_PLATFORM={self.platform}")

    def open(self):
        # Alt+F4 closes the active window, as on the common desktops. A weston in a window keeps
        # its own size. The last line says when sway runs its configuration's commands, with
        # the X display it made.
        config = self.config_file(f"""output HEADLESS-1 resolution {SCREEN_W}x{SCREEN_H}
xwayland {'enable' if self.xwayland else 'disable'}
bindsym Mod1+F4 kill
for_window [title="^Weston Compositor"] floating enable
exec sh -c 'echo "$DISPLAY" >"$XDG_RUNTIME_DIR/x.part" && mv "$XDG_RUNTIME_DIR/x.part" "$XDG_RUNTIME_DIR/x"'
""", ".sway")
        self.start(["sway", "--config", config], {"WLR_BACKENDS": "headless",
                                                   "WLR_LIBINPUT_NO_DEVICES": "1",
                                                   "WLR_RENDERER": "pixman"})
        display = os.path.join(self.runtime, "x")
        wait_for("sway ran no command of its configuration", lambda: os.path.exists(display))
        with open(display) as f:
            self.display = f.read().strip()
        if self.xwayland:
            self.env["DISPLAY"] = self.display
        self.env["SWAYSOCK"] = next(os.path.join(self.runtime, n)
                                    for n in os.listdir(self.runtime) if "-ipc." in n)
        self.seat = self.spawn([SEAT], user=False, stdin=subprocess.PIPE,
                               stdout=subprocess.PIPE, text=True)
        self.tell("")  # its first "ok": plugged in

    def tell(self, command):
        """One command to the keyboard and mouse; back once the compositor has taken it."""
        if command:
            self.seat.stdin.write(command + "\n")
            self.seat.stdin.flush()
        answer = self.seat.stdout.readline().strip()
        if answer != "ok":
            raise RuntimeError(f"wayland-seat {command!r}: {answer or 'it ended'}")

    def swaymsg(self, *args):
        out = self.run(["swaymsg", *args], text=True)
        if out.returncode != 0:
            raise RuntimeError(f"swaymsg {' '.join(args)}: {out.stderr.strip() or out.stdout}")
        return out.stdout

    def views(self):
        def walk(node):
            if node.get("pid"):
                yield node
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                yield from walk(child)
        return list(walk(json.loads(self.swaymsg("-r", "-t", "get_tree"))))

    def view(self, wid):
        return next((v for v in self.views() if v["id"] == wid), None)

    def scale(self, factor):
        """The output at this scale, the desktop still 1024 x 768 logical pixels."""
        self.swaymsg("output", "HEADLESS-1", "resolution",
                     f"{SCREEN_W * factor}x{SCREEN_H * factor}", "scale", str(factor))

    def windows_titled(self, title):
        return [v["id"] for v in self.views() if v["name"] == title and v["visible"]]

    def wait_window(self, title, timeout=15.0):
        return wait_for(f"no window titled {title!r}", lambda: self.windows_titled(title),
                        timeout)[0]

    def client_area(self, wid):
        """x, y, width, height of a window's client area, in layout coordinates."""
        v = self.view(wid)
        rect, body = v["rect"], v["window_rect"]
        return rect["x"] + body["x"], rect["y"] + body["y"], body["width"], body["height"]

    def click(self, wid, x, y, repeat=1):
        """Left clicks at x, y of a window's client area."""
        left, top, _, _ = self.client_area(wid)
        self.tell(f"click {left + x} {top + y} {repeat}")

    def key(self, *keys):
        self.tell("key " + " ".join(keys))

    def screenshot(self, wid=None, scale=1, kind="ppm", frame=False):
        """A window's client area (with sway's frame, if asked) or the whole screen."""
        where = []
        if wid is not None:
            x, y, w, h = self.client_area(wid)
            if frame:
                v = self.view(wid)
                x, y, w = v["rect"]["x"], v["deco_rect"]["y"], v["rect"]["width"]
                h = v["rect"]["y"] + v["rect"]["height"] - y
            where = ["-g", f"{x},{y} {w}x{h}"]
        out = self.run(["grim", "-s", str(scale), *where, "-t", kind, "-"])
        if out.returncode != 0 or not out.stdout:
            raise RuntimeError(f"grim failed: {out.stderr.decode(errors='replace').strip()}")
        return out.stdout


class Weston:
    """weston's desktop in a window of a sway session (its Wayland backend): a compositor that
    frames no window, with the session's keyboard and mouse. Coordinates are its output's."""

    def __init__(self, sway, width=800, height=600):
        self.sway, self.size = sway, (width, height)

    def __enter__(self):
        sway = self.sway
        # Without animations and the panel (and its clock), the screen changes only when a
        # window does.
        config = sway.config_file("[shell]\npanel-position=none\nstartup-animation=none\n"
                                  "animation=none\nclose-animation=none\nfocus-animation=none\n",
                                  ".ini")
        before = set(v["id"] for v in sway.views())
        self.socket = f"weston-{len(sway.files)}"  # one of its own for each weston
        with open(os.path.join(sway.runtime, self.socket + ".log"), "wb") as log:
            self.proc = sway.spawn(["weston", "--backend=wayland-backend.so", "--use-pixman",
                                    f"--width={self.size[0]}", f"--height={self.size[1]}",
                                    f"--config={config}", f"--socket={self.socket}",
                                    "--idle-time=0"], stdout=log, stderr=subprocess.STDOUT)
        self.view = wait_for(f"weston's window did not appear (see {log.name})", lambda: [
            v["id"] for v in sway.views() if v["id"] not in before])[0]
        # Until the desktop's patterned background is drawn, the middle of the screen is one
        # plain colour.
        wait_for("weston showed no desktop", lambda: len(set(self.middle())) > 4)
        return self

    def middle(self):
        """The pixels of the middle half of the window's middle row."""
        ppm = self.screenshot()
        w, h = map(int, ppm.split(b"\n")[1].split())  # P6 W H 255, as grim writes it
        start = len(ppm) - 3 * w * h + 3 * w * (h // 2)
        return [ppm[i:i + 3] for i in range(start + 3 * (w // 4), start + 3 * (3 * w // 4), 3)]

    def __exit__(self, *exc):
        end(self.proc)

    def environment(self):
        """What a program started on this weston sees unlike one started on sway."""
        return {"WAYLAND_DISPLAY": self.socket, "DISPLAY": None}

    def run_program(self, argv, folder, **kwargs):
        env = {**self.environment(), **kwargs.pop("env", {})}
        return self.sway.run_program(argv, folder, env=env, **kwargs)

    def screenshot(self, kind="ppm"):
        return self.sway.screenshot(self.view, kind=kind)

    def click(self, x, y, repeat=1):
        self.sway.click(self.view, x, y, repeat)
