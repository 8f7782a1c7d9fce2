"""What a user hears: PipeWire with its PulseAudio service and session manager, on a runtime
folder and a D-Bus session bus of their own, a null sink as the only output, `parec` recording
its monitor; and the bangs found in a recording by their onsets and compared with Don.wav."""

import os
import subprocess
import threading
import time
import wave

import artwork
import desktop
from desktop import Failure

RATE = 22050  # Don.wav's, so that its samples and the recording's line up
LOUD = 8000  # an onset: a sample this loud soon after QUIET seconds below a quarter of it
QUIET = 0.02


def don():
    with wave.open(os.path.join(artwork.ASSETS, "Don.wav")) as w:
        return memoryview(w.readframes(w.getnframes())).cast("h").tolist()


class Server:
    """The server, its bus and its session manager in one process group; `env` points a
    program at it. Its state and settings stay in `folder` too."""

    def __init__(self, folder):
        runtime = os.path.join(folder, "runtime")
        os.makedirs(runtime, mode=0o700)
        self.env = {"PULSE_SERVER": f"unix:{runtime}/pulse/native",
                    "PULSE_COOKIE": os.path.join(folder, "cookie")}
        env = {k: v for k, v in os.environ.items() if k != "DBUS_SESSION_BUS_ADDRESS"}
        env.update(self.env, XDG_RUNTIME_DIR=runtime, XDG_STATE_HOME=f"{folder}/state",
                   XDG_CONFIG_HOME=f"{folder}/config")
        self.log, self.recorder = os.path.join(folder, "server.log"), None
        with open(self.log, "w") as log:
            # The session manager gives up when the server is not there yet.
            self.proc = desktop.spawn(["dbus-run-session", "--", "sh", "-c",
                                       "pipewire & until [ -S \"$XDG_RUNTIME_DIR/pipewire-0\" ];"
                                       " do sleep 0.05; done; pipewire-pulse & exec wireplumber"],
                                      env=env, stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        self.pactl = env
        try:
            deadline = time.monotonic() + 20
            for what, args in [("did not start", ["info"]),
                               ("made no null sink", ["load-module", "module-null-sink",
                                                      "sink_name=rec"]),
                               # The sink is there once it can be made the default.
                               ("has no null sink", ["set-default-sink", "rec"])]:
                while subprocess.run(["pactl", *args], env=env, capture_output=True,
                                     timeout=10).returncode != 0:
                    if self.proc.poll() is not None or time.monotonic() > deadline:
                        raise Failure(f"the sound server {what}: see {self.log}")
                    time.sleep(0.1)
        except BaseException:
            self.close()
            raise

    def record(self):
        """Starts recording; returns once the first samples are in."""
        self.recorder = Recorder(self.pactl)
        return self.recorder

    def close(self):
        if self.recorder:
            self.recorder.stop()
        desktop.end(self.proc)


class Recorder:
    """The sink's left channel (a mono recording sums both, too loud for 16 bits). Each read is
    noted with the time it arrived, to tell a sample's time on the wall clock."""

    def __init__(self, env):
        self.proc = desktop.spawn(["parec", "-d", "rec.monitor", "--raw", "--format=s16le",
                                   f"--rate={RATE}", "--channels=2", "--latency-msec=5"],
                                  env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.data, self.arrivals = bytearray(), []
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()
        deadline = time.monotonic() + 10
        while not self.arrivals:
            if self.proc.poll() is not None or time.monotonic() > deadline:
                raise Failure("the recorder took no samples from the sound server")
            time.sleep(0.05)

    def _read(self):
        while chunk := os.read(self.proc.stdout.fileno(), 4096):
            self.data += chunk
            self.arrivals.append((time.time(), len(self.data) // 4))

    def stop(self):
        desktop.end(self.proc)
        self.thread.join(5)

    def samples(self):
        """The samples, and the time of the first: never earlier than it was taken."""
        origin = min(t - n / RATE for t, n in self.arrivals)
        frames = memoryview(bytes(self.data[:len(self.data) // 4 * 4])).cast("h")
        return frames[::2].tolist(), origin


def onsets(x):
    quiet, soon, found, calm = int(QUIET * RATE), RATE // 200, [], 0
    for i, v in enumerate(x):
        if abs(v) < LOUD // 4:
            calm += 1
            continue
        if calm >= quiet and max(map(abs, x[i:i + soon])) >= LOUD:
            found.append(i)
        calm = 0
    return found


def similarity(a, b):
    ab, aa, bb = sum(p * q for p, q in zip(a, b)), sum(p * p for p in a), sum(q * q for q in b)
    return ab / (aa * bb) ** 0.5 if aa and bb else 0.0


def bangs(x, ref):
    """Each sound in x: (its first sample, its similarity to ref until the next one starts, the
    worst of its tenths). Its start is where its first 100 ms match ref's best, near its onset."""
    head = ref[:RATE // 10]
    starts = [max(range(max(0, o - 60), o + 6),
                  key=lambda s: sum(p * q for p, q in zip(x[s:s + len(head)], head)))
              for o in onsets(x)]
    result = []
    for start, end in zip(starts, starts[1:] + [len(x)]):
        n = min(end - start, len(ref))
        tenths = [similarity(x[start + n * i // 10:start + n * (i + 1) // 10],
                             ref[n * i // 10:n * (i + 1) // 10]) for i in range(10)]
        result.append((start, similarity(x[start:start + n], ref[:n]), min(tenths)))
    return result
