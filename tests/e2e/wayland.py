"""The Wayland desktop: sway on a headless output, run as an unprivileged user of its own (sway
refuses root), with a keyboard and a mouse kept plugged in by tools/wayland-seat. While it runs,
the functions of desktop.py that look at windows and drive them are this desktop's, so that the
same cases run on it: windows are sway's views, found by title in its tree; screenshots come
from grim.

Sway(xwayland=True) is a session as a user gets it: X programs run through XWayland and
`DISPLAY` is set beside `WAYLAND_DISPLAY`. Sway(xwayland=False, platform="wayland") has no X
server at all, and the program is told to take Qt's Wayland platform.
"""

import json
import os
import pwd
import shutil
import subprocess
import tempfile
import time

import desktop
from desktop import Failure, Image

USER = "pikorina-e2e"
SEAT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools",
                    "wayland-seat")
# What desktop.py offers for the X11 desktop, and this one puts in its place.
DESKTOP_API = ["windows_titled", "window_info", "frame_extents", "click", "park_mouse", "key",
               "root_window", "focused_window", "screenshot", "screenshot_root"]


def account():
    """The user the desktop and its programs run as, made the first time."""
    try:
        return pwd.getpwnam(USER)
    except KeyError:
        subprocess.run(["useradd", "--system", "--create-home", "--home-dir",
                        f"/var/lib/{USER}", "--shell", "/usr/sbin/nologin", USER], check=True)
        return pwd.getpwnam(USER)


def wait_for(what, ready, timeout=30.0):
    deadline = time.monotonic() + timeout
    while not ready():
        if time.monotonic() > deadline:
            raise RuntimeError(f"{what} within {timeout:.0f} s")
        time.sleep(0.05)


class Compositor:
    """A compositor's session: a private runtime folder, the user's session bus, and the
    variables a program started in it sees. `env` is what the compositor itself gets."""

    name = "compositor"

    def __init__(self, platform=None):
        self.platform = platform
        self.procs, self.saved = [], {}

    def start(self, argv, env, socket_name=None):
        self.user = account()
        self.runtime = tempfile.mkdtemp(prefix="pikorina-wl-")  # mode 0700, as the rules ask
        os.chown(self.runtime, self.user.pw_uid, self.user.pw_gid)
        self.log = open(os.path.join(self.runtime, "compositor.log"), "wb")
        base = {"HOME": self.user.pw_dir, "XDG_RUNTIME_DIR": self.runtime,
                "PATH": os.environ["PATH"], "LANG": os.environ.get("LANG", "C.UTF-8")}
        self.procs.append(desktop.spawn(argv, env={**base, **env}, stdout=self.log,
                                        stderr=subprocess.STDOUT, **desktop.as_user(self.user)))
        # (sway names its socket itself, and not wayland-0, which a parent compositor may hold)
        sockets = lambda: [n for n in os.listdir(self.runtime)
                           if n.startswith("wayland-") and not n.endswith(".lock")]
        wait_for(f"{self.name} opened no Wayland socket", sockets)
        self.env = {**base, "WAYLAND_DISPLAY": sockets()[0]}
        # A session has one bus, started with it and ended with it; without it Qt's D-Bus
        # would start one of its own for every program, and nothing would end those.
        bus = desktop.spawn(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                            env=self.env, stdout=subprocess.PIPE, **desktop.as_user(self.user))
        self.procs.append(bus)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().decode().strip()

    def environment(self):
        """The variables of a program started in this session."""
        env = {name: None for name in ("DISPLAY", "QT_QPA_PLATFORM", "XAUTHORITY")}
        env.update(self.env)
        if self.platform:
            env["QT_QPA_PLATFORM"] = self.platform
        return env

    def run(self, argv, **kwargs):
        return subprocess.run(argv, env=self.env, capture_output=True, **kwargs)

    def stop(self):
        for proc in reversed(self.procs):
            desktop.end(proc)
        self.procs = []
        shutil.rmtree(self.runtime, ignore_errors=True)


