#!/usr/bin/env python3
"""Event storm: hundreds of random clicks and keys on every part of the real window, during and
between explosions, with キャンセル and every other way of quitting left out. The program must
live through it, never run two explosions at once, and afterwards look exactly as it did.

Usage: tests/storm/storm.py PROGRAM [EVENTS] [SEED]   (on an X display, e.g. via tools/with-xvfb)
"""
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time
import zlib

TITLE = "プログラムの強制終了"
CLIENT = (369, 238)
# Client-area rectangles (x, y, w, h) in pixels at 96 dpi.
LIST = (12, 8, 342, 124)
LABEL = (16, 152, 337, 42)
BUTTONS = {"終了": (11, 201, 110, 20), "シャットダウン": (130, 201, 109, 21), "キャンセル": (248, 201, 110, 21)}
# Tab and the arrow keys are left out: they move the focus between the buttons, and on
# キャンセル Return or space would quit.
SAFE_KEYS = ["Return", "space", "Home", "End", "alt+s", "alt+e", "a", "1"]


def xdotool(*args, check=True):
    return subprocess.run(["xdotool", *map(str, args)], check=check, capture_output=True, text=True).stdout


def find_window(title, timeout=10.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        out = xdotool("search", "--onlyvisible", "--name", f"^{title}$", check=False).split()
        if out:
            return out[0]
        time.sleep(0.05)
    return None


def grab(win):
    """The client area as rows of (r, g, b), read from ImageMagick's raw RGB output."""
    raw = subprocess.run(["import", "-window", win, "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout
    w, h = CLIENT
    return [[tuple(raw[(y * w + x) * 3:(y * w + x) * 3 + 3]) for x in range(w)] for y in range(h)]


def region(image, rect):
    x, y, w, h = rect
    return [row[x:x + w] for row in image[y:y + h]]


def random_point(rng):
    """Anywhere in the client area, but never on キャンセル."""
    while True:
        x, y = rng.randrange(CLIENT[0]), rng.randrange(CLIENT[1])
        bx, by, bw, bh = BUTTONS["キャンセル"]
        if not (bx - 2 <= x < bx + bw + 2 and by - 2 <= y < by + bh + 2):
            return x, y


def close_boxes(pid):
    """Answers any message box with Return until none is left."""
    for _ in range(20):
        if not (find_window("ﾊﾞｰﾁｬﾝ情報", 0.2) or find_window("鰓が出た象！", 0.2)):
            return
        xdotool("key", "Return")
        time.sleep(0.2)


def main():
    program = os.path.abspath(sys.argv[1])
    events = int(sys.argv[2]) if len(sys.argv) > 2 else 400
    seed = int(sys.argv[3]) if len(sys.argv) > 3 else 1
    rng = random.Random(seed)
    folder = tempfile.mkdtemp(prefix="storm-")
    failures = []
    try:
        shutil.copy(program, folder)
        # Every entry starts a harmless program, so Enter and double-clicks cost nothing.
        with open(os.path.join(folder, "Setup.ini"), "w", encoding="utf-8") as f:
            f.write('"一",true\n"二",true -x\n"三",true "a b"\n')
        proc = subprocess.Popen([os.path.join(folder, os.path.basename(program))], cwd=folder,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        win = find_window(TITLE)
        if not win:
            print("storm: the window never appeared")
            return 1
        time.sleep(0.5)
        before = grab(win)

        started = time.monotonic()
        for i in range(events):
            if proc.poll() is not None:
                failures.append(f"the program ended during the storm (status {proc.returncode}) after {i} events")
                break
            action = rng.random()
            if action < 0.15:  # the warning text, to set off (or try to set off again) an explosion
                x, y = LABEL[0] + rng.randrange(LABEL[2]), LABEL[1] + rng.randrange(LABEL[3])
                xdotool("mousemove", "--window", win, x, y, "click", "1")
            elif action < 0.6:
                x, y = random_point(rng)
                xdotool("mousemove", "--window", win, x, y, "click", "--repeat", rng.choice([1, 1, 2]), "1")
            else:
                xdotool("key", rng.choice(SAFE_KEYS))
            if rng.random() < 0.1:
                close_boxes(proc.pid)
            time.sleep(rng.uniform(0.0, 0.04))
        storm_time = time.monotonic() - started

        # Let the last explosion end, close any box, put the background back off, and compare.
        close_boxes(proc.pid)
        time.sleep(6)
        close_boxes(proc.pid)
        if proc.poll() is not None:
            failures.append(f"the program ended (status {proc.returncode})")
        else:
            # The focus goes back to the list, where it was at the start, so that the buttons
            # show no focus frame.
            xdotool("mousemove", "--window", win, 100, 14, "click", "1")
            time.sleep(0.3)
            after = grab(win)
            if after[2][2] != before[2][2]:  # the background picture is on: switch it off
                xdotool("mousemove", "--window", win, 365, 232, "click", "1")
                time.sleep(0.3)
                after = grab(win)
            for name, rect in [("the warning text", LABEL)] + list(BUTTONS.items()):
                if region(after, rect) != region(before, rect):
                    failures.append(f"{name} does not look as before the storm")
            if any(px == (255, 0, 0) for row in after for px in row):
                failures.append("red is still shown after the last explosion")
            # A second run started inside the first would show the red pause twice: watch one
            # run from the click to well past its end and count the red spells.
            xdotool("mousemove", "--window", win, 100, 160, "click", "1")
            time.sleep(0.2)
            for _ in range(4):
                xdotool("mousemove", "--window", win, 100, 160, "click", "1")  # where the text was
                time.sleep(0.1)
            spells, red_before = 0, False
            deadline = time.monotonic() + 10
            while time.monotonic() < deadline:
                red = grab(win)[2][2] == (255, 0, 0)
                spells += red and not red_before
                red_before = red
                time.sleep(0.1)
            if spells != 1:
                failures.append(f"one click on the warning text showed the red pause {spells} times")
            xdotool("key", "Escape")
            try:
                proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                failures.append("Esc did not end the program after the storm")
        print(f"storm: {events} events in {storm_time:.1f} s, seed {seed}")
    finally:
        if proc.poll() is None:
            proc.kill()
        shutil.rmtree(folder, ignore_errors=True)
    for f in failures:
        print(f"storm: FAIL {f}")
    print(f"storm: {0 if failures else 1} passed, {1 if failures else 0} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
