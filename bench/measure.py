#!/usr/bin/env python3
"""Runs every measurement and prints one table (Markdown). Called by bench/run on a virtual
display, with the bench build in BUILD; see docs/performance.md for what each row means.

Every figure is either a ratio against a reference measured in the same run, next to it, or a
median over repeated runs: other people use this machine at the same time.
"""
import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
BUILD = Path(sys.argv[1]) if len(sys.argv) > 1 else ROOT / "build" / "bench"
WINDOWS_EXE = ROOT / "build" / "windows" / "pikorina.exe"
WINE_FLOOR = BUILD / "win32_floor.exe"
SCALES = [10, 1_000, 100_000, 1_000_000]
# Runs of each program for the start-up time, one of each in turn, so that a burst of someone
# else's work falls on both alike.
START_PAIRS = 40
SCALE_RUNS = {1_000: 10, 100_000: 8, 1_000_000: 4}
MEMORY_RUNS = 3
EXPLOSION_RUNS = 3


def log(message):
    print(f"bench: {message}", file=sys.stderr, flush=True)


def hyperfine(commands, runs, warmup=1, env=None):
    """Wall times in seconds of each command (a list of argv lists), run by hyperfine."""
    with tempfile.NamedTemporaryFile(suffix=".json") as out:
        argv = ["hyperfine", "-N", "--style", "none", "--runs", str(runs), "--warmup",
                str(warmup), "--export-json", out.name]
        argv += [" ".join(c) for c in commands]
        subprocess.run(argv, check=True, stdout=subprocess.DEVNULL, env=env)
        results = json.load(open(out.name))["results"]
    return [r["times"] for r in results]


def peak_kb(command):
    """Peak resident memory (KB) of one run, by /usr/bin/time -f %M."""
    r = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    return int(r.stderr.strip().splitlines()[-1])


def program_folder(base, records):
    """A folder with its own copy of the program and a launch list of `records` records (the
    program reads Setup.ini beside its executable, which Qt finds through /proc/self/exe, so a
    copy rather than a link)."""
    folder = base / f"n{records}"
    folder.mkdir()
    shutil.copy2(BUILD / "pikorina", folder / "pikorina")
    subprocess.run([BUILD / "make_setup", str(records), folder / "Setup.ini"], check=True)
    return folder


def ms(seconds):
    return f"{seconds * 1000:.1f} ms"


def meets(ok):
    return "yes" if ok else "**no**"


def alternated(ours, floor, env=None, pairs=START_PAIRS, warmup=2):
    """Wall times of the two programs run in turn, the floor first in every other pair, each to
    its first paint (the shim ends it): their medians, and the median of the pairs' ratios."""
    def run(command):
        start = time.perf_counter()
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL, env=env)
        return time.perf_counter() - start
    for _ in range(warmup):
        run(floor)
        run(ours)
    t_ours, t_floor, ratios = [], [], []
    for i in range(pairs):
        if i % 2 == 0:
            f, o = run(floor), run(ours)
        else:
            o, f = run(ours), run(floor)
        t_ours.append(o)
        t_floor.append(f)
        ratios.append(o / f)
    return statistics.median(t_ours), statistics.median(t_floor), statistics.median(ratios)


# Under callgrind Qt's hashes are seeded with 0, and the shim fixes expat's hash salt and
# fontconfig's random seed and stops the count at the first paint. Two counts of one program then
# agree to within 0.03 % (heap layout, and when the X server's replies arrive, move the rest).
COUNTING = {"QT_HASH_SEED": "0", "PIKORINA_BENCH_FIXED_SALT": "1"}


def instructions(command):
    """Instructions (callgrind's Ir) from the start of the process to its first paint, counted
    twice, to show that the figure repeats."""
    counts = []
    for _ in range(2):
        with tempfile.TemporaryDirectory() as folder:
            out = Path(folder) / "callgrind.out"
            subprocess.run(["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}"]
                           + command, check=True, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, env=dict(os.environ, **COUNTING))
            totals = re.search(r"^totals: (\d+)", out.read_text(), re.MULTILINE)
            counts.append(int(totals.group(1)))
    return counts


def mega(counts):
    """A count in millions, both runs when they differ at that precision."""
    shown = []
    for count in counts:
        if f"{count / 1e6:.1f}" not in shown:
            shown.append(f"{count / 1e6:.1f}")
    return " / ".join(shown) + " M"


def mapped(command, suffix, env=None):
    """The names of the files ending in `suffix` (or with `suffix.` in them: libfoo.so.6) that the
    process has mapped at its first paint, the shim's own left out."""
    with tempfile.TemporaryDirectory() as folder:
        maps = Path(folder) / "maps"
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       env=dict(env or os.environ, PIKORINA_BENCH_PAINT_MAPS=str(maps)))
        names = {Path(line.strip()).name for line in maps.read_text().splitlines()}
    return {n for n in names if n != "first_paint.so" and
            (n.lower().endswith(suffix) or suffix + "." in n.lower())}