class Sway(Compositor):
    name = "sway"

    def __init__(self, xwayland=True, platform=None):
        super().__init__(platform)
        self.xwayland = xwayland
        self.wm = True  # sway frames the windows and closes the active one on Alt+F4
        self.places_windows = True

    @property
    def label(self):
        return "sway, " + ("XWayland beside it, Qt's own choice of platform" if self.xwayland
                           else f"no X server, QT_QPA_PLATFORM={self.platform}")

    def __enter__(self):
        config = tempfile.NamedTemporaryFile("w", suffix=".sway", delete=False)
        with config:
            config.write(f"""output HEADLESS-1 resolution {desktop.SCREEN_W}x{desktop.SCREEN_H}
xwayland {'enable' if self.xwayland else 'disable'}
bindsym Mod1+F4 kill
exec sh -c 'echo "$DISPLAY" > "$XDG_RUNTIME_DIR/display.part" && mv "$XDG_RUNTIME_DIR/display.part" "$XDG_RUNTIME_DIR/display"'
""")
        os.chmod(config.name, 0o644)
        self.config = config.name
        self.start(["sway", "--config", config.name],
                   {"WLR_BACKENDS": "headless", "WLR_LIBINPUT_NO_DEVICES": "1",
                    "WLR_RENDERER": "pixman"})
        display = os.path.join(self.runtime, "display")
        wait_for("sway ran no command of its configuration", lambda: os.path.exists(display))
        with open(display) as f:
            self.display = f.read().strip()
        if self.xwayland:
            self.env["DISPLAY"] = self.display
        self.env["SWAYSOCK"] = next(os.path.join(self.runtime, n) for n in os.listdir(self.runtime)
                                    if n.startswith("sway-ipc."))
        self.seat = desktop.spawn([SEAT], env=self.env, stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE, text=True)
        self.procs.append(self.seat)
        self.tell("")  # its first "ok": plugged in
        self.saved = {name: getattr(desktop, name) for name in DESKTOP_API}
        for name in DESKTOP_API:
            setattr(desktop, name, getattr(self, name))
        desktop.program_user = self.user
        self.outer = dict(os.environ)
        for name, value in self.environment().items():
            if value is None:
                os.environ.pop(name, None)
            else:
                os.environ[name] = value
        return self

    def __exit__(self, *exc):
        for name, fn in self.saved.items():
            setattr(desktop, name, fn)
        desktop.program_user = None
        os.environ.clear()
        os.environ.update(self.outer)
        self.stop()
        os.unlink(self.config)

    def tell(self, command):
        """One command to the keyboard and mouse; back once the compositor has taken it."""
        if command:
            self.seat.stdin.write(command + "\n")
            self.seat.stdin.flush()
        answer = self.seat.stdout.readline().strip()
        if answer != "ok":
            raise Failure(f"wayland-seat {command!r}: {answer or 'it ended'}")

    def swaymsg(self, *args):
        out = self.run(["swaymsg", *args], text=True)
        if out.returncode != 0:
            raise Failure(f"swaymsg {' '.join(args)}: {out.stderr.strip() or out.stdout.strip()}")
        return out.stdout

    def views(self):
        def walk(node):
            if node.get("pid"):
                yield node
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                yield from walk(child)
        return list(walk(json.loads(self.swaymsg("-r", "-t", "get_tree"))))

    def view(self, wid):
        found = [v for v in self.views() if v["id"] == wid]
        if not found:
            raise Failure(f"window {wid} no longer exists")
        return found[0]

    def scale(self, factor):
        """The output at this scale, the desktop still 1024 x 768 logical pixels."""
        self.swaymsg("output", "HEADLESS-1", "resolution",
                     f"{desktop.SCREEN_W * factor}x{desktop.SCREEN_H * factor}", "scale",
                     str(factor))

    # desktop.py's functions, for this desktop

    def windows_titled(self, title):
        return [v["id"] for v in self.views() if v["name"] == title and v["visible"]]

    def window_info(self, wid):
        v = self.view(wid)
        rect, body = v["rect"], v["window_rect"]
        return {"x": rect["x"] + body["x"], "y": rect["y"] + body["y"], "width": body["width"],
                "height": body["height"], "map": "IsViewable" if v["visible"] else "IsUnMapped",
                "title": v["name"], "shell": v["shell"]}

    def frame_extents(self, wid):
        v = self.view(wid)
        rect, body, title = v["rect"], v["window_rect"], v["deco_rect"]
        return (body["x"], rect["width"] - body["x"] - body["width"], body["y"] + title["height"],
                rect["height"] - body["y"] - body["height"])

    def click(self, wid, x, y, repeat=1):
        info = self.window_info(wid)
        self.tell(f"click {info['x'] + x} {info['y'] + y} {repeat}")

    def park_mouse(self):
        self.tell("move 0 0")

    def key(self, *keys):
        self.tell("key " + " ".join(keys))

    def root_window(self):
        return None

    def focused_window(self):
        return next((v["id"] for v in self.views() if v["focused"]), None)

    def screenshot(self, wid, scale=1):
        if wid == "root":
            where = []
        else:
            info = self.window_info(wid)
            where = ["-g", f"{info['x']},{info['y']} {info['width']}x{info['height']}"]
        out = self.run(["grim", "-s", str(scale), *where, "-t", "ppm", "-"])
        if out.returncode != 0 or not out.stdout:
            raise Failure(f"grim failed: {out.stderr.decode(errors='replace').strip()}")
        return Image.from_ppm(out.stdout)

    def screenshot_root(self):
        return self.screenshot("root")


class Weston(Compositor):
    """weston's desktop on a headless output: a compositor that frames no window."""

    name = "weston"

    def __enter__(self):
        # Without animations and the panel (and its clock), the screen changes only when a
        # window does.
        self.config = tempfile.NamedTemporaryFile("w", suffix=".ini", delete=False)
        with self.config:
            self.config.write("[shell]\npanel-position=none\nstartup-animation=none\n"
                              "animation=none\nclose-animation=none\nfocus-animation=none\n")
        os.chmod(self.config.name, 0o644)
        self.start(["weston", "--backend=headless-backend.so", "--use-pixman",
                    f"--width={desktop.SCREEN_W}", f"--height={desktop.SCREEN_H}",
                    f"--config={self.config.name}", "--socket=wayland-1", "--idle-time=0",
                    "--debug"], {})
        # The screen is one plain colour until the desktop's patterned background is drawn.
        wait_for("weston showed no desktop", lambda: len(set(
            self.screenshot_root().rgb[i:i + 3] for i in range(0, 3 * 1024 * 768, 3 * 4099))) > 1)
        return self

    def __exit__(self, *exc):
        self.stop()
        os.unlink(self.config.name)

    def screenshot_root(self):
        """The whole output, through weston's screenshooter (offered with --debug only)."""
        folder = tempfile.mkdtemp(dir=self.runtime)
        os.chown(folder, self.user.pw_uid, self.user.pw_gid)
        out = subprocess.run(["weston-screenshooter"], env=self.env, cwd=folder,
                             capture_output=True, timeout=30, **desktop.as_user(self.user))
        shots = os.listdir(folder)
        if out.returncode != 0 or len(shots) != 1:
            raise Failure(f"weston-screenshooter: {out.stderr.decode(errors='replace').strip()}")
        ppm = subprocess.run(["convert", os.path.join(folder, shots[0]), "ppm:-"],
                             capture_output=True, check=True).stdout
        shutil.rmtree(folder)
        return Image.from_ppm(ppm)
