#!/usr/bin/env python3
"""The bang as heard, by hand: explosions of the Linux program and plays of Don.wav by the
desktop's own player (`paplay`, asked for the same latency as the program's output), in one
private sound server session (tools/sound_server.py), recorded from its null sink.

  tools/with-xvfb bench/bangs.py [EXPLOSIONS] [PROGRAM] [WAV]

For each bang: how late it started after the whole second at which its wait ended (the
recording dated by the earliest arrival of its samples, so a bang is never found early), its
similarity to the file, and its gaps: a millisecond or more of silence where the file is
audible (tests/e2e/sound.py). Not part of ./test: the figures go to docs/performance.md.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path[:0] = [os.path.join(ROOT, "tests", "e2e"), os.path.join(ROOT, "tools")]
import artwork  # noqa: E402
import sound  # noqa: E402
from sound_server import RATE, Server  # noqa: E402

LATENCY_MS = 200  # what the program's output asks for (src/platform/qt/sound_module.cpp)


class Recording:
    """parec's output as it arrives, dated: `start` is the wall-clock time of sample 0."""

    def __init__(self, env):
        self.proc = subprocess.Popen(
            ["parec", "-d", "rec.monitor", "--raw", f"--rate={RATE}", "--format=s16le",
             "--channels=1", "--latency-msec=5"], env=env, stdout=subprocess.PIPE)
        self.data, self.start = bytearray(), float("inf")
        self.thread = threading.Thread(target=self.read, daemon=True)
        self.thread.start()

    def read(self):
        while chunk := self.proc.stdout.read1(4096):
            now = time.time()
            self.data += chunk
            self.start = min(self.start, now - len(self.data) / 2 / RATE)

    def samples(self):
        self.proc.terminate()
        self.thread.join()
        return memoryview(bytes(self.data[:len(self.data) // 2 * 2])).cast("h").tolist()


def report(name, x, rec_start, ref, clicked):
    heard = sound.bangs(x, ref)
    print(f"{name}: {len(heard)} bangs")
    if not heard:
        return
    if clicked:
        late = [round(((t := rec_start + b.start / RATE) - round(t)) * 1000) for b in heard]
        print(f"  late (ms): {late}  range {min(late)}..{max(late)}")
    sims = [round(b.similarity, 3) for b in heard]
    print(f"  similarity: {min(sims)}..{max(sims)}")
    gaps = [[round(n * 1000 / RATE, 1) for _, n in b.gaps] for b in heard]
    print(f"  bangs with gaps: {sum(1 for g in gaps if g)}, gaps (ms): {[g for g in gaps if g]}")


def main():
    explosions = int(sys.argv[1]) if len(sys.argv) > 1 else 10
    program = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 else
                              os.path.join(ROOT, "build", "linux", "pikorina"))
    wav = os.path.abspath(sys.argv[3] if len(sys.argv) > 3 else
                          os.path.join(artwork.ASSETS, "Don.wav"))
    with tempfile.TemporaryDirectory(prefix="bangs-") as folder:
        server = Server(folder)
        try:
            env = {**os.environ, **server.env}
            app = os.path.join(folder, "app")
            os.makedirs(app)
            for f in (program, os.path.join(os.path.dirname(program), "libpikorina-sound.so")):
                shutil.copy2(f, app)
            shutil.copy2(wav, os.path.join(app, "Don.wav"))
            with open(os.path.join(app, "Setup.ini"), "w") as f:
                f.write("true,true\n")
            proc = subprocess.Popen([os.path.join(app, os.path.basename(program))], cwd=app,
                                    env={**env, "XDG_CONFIG_HOME": app, "XDG_CONFIG_DIRS": app})
            wid = None
            while not wid:
                time.sleep(0.2)
                wid = subprocess.run(["xdotool", "search", "--name", "プログラムの強制終了"],
                                     capture_output=True, text=True).stdout.split()
            wid = wid[0]
            time.sleep(1)
            rec = Recording(server.env | dict(os.environ))
            for _ in range(explosions):
                time.sleep(1.1 - time.time() % 1)  # 0.1 s past a whole second
                subprocess.run(["xdotool", "mousemove", "--window", wid,
                                *map(str, artwork.LABEL_BESIDE_PICTURE), "click", "1"])
                time.sleep(6)
            x = rec.samples()
            proc.terminate()
            proc.wait()
            ref = sound.decoded(wav)
            report(f"program ({explosions} explosions)", x, rec.start, ref, True)
            rec = Recording(server.env | dict(os.environ))
            for _ in range(explosions * 3):
                subprocess.run(["paplay", f"--latency-msec={LATENCY_MS}", wav], env=env)
                time.sleep(0.3)
            report(f"paplay --latency-msec={LATENCY_MS}", rec.samples(), rec.start, ref, False)
        finally:
            server.close()


if __name__ == "__main__":
    main()