def main():
    env = os.environ
    env["LD_PRELOAD"] = str(BUILD / "first_paint.so")
    env["PIKORINA_BENCH_PAINT_DEADLINE"] = "60"
    runtime = Path(tempfile.mkdtemp(prefix="pikorina-bench-xdg-"))
    runtime.chmod(0o700)
    env["XDG_RUNTIME_DIR"] = str(runtime)  # Qt only warns without one
    base = Path(tempfile.mkdtemp(prefix="pikorina-bench-"))
    rows = []
    try:
        folders = {n: program_folder(base, n) for n in SCALES}
        ours10 = [str(folders[10] / "pikorina")]
        floor = [str(BUILD / "floor_dialog")]

        # 1. Start-up to first paint, against the bare dialog: the time, then the figures that
        # other people's work on the machine cannot move.
        log("start-up to first paint, program and floor, alternated")
        t_ours, t_floor, ratio = alternated(ours10, floor)
        rows.append(["1", "Start-up to first paint, Linux, 10 entries "
                     f"(medians of {START_PAIRS} alternated runs)", ms(t_ours), f"bare QDialog "
                     f"{ms(t_floor)}", f"{ratio:.2f}x", "≤ 1.05x", meets(ratio <= 1.05)])
        log("instructions to first paint (callgrind, twice each)")
        i_ours, i_floor = instructions(ours10), instructions(floor)
        ratio = sum(i_ours) / sum(i_floor)
        rows.append(["1", "Instructions to first paint, Linux (callgrind)", mega(i_ours),
                     f"bare QDialog {mega(i_floor)}", f"{ratio:.2f}x", "≤ 1.05x",
                     meets(ratio <= 1.05)])
        log("shared libraries mapped at first paint")
        l_ours, l_floor = mapped(ours10, ".so"), mapped(floor, ".so")
        extra = sorted(l_ours - l_floor)
        rows.append(["1", "Shared libraries mapped at first paint, Linux", str(len(l_ours)),
                     f"bare QDialog {len(l_floor)}" + (f"; more: {', '.join(extra)}" if extra
                                                       else ""),
                     f"+{len(l_ours) - len(l_floor)}", "≤ floor + 2",
                     meets(len(l_ours) <= len(l_floor) + 2)])
        mem10 = statistics.median(peak_kb(ours10) for _ in range(MEMORY_RUNS))
        mem_floor = statistics.median(peak_kb(floor) for _ in range(MEMORY_RUNS))
        rows.append(["1", f"Peak memory, 10 entries (median of {MEMORY_RUNS})",
                     f"{mem10 / 1024:.1f} MB", f"bare QDialog {mem_floor / 1024:.1f} MB",
                     f"{mem10 / mem_floor:.2f}x", "≤ 1.05x", meets(mem10 / mem_floor <= 1.05)])
        rows += wine_startup_rows()

        # 2. Loading at scale: each size timed in the same hyperfine call as the 10-record list.
        log("loading at scale")
        load = {}
        for n in SCALES[1:]:
            prog = [str(folders[n] / "pikorina")]
            base10, big = hyperfine([ours10, prog], SCALE_RUNS[n])
            m10, mn = statistics.median(base10), statistics.median(big)
            load[n] = mn - m10
            mem = statistics.median(peak_kb(prog) for _ in range(MEMORY_RUNS))
            per_record = (mem - mem10) * 1024 / (n - 10)
            target, met = "reported", "–"
            if n == 100_000:
                target, met = "≤ 3x", "yes" if mn / m10 <= 3 else "**no**"
            rows.append(["2", f"First paint, {n:,} entries (median of {len(big)})", ms(mn),
                         f"10 entries {ms(m10)}", f"{mn / m10:.2f}x", target, met])
            rows.append(["2", f"Peak memory, {n:,} entries (median of {MEMORY_RUNS})",
                         f"{mem / 1024:.1f} MB", f"10 entries {mem10 / 1024:.1f} MB",
                         f"{per_record:.0f} bytes a record", "reported", "–"])
        growth = load[1_000_000] / load[100_000]
        rows.append(["2", "Load part (first paint − 10-entry first paint), 1,000,000 vs 100,000",
                     ms(load[1_000_000]), f"100,000: {ms(load[100_000])}", f"{growth:.1f}x",
                     "8x – 12x", "yes" if 8 <= growth <= 12 else "**no**"])

        # 3. The field reader against a scan for line ends.
        log("field reader")
        del env["LD_PRELOAD"]
        r = subprocess.run([BUILD / "field_reader_bench", "--benchmark_format=json",
                            "--benchmark_repetitions=5", "--benchmark_min_time=0.3",
                            "--benchmark_report_aggregates_only=true"],
                           check=True, capture_output=True, text=True)
        speed = {b["run_name"]: b["bytes_per_second"] / 1e6
                 for b in json.loads(r.stdout)["benchmarks"] if b["aggregate_name"] == "median"}
        floor_mbs = speed["LineEndsMemchr"]
        ours_mbs = speed["FieldReaderPass"]
        rows.append(["3", "Field reader, filling pass over 10 MB (median of 5)",
                     f"{ours_mbs:,.0f} MB/s", f"memchr '\\n' {floor_mbs:,.0f} MB/s "
                     f"(std::find {speed['LineEndsFind']:,.0f})", f"{ours_mbs / floor_mbs:.2f}x",
                     "≥ 0.5x", "yes" if ours_mbs / floor_mbs >= 0.5 else "**no**"])
        count_mbs = speed["FieldReaderCountingPass"]
        rows.append(["3", "… the load's counting pass (boundaries only, no copies)",
                     f"{count_mbs:,.0f} MB/s", f"memchr '\\n' {floor_mbs:,.0f} MB/s",
                     f"{count_mbs / floor_mbs:.2f}x", "≥ 0.5x",
                     "yes" if count_mbs / floor_mbs >= 0.5 else "**no**"])

        # 4 and 5. The explosion, in-process on the real window.
        log("explosion: the program's pump, then the busy loop")
        don = ROOT / "assets" / "Don.wav"
        pump = explosion(don, EXPLOSION_RUNS, "pump")
        busy = explosion(don, 1, "busy")
        cpu_pump = statistics.median(c / w for w, c in pump["runs"])
        cpu_busy = statistics.median(c / w for w, c in busy["runs"])
        wall = statistics.median(w for w, _ in pump["runs"])
        rows.append(["4", f"CPU over wall time, whole explosion (median of {EXPLOSION_RUNS}, "
                     f"{wall:.1f} s each)", f"{cpu_pump * 100:.2f} %",
                     f"busy processEvents() loop {cpu_busy * 100:.1f} %",
                     f"{cpu_busy / max(cpu_pump, 1e-9):.0f}x less", "< 2 %",
                     "yes" if cpu_pump < 0.02 else "**no**"])
        late = pump["late_ms"]
        med, worst = statistics.median(late), max(late)
        rows.append(["5", f"Wait ends after its end mark ({len(late)} waits)",
                     f"median {med:.2f} ms, worst {worst:.2f} ms",
                     f"busy loop: median {statistics.median(busy['late_ms']):.3f} ms",
                     "–", "median ≤ 5 ms, worst ≤ 20 ms",
                     "yes" if med <= 5 and worst <= 20 else "**no**"])

        # 6. The Windows program.
        rows.append(windows_size_row())
    finally:
        shutil.rmtree(base, ignore_errors=True)
        shutil.rmtree(runtime, ignore_errors=True)

    print("| # | Measurement | Ours | Reference (same run) | Ratio | Target | Met |")
    print("|---|---|---|---|---|---|---|")
    for row in rows:
        print("| " + " | ".join(row) + " |")


