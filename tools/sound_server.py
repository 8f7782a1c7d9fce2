#!/usr/bin/env python3
"""A sound server of its own, and a recording of what is played to it: for hearing the bang by
hand and for the end-to-end suite.

  tools/sound_server.py RECORDING COMMAND...
  tools/sound_server.py --serve FOLDER LINK

The first runs COMMAND with PULSE_SERVER pointing at PipeWire with its PulseAudio service and
session manager, on a runtime folder and a D-Bus session bus of their own, whose default output
is a null sink; the sink's left channel goes to RECORDING (raw signed 16-bit little-endian, mono,
22050 Hz) until COMMAND ends. A second null sink, recorded beside it, is for the platform's own
player (`play`), heard in the same session for comparison. The second starts a server in FOLDER,
points the symbolic link LINK at its socket (a program given PULSE_SERVER=unix:LINK finds it; a
second server started meanwhile takes the address over before this one ends), prints "ready" and
runs until its input closes. Everything it started is ended with it (packages: tools/install-deps
sound).
"""

import array
import os
import subprocess
import sys
import tempfile
import time

import wayland_desktop

RATE = 22050


def spawn(argv, **kwargs):
    return subprocess.Popen(argv, start_new_session=True, **kwargs)


def until(done, what, proc, timeout=20):
    deadline = time.monotonic() + timeout
    while not done():
        if proc.poll() is not None or time.monotonic() > deadline:
            raise RuntimeError(what)
        time.sleep(0.1)


class Server:
    """The server in `folder`, with its state and settings; `env` points a program at it, whose
    sound goes to the sink "rec"; `play` plays a file with the platform's player to the sink
    "ref". `record()` starts recording both, `samples()` ends it: each sink's left channel (a
    mono recording sums both, too loud for 16 bits), by name. `spawn` starts each process in a
    process group of its own."""

    SINKS = ("rec", "ref")

    def __init__(self, folder, spawn=spawn):
        runtime, self.folder = os.path.join(folder, "runtime"), folder
        os.makedirs(runtime, mode=0o700)
        self.env = {"PULSE_SERVER": f"unix:{runtime}/pulse/native",
                    "PULSE_COOKIE": f"{folder}/cookie"}
        env = {k: v for k, v in os.environ.items() if k != "DBUS_SESSION_BUS_ADDRESS"}
        env.update(self.env, XDG_RUNTIME_DIR=runtime, XDG_STATE_HOME=f"{folder}/state",
                   XDG_CONFIG_HOME=f"{folder}/config")
        self.spawn, self.pactl, self.recorders, self.players = spawn, env, {}, []
        log = os.path.join(folder, "server.log")
        # The session manager gives up when the server is not there yet.
        with open(log, "w") as out:
            self.proc = spawn(
                ["dbus-run-session", "--", "sh", "-c", "pipewire & until [ -S \"$XDG_RUNTIME_DIR"
                 "/pipewire-0\" ]; do sleep 0.05; done; pipewire-pulse & exec wireplumber"],
                env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT)
        try:
            for args in (["info"], *(["load-module", "module-null-sink", f"sink_name={sink}"]
                                     for sink in self.SINKS),
                         ["set-default-sink", "rec"]):  # the sink is there once it can be
                until(lambda: subprocess.run(["pactl", *args], env=env, capture_output=True,
                                             timeout=10).returncode == 0,
                      f"the sound server: pactl {args[0]} failed: see {log}", self.proc)
        except BaseException:
            self.close()
            raise

    def raw(self, sink):
        return os.path.join(self.folder, f"{sink}.raw")

    def record(self):
        for sink in self.SINKS:
            with open(self.raw(sink), "wb") as out:
                self.recorders[sink] = self.spawn(
                    ["parec", "-d", f"{sink}.monitor", "--raw", f"--rate={RATE}",
                     "--format=s16le", "--channels=2", "--latency-msec=5"],
                    env=self.pactl, stdout=out)
        for sink, recorder in self.recorders.items():
            until(lambda: os.path.getsize(self.raw(sink)) > 0, "nothing recorded", recorder)

    def play(self, path, latency_ms):
        """Plays the file to "ref" with the platform's player, asking for this latency."""
        self.players.append(self.spawn(["paplay", "-d", "ref", f"--latency-msec={latency_ms}",
                                        path], env=self.pactl))

    def samples(self):
        for proc in self.players:
            proc.wait(30)
        heard = {}
        for sink, recorder in self.recorders.items():
            wayland_desktop.end(recorder)
            with open(self.raw(sink), "rb") as f:
                data = f.read()
            heard[sink] = memoryview(data[:len(data) // 4 * 4]).cast("h")[::2].tolist()
        return heard

    def close(self):
        for proc in [*self.players, *self.recorders.values(), self.proc]:
            wayland_desktop.end(proc)


def serve(folder, link):
    server = Server(folder)
    try:
        os.symlink(server.env["PULSE_SERVER"][len("unix:"):], link + ".new")
        os.replace(link + ".new", link)
        print("ready", flush=True)
        sys.stdin.read()
    finally:
        server.close()


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--serve":
        return serve(*sys.argv[2:])
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    with tempfile.TemporaryDirectory(prefix="sound-server-") as folder:
        server = Server(folder)
        try:
            server.record()
            status = subprocess.run(sys.argv[2:], env={**os.environ, **server.env}).returncode
            samples = server.samples()["rec"]
        finally:
            server.close()
    with open(sys.argv[1], "wb") as f:
        array.array("h", samples).tofile(f)
    return status


if __name__ == "__main__":
    sys.exit(main())
