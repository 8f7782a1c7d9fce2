"""The desktop a user would see: a virtual X display, real input through xdotool, windows found by
their titles and screenshots read back as pixels.

Every process started here goes through `spawn`, which keeps it in a table of its own process
groups, so that `reap_all` can end them whatever happened to the suite (a failed check, an
exception, Ctrl+C).
"""

import json
import os
import re
import select
import shutil
import subprocess
import sys
import tempfile
import time

import artwork

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import wayland_desktop  # noqa: E402  (its processes' ending, shared)

SCREEN_W, SCREEN_H = 1024, 768

# What a desktop sets for its programs, and gives back to the caller's values when it ends.
SESSION_VARIABLES = ("DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR", "DBUS_SESSION_BUS_ADDRESS")
_spawned = []  # Popen objects, each the leader of its own process group
run_as = None  # folder -> Popen's arguments to run a program from there as the desktop's user


class Failure(Exception):
    """A check that did not hold; the message says what was seen and what was expected."""


def spawn(argv, **kwargs):
    proc = subprocess.Popen(argv, start_new_session=True, **kwargs)
    _spawned.append(proc)
    return proc


def end(proc, grace=2.0):
    """Ends one process we started, and whatever it started in its process group."""
    wayland_desktop.end(proc, grace)
    if proc in _spawned:
        _spawned.remove(proc)


def reap_all():
    for proc in reversed(list(_spawned)):
        end(proc, grace=1.0)


# ---------------------------------------------------------------------------------------------
# The display