def explosion(don, runs, mode):
    r = subprocess.run([BUILD / "explosion_bench", don, str(runs), mode], check=True,
                       capture_output=True, text=True)
    result = {"runs": [], "late_ms": []}
    for line in r.stdout.splitlines():
        parts = line.split()
        if parts[0] == "run":
            result["runs"].append((float(parts[1]), float(parts[2])))
        elif parts[0] == "wait":
            result["late_ms"].append(float(parts[2]))
    return result


def wine_startup_rows():
    if not WINDOWS_EXE.exists() or not WINE_FLOOR.exists() or not shutil.which("wineserver"):
        why = "build/windows/pikorina.exe not built" if not WINDOWS_EXE.exists() \
            else "no mingw-w64 or Wine for the bare Win32 window"
        return [["1", "Start-up to first paint, Windows program under Wine", "not measured",
                 why, "–", "≤ 1.10x", "not measured"]]
    # Filled in by bench/wine_startup.py when Wine is there; kept apart so that a machine
    # without Wine still gets every other row.
    sys.path.insert(0, str(Path(__file__).resolve().parent))
    import wine_startup  # noqa: E402
    return wine_startup.rows(BUILD, WINDOWS_EXE, WINE_FLOOR)


def windows_size_row():
    if not WINDOWS_EXE.exists():
        return ["6", "Windows program: size, imports", "not measured",
                "build/windows/pikorina.exe not built", "–",
                "< 1.5 MB, system DLLs only", "not measured"]
    size = WINDOWS_EXE.stat().st_size
    dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", WINDOWS_EXE], check=True,
                          capture_output=True, text=True).stdout
    dlls = sorted(set(m.lower() for m in re.findall(r"DLL Name: (\S+)", dump)))
    # What Windows itself ships; a DLL of a compiler or a library (libstdc++-6.dll,
    # libwinpthread-1.dll, Qt...) is not.
    system = {"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "ole32.dll",
              "oleaut32.dll", "comctl32.dll", "comdlg32.dll", "advapi32.dll", "winmm.dll",
              "msvcrt.dll", "shlwapi.dll", "version.dll", "uxtheme.dll", "imm32.dll",
              "ucrtbase.dll", "ws2_32.dll", "bcrypt.dll", "dwmapi.dll", "gdiplus.dll"}
    others = [d for d in dlls if d not in system and not d.startswith("api-ms-win-")]
    ok = size < 1.5 * 1024 * 1024 and not others
    return ["6", "Windows program: size, imported DLLs", f"{size / 1024 / 1024:.2f} MB",
            ", ".join(dlls), "–", "< 1.5 MB, system DLLs only", "yes" if ok else "**no**"]


if __name__ == "__main__":
    main()
