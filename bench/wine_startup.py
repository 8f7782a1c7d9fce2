"""Start-up to first paint of the Windows program under Wine, against a bare Win32 window
(bench/win32_floor.cpp), timed like the Linux rows: each program runs in turn with the
first-paint shim preloaded, which ends the process once Wine's X11 driver has put the window's
image on the server; then the DLLs each has mapped by then. Wine's own server and helper processes are started once beforehand,
without the shim, and stopped afterwards, so every timed run starts warm, as a user's would.
"""
import os
import shutil
import statistics
import subprocess
import tempfile
from pathlib import Path

import measure

ROOT = Path(__file__).resolve().parent.parent
WINE = "/usr/lib/wine/wine64"


def wine_env(build):
    """The environment tools/wine-prefix writes, applied to ours, without the shim."""
    folder = build / "wine"
    if not (folder / "prefix").exists():
        measure.log("setting up a Wine prefix (once)")
        subprocess.run([ROOT / "tools" / "wine-prefix", folder], check=True,
                       stdout=subprocess.DEVNULL)
    env = {k: v for k, v in os.environ.items()
           if k not in ("LD_PRELOAD", "PIKORINA_BENCH_PAINT_DEADLINE")}
    for line in (folder / "env").read_text().splitlines():
        if line.startswith("export "):
            key, value = line[len("export "):].split("=", 1)
            env[key] = value.strip("'")
        elif line.startswith("unset "):
            for key in line.split()[1:]:
                env.pop(key, None)
    return env


def rows(build, exe, floor_exe):
    measure.log("start-up under Wine, program and bare Win32 window, alternated")
    env = wine_env(build)
    folder = Path(tempfile.mkdtemp(prefix="pikorina-bench-wine-"))
    try:
        shutil.copy2(exe, folder / "pikorina.exe")
        subprocess.run([build / "make_setup", "10", folder / "Setup.ini"], check=True)
        subprocess.run(["wineserver", "-p"], env=env, check=True)
        subprocess.run([WINE, "wineboot"], env=env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        timed = dict(env, LD_PRELOAD=str(build / "first_paint.so"),
                     PIKORINA_BENCH_PAINT_DEADLINE="60")
        ours_cmd, floor_cmd = [WINE, str(folder / "pikorina.exe")], [WINE, str(floor_exe)]
        t_ours, t_floor, ratio = measure.alternated(ours_cmd, floor_cmd, env=timed)
        floor6_cmd = [WINE, str(floor_exe.with_name("win32_floor6.exe"))]
        t_ours6, t_floor6, ratio6 = measure.alternated(ours_cmd, floor6_cmd, env=timed)
        d_ours = measure.mapped(ours_cmd, ".dll", env=timed)
        d_floor = measure.mapped(floor_cmd, ".dll", env=timed)
    finally:
        subprocess.run(["wineserver", "-k"], env=env)
        subprocess.run(["wineserver", "-w"], env=env)
        shutil.rmtree(folder, ignore_errors=True)
    extra = sorted(d_ours - d_floor)
    return [["1", f"Start-up to first paint, Windows program under Wine, 10 entries "
             f"(medians of {measure.START_PAIRS} alternated runs)", measure.ms(t_ours),
             f"bare Win32 window {measure.ms(t_floor)}", f"{ratio:.2f}x", "≤ 1.10x",
             measure.meets(ratio <= 1.10)],
            ["1", "… against the same window with Common Controls 6 (the program's manifest)",
             measure.ms(t_ours6), f"that window {measure.ms(t_floor6)}", f"{ratio6:.2f}x",
             "reported", "–"],
            ["1", "DLLs loaded at first paint, Windows program under Wine", str(len(d_ours)),
             f"bare Win32 window {len(d_floor)}" + (f"; more: {', '.join(extra)}" if extra
                                                    else ""),
             f"+{len(d_ours) - len(d_floor)}", "reported", "–"]]