class Display:
    """A fresh Xvfb of 1024x768x24, with openbox on it when `wm` is true."""

    def __init__(self, wm):
        self.wm = wm
        self.name = None
        self.procs = []
        self.label = "openbox" if wm else "no window manager"

    def __enter__(self):
        # Xvfb picks a free display number itself and writes it down once it takes clients:
        # choosing one by looking for lock files races with any other suite starting a server.
        # -noreset: the server must outlive its last client, or it resets between programs.
        # -r: no key repeats itself. Each key is typed, pressed and let go; on a busy machine
        # the server may see the two more than the repeat delay apart (0.66 s), and a Down
        # would have moved the selection to the end of the list.
        ready, told = os.pipe()
        xvfb = spawn(["Xvfb", "-displayfd", str(told), "-screen", "0",
                      f"{SCREEN_W}x{SCREEN_H}x24", "-noreset", "-nolisten", "tcp", "-r"],
                     pass_fds=(told,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(told)
        self.procs.append(xvfb)
        with os.fdopen(ready) as f:
            if not select.select([f], [], [], 30)[0]:
                raise RuntimeError("Xvfb did not start within 30 s")
            number = f.readline().strip()
        if not number.isdigit():
            raise RuntimeError(f"Xvfb did not start (status {xvfb.poll()})")
        self.name = f":{number}"
        # A desktop session has a runtime folder and one D-Bus session bus for its programs,
        # ended with it; the caller's own (or none) must not change what a check sees. Without
        # a bus libdbus starts one for each program (dbus-launch's autolaunch), and nothing
        # ends those.
        self.saved = {n: os.environ.get(n) for n in SESSION_VARIABLES}
        os.environ.pop("WAYLAND_DISPLAY", None)
        os.environ["DISPLAY"] = self.name
        self.runtime = os.environ["XDG_RUNTIME_DIR"] = tempfile.mkdtemp(prefix="pikorina-rt-")
        bus = spawn(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                    stdout=subprocess.PIPE)
        self.procs.append(bus)
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = wayland_desktop.first_line(bus, "dbus-daemon")
        if self.wm:
            self.procs.append(spawn(["openbox"], stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL))
            # Openbox announces itself on the root window once it manages the screen.
            deadline = time.monotonic() + 10
            while "_NET_SUPPORTING_WM_CHECK(WINDOW)" not in xprop_root():
                if time.monotonic() > deadline:
                    raise RuntimeError("openbox did not take over the display")
                time.sleep(0.05)
        return self

    def __exit__(self, *exc):
        for proc in reversed(self.procs):
            end(proc)
        self.procs = []
        for name, value in self.saved.items():
            os.environ.pop(name, None) if value is None else os.environ.update({name: value})
        shutil.rmtree(self.runtime, ignore_errors=True)


def xprop_root():
    return subprocess.run(["xprop", "-root"], capture_output=True, text=True).stdout


class ScreenReader:
    """reader.py in a D-Bus session of its own; `env` puts a program on its bus. Its buses and the
    registry end with its process group; their sockets and its errors go into `folder`."""

    def __init__(self, folder):
        self.proc = spawn(["dbus-run-session", "--", "/usr/bin/python3",
                           os.path.join(os.path.dirname(__file__), "reader.py")],
                          env=dict(os.environ, XDG_RUNTIME_DIR=folder), text=True,
                          stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                          stderr=open(os.path.join(folder, "errors"), "w"),
                          **(run_as(folder) if run_as else {}))  # on the programs' bus
        self.folder, self.env = folder, {"DBUS_SESSION_BUS_ADDRESS": self.ask()}

    def ask(self, *question):
        if question:
            print(json.dumps(question), file=self.proc.stdin, flush=True)
        answer = select.select([self.proc.stdout], [], [], 30)[0] and self.proc.stdout.readline()
        if answer:
            return json.loads(answer)
        end(self.proc)
        raise Failure(f"the screen reader gave no answer to {question}: see {self.folder}/errors")


# Orca as /usr/bin/orca starts it, with its debug log line-buffered, so that what it says is in
# the file once said, and blind to the user's other Orcas (it refuses to start beside one, though
# each speaks on a desktop of its own).
_ORCA = """import builtins, sys
src, log, _open = "/usr/bin/orca", sys.argv.pop(1), open
builtins.open = lambda f, m="r", *a, **k: _open(f, m, 1) if f == log else _open(f, m, *a, **k)
g = {"__name__": "orca", "__file__": src}
exec(compile(_open(src).read(), src, "exec"), g)
g["otherOrcas"], g["setProcessName"], sys.argv[0] = (lambda: []), (lambda name: None), src
sys.exit(g["main"]())
"""


class Orca:
    """The screen reader, on a D-Bus session and accessibility bus of its own, speaking through a
    speech-dispatcher of its own whose dummy module plays nothing; what it says is read from its
    debug log. `env` puts a program on its desktop, where it finds accessibility switched on, as a
    user's program does. `close` ends it all (Orca ignores SIGTERM: SIGKILL after the grace)."""

    def __init__(self, folder):
        self.folder, self.procs, self.log = folder, [], os.path.join(folder, "orca-debug.log")
        env = dict(os.environ, GSETTINGS_BACKEND="memory")
        for name in ["HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"]:
            env[name] = os.path.join(folder, name.lower())
            os.makedirs(env[name], mode=0o700)
        sock, conf = os.path.join(folder, "speechd.sock"), os.path.join(folder, "speechd")
        os.makedirs(os.path.join(conf, "log"))
        with open(os.path.join(conf, "speechd.conf"), "w") as f:
            f.write('AddModule "dummy" "sd_dummy" ""\nDefaultModule dummy\nAudioOutputMethod "libao"\n')
        try:
            self._spawn(env, ["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                        stdout=subprocess.PIPE)
            self._wait(lambda: select.select([self.procs[0].stdout], [], [], 0.05)[0], 30,
                       "its D-Bus session")
            env["DBUS_SESSION_BUS_ADDRESS"] = self.procs[0].stdout.readline().decode().strip()
            self._spawn(env, ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
            self._spawn(env, ["speech-dispatcher", "-s", "-t", "0", "-c", "unix_socket", "-S",
                              sock, "-C", conf, "-L", os.path.join(conf, "log")])
            self._wait(lambda: os.path.exists(sock), 30, "speech-dispatcher's socket")
            self._spawn(dict(env, SPEECHD_ADDRESS="unix_socket:" + sock),
                        ["/usr/bin/python3", "-c", _ORCA, self.log, "--debug",
                         "--debug-file=" + self.log])
            self._wait(self.said, 60, "Orca to say it is on")
        except BaseException:
            self.close()
            raise
        self.env = {"DBUS_SESSION_BUS_ADDRESS": env["DBUS_SESSION_BUS_ADDRESS"]}

    def _spawn(self, env, argv, stdout=None):
        log = open(os.path.join(self.folder, f"{len(self.procs)}-{os.path.basename(argv[0])}"), "w")
        self.procs.append(spawn(argv, env=env, stdout=stdout or log, stderr=log))

    def _wait(self, ready, timeout, what):
        deadline = time.monotonic() + timeout
        while not ready():
            if self.procs[-1].poll() is not None or time.monotonic() > deadline:
                raise Failure(f"waited {timeout} s for {what} (the last process started: status "
                              f"{self.procs[-1].poll()}); see {self.folder}")
            time.sleep(0.05)

    def said(self, since=0):
        """What Orca has said, one string for each utterance, from the `since`th on."""
        try:
            with open(self.log, encoding="utf-8", errors="replace") as f:
                return re.findall(r"SPEECH OUTPUT: '(.*?)' ?[\[{]", f.read(), re.S)[since:]
        except FileNotFoundError:
            return []

    def expect(self, since, texts, what, timeout=15):
        """Waits until Orca, from its `since`th utterance on, has said something, and `texts` in
        that order (in utterances joined by newlines: a text may span them); what it said."""
        def found():
            heard, at = "\n".join(self.said(since)), 0
            for text in texts:
                at = heard.find(text, at)
                if at < 0:
                    return False
                at += len(text)
            return bool(heard)
        try:
            self._wait(found, timeout, "them")
        except Failure as e:
            raise Failure(f"{what}: Orca said {self.said(since)!r}, not {list(texts)!r} in that "
                          f"order ({e})") from None
        return self.said(since)

    def idle(self, quiet=0.2, timeout=5):
        """Waits until Orca has written nothing for `quiet` s: done with the last key. Qt hands
        Orca each key and waits 100 ms for it to be claimed, then gives it to the program: a
        flat review key that came while Orca was still busy moved the list's selection."""
        deadline, last = time.monotonic() + timeout, None
        while time.monotonic() < deadline:
            size = os.path.getsize(self.log)
            if size == last:
                return
            last = size
            time.sleep(quiet)

    def close(self):
        for proc in reversed(self.procs):
            end(proc)
        self.procs = []


# ---------------------------------------------------------------------------------------------
# Windows


class Window(int):
    """An X window id that knows where the program's client area lies inside it: at (ox, oy)
    when the program draws its own frame into the window (Wine), at (0, 0) otherwise."""

    def __new__(cls, wid, ox=0, oy=0):
        self = super().__new__(cls, wid)
        self.ox, self.oy = ox, oy
        return self


def _ere(text):
    """An exact-match POSIX extended regular expression for xdotool's --name."""
    return "^" + re.sub(r"([.^$*+?()\[\]{}|\\])", r"\\\1", text) + "$"


def windows_titled(title):
    """Ids of the mapped windows with exactly this title."""
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", _ere(title)],
                         capture_output=True, text=True).stdout
    return [int(w) for w in out.split()]


def shown_titles():
    """The titles of every mapped window, for saying what was on the screen at a failure."""
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "."],
                         capture_output=True, text=True).stdout
    return sorted({subprocess.run(["xdotool", "getwindowname", w], capture_output=True,
                                  text=True).stdout.strip() for w in out.split()} - {""})


def wait_window(title, timeout=15.0, alive=None):
    """Waits for a mapped window with exactly this title. `alive`, when given, is asked between
    polls whether the program is still running, so that a program that died fails at once."""
    deadline = time.monotonic() + timeout
    while True:
        found = windows_titled(title)
        if found:
            return found[0]
        if alive is not None:
            problem = alive()
            if problem:
                raise Failure(f"no window titled {title!r}: {problem}")
        if time.monotonic() > deadline:
            raise Failure(f"no window titled {title!r} appeared within {timeout:.0f} s")
        time.sleep(0.05)


def wait_gone(title, timeout=5.0):
    deadline = time.monotonic() + timeout
    while windows_titled(title):
        if time.monotonic() > deadline:
            raise Failure(f"the window titled {title!r} is still shown after {timeout:.0f} s")
        time.sleep(0.05)


def window_info(wid):
    """xwininfo's facts about a window: x, y (client area, root coordinates), width, height,
    map state, title."""
    out = subprocess.run(["xwininfo", "-id", str(wid)], capture_output=True, text=True)
    if out.returncode != 0:
        raise Failure(f"window {wid:#x} no longer exists")
    text = out.stdout
    field = lambda name: re.search(rf"{name}:\s*(\S+)", text).group(1)
    title = re.search(r'"(.*)"', text)
    return {
        "x": int(field("Absolute upper-left X")),
        "y": int(field("Absolute upper-left Y")),
        "width": int(field("Width")),
        "height": int(field("Height")),
        "map": field("Map State"),
        "title": title.group(1) if title else None,
    }


def frame_extents(wid):
    """The window manager's frame around a window: left, right, top, bottom; None without one."""
    out = subprocess.run(["xprop", "-id", str(wid), "_NET_FRAME_EXTENTS"], capture_output=True,
                         text=True).stdout
    m = re.search(r"=\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+)", out)
    return tuple(int(v) for v in m.groups()) if m else None


def title_ink(wid, title, own):
    """How wide the window manager sets `title` in the title bar of the window whose own title is
    `own`, in pixels; the window's own title is put back."""
    def bar():
        info, (left, right, top, _) = window_info(wid), frame_extents(wid)
        return screenshot_root().crop(info["x"] - left, info["y"] - top,
                                      info["width"] + left + right, top)
    def rename(name):  # (as UTF-8, which xdotool's set_window does not write)
        subprocess.run(["xprop", "-id", str(wid), "-f", "_NET_WM_NAME", "8u", "-set",
                        "_NET_WM_NAME", name], check=True)
    return ink_of_title(bar, rename, title, own)


def ink_of_title(bar, rename, title, own):
    """The width of the columns in which the title bar (`bar()`: a screenshot of it, or of the
    whole frame) with `title` differs from the bar with a blank title (a space: some window
    managers show a name of their own for an empty one). `rename(name)` shows a title; each
    change is waited for until the bar shows it and has settled."""
    def shown(name, changed):
        rename(name)
        deadline, last = time.monotonic() + 10, bar()
        while not ((shot := bar()).rgb == last.rgb and changed(shot.rgb)):
            if time.monotonic() > deadline:
                raise Failure(f"the title bar did not settle on the title {name!r} within 10 s")
            last = shot
            time.sleep(0.05)
        return shot
    before = bar()
    try:
        named = before if title == own else shown(title, lambda rgb: rgb != before.rgb)
        blank = shown(" ", lambda rgb: rgb != named.rgb)
    finally:
        shown(own, lambda rgb: rgb == before.rgb)
    count, box = named.diff(blank)
    return box[2] - box[0] + 1 if count else 0


def _xdotool(*args):
    result = subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True)
    if result.returncode != 0:
        raise Failure(f"xdotool {' '.join(map(str, args))} failed: {result.stderr.strip()}")


def click(wid, x, y, repeat=1):
    """A left click at client coordinates x, y of a window (a double click with repeat=2)."""
    x, y = x + getattr(wid, "ox", 0), y + getattr(wid, "oy", 0)
    # One xdotool call: the pointer is warped before the button goes down. (--sync would wait
    # for a motion that never comes when the pointer is already there.)
    _xdotool("mousemove", "--window", wid, x, y, "click", "--repeat", repeat, "--delay", 80, "1")


def park_mouse():
    """Moves the pointer off every window, so that it hovers over nothing in a screenshot."""
    _xdotool("mousemove", 0, 0)


def key(*keys):
    """Keys typed to whichever window has the focus, as a user would."""
    for k in keys:
        _xdotool("key", k)


def root_window():
    out = subprocess.run(["xwininfo", "-root"], capture_output=True, text=True).stdout
    m = re.search(r"Window id: (0x[0-9a-f]+)", out)
    return int(m.group(1), 16) if m else None


def focused_window():
    out = subprocess.run(["xdotool", "getwindowfocus"], capture_output=True, text=True).stdout
    return int(out) if out.strip().isdigit() else None


# ---------------------------------------------------------------------------------------------
# Pixels

ONE_WHERE_NONZERO = bytes([0] + [1] * 255)


class Image:
    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    @staticmethod
    def from_ppm(data):
        # P6 <w> <h> <max>\n then the raw samples.
        fields, pos = [], 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            if data[pos:pos + 1] == b"#":
                pos = data.index(b"\n", pos) + 1
                continue
            start = pos
            while not data[pos:pos + 1].isspace():
                pos += 1
            fields.append(data[start:pos])
        if fields[0] != b"P6" or fields[3] != b"255":
            raise Failure(f"unexpected screenshot format {fields!r}")
        w, h = int(fields[1]), int(fields[2])
        rgb = data[pos + 1:pos + 1 + 3 * w * h]
        if len(rgb) != 3 * w * h:
            raise Failure("a truncated screenshot")
        return Image(w, h, rgb)

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.rgb[i:i + 3])

    def crop(self, x, y, w, h):
        rows = [self.rgb[3 * ((y + r) * self.width + x):3 * ((y + r) * self.width + x + w)]
                for r in range(h)]
        return Image(w, h, b"".join(rows))

    def diff(self, other):
        """The number of differing pixels and their bounding box (x0, y0, x1, y1) or None."""
        if (self.width, self.height) != (other.width, other.height):
            raise Failure(f"screenshots of different sizes: {self.width}x{self.height} and "
                          f"{other.width}x{other.height}")
        if self.rgb == other.rgb:
            return 0, None
        # One byte a pixel, 1 where it differs, without a Python loop over the pixels: this runs
        # every 0.1 s while an explosion plays, on the cores Wine's sound threads need then.
        n, w = len(self.rgb), self.width
        xor = (int.from_bytes(self.rgb, "little") ^ int.from_bytes(other.rgb, "little"))
        ones = xor.to_bytes(n, "little").translate(ONE_WHERE_NONZERO)
        mask = (int.from_bytes(ones[0::3], "little") | int.from_bytes(ones[1::3], "little")
                | int.from_bytes(ones[2::3], "little")).to_bytes(n // 3, "little")
        y0, y1 = mask.find(1) // w, mask.rfind(1) // w
        rows = [mask[y * w:(y + 1) * w] for y in range(y0, y1 + 1)]
        return mask.count(1), (min(r.find(1) for r in rows if 1 in r), y0,
                               max(r.rfind(1) for r in rows), y1)

    def save_ppm(self, path):  # for looking at a failure by eye
        with open(path, "wb") as f:
            f.write(b"P6\n%d %d\n255\n" % (self.width, self.height) + bytes(self.rgb))


def screenshot(wid):
    """The client area of a window as it is on the screen now."""
    if isinstance(wid, Window) and (wid.ox or wid.oy):
        return screenshot(int(wid)).crop(wid.ox, wid.oy, artwork.CLIENT_W, artwork.CLIENT_H)
    # (with a deadline: import waits for good on a window that went away meanwhile)
    try:
        out = subprocess.run(["import", "-window", str(wid), "-depth", "8", "ppm:-"],
                             capture_output=True, timeout=15)
    except subprocess.TimeoutExpired:
        raise Failure(f"no screenshot of window {wid} within 15 s: is it gone?") from None
    if out.returncode != 0 or not out.stdout:
        raise Failure(f"could not take a screenshot of window {wid}: "
                      f"{out.stderr.decode(errors='replace').strip()}")
    return Image.from_ppm(out.stdout)


def screenshot_root():
    """The whole screen."""
    return screenshot("root")


def is_dark(rgb, limit=96):
    return (rgb[0] * 299 + rgb[1] * 587 + rgb[2] * 114) // 1000 < limit


def sleep_until_fraction(frac):
    """Sleeps until the clock is `frac` seconds past a whole second; returns that whole second."""
    now = time.time()
    time.sleep((frac - now % 1) % 1)
    return int(time.time())


def sleep_until(t):
    time.sleep(max(0.0, t - time.time()))
