"""Side-by-side benchmarks, interleaved A B A B ..., medians and ratios."""

import argparse
import json
import os
import shutil
import signal
import statistics
import subprocess
import sys
import time
from pathlib import Path

SIZES = [("1MiB", 1 << 20, 15), ("64MiB", 64 << 20, 9), ("1GiB", 1 << 30, 7)]
STARTUP_RUNS = 21


def timed(cmd, env=None):
    """Wall time of one run of cmd (a list of argv lists run one after another)."""
    start = time.perf_counter()
    for argv in cmd:
        subprocess.run(argv, check=True, env=env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def peak_rss_kib(argv):
    # The driver reads its own high-water mark: a parent's rusage would also
    # count the moment between fork and exec, when the child is a copy of Python.
    done = subprocess.run(argv, check=True, capture_output=True, text=True)
    return int(done.stdout.split()[-1])


def make_source(path, size):
    path.parent.mkdir(parents=True, exist_ok=True)
    chunk = os.urandom(1 << 20)
    with open(path, "wb") as out:
        out.write(b"MZ")
        written = 2
        while written < size:
            part = chunk[: min(len(chunk), size - written)]
            out.write(part)
            written += len(part)
    os.sync()


def fresh_install(folder, settle=0.0):
    if folder.exists():
        shutil.rmtree(folder)
        # The file system discards the blocks of a large file it freed while the
        # next run writes; waiting keeps one run's clean-up out of another's time.
        os.sync()
        time.sleep(settle)
    folder.mkdir(parents=True)
    (folder / "Tavro.exe").write_bytes(b"MZ" + b"\0" * 4094)
    os.sync()
    return folder


def bench_upgrade(build, work, quick):
    driver = str(build / "bench" / "upgrade_bench")
    kit = work / "kit"
    source = kit / "TavroUpdateFiles" / "V" / "Tavro.exe"
    results = {}
    for label, size, runs in SIZES:
        if quick:
            runs = 3
        make_source(source, size)
        settle = 2.0 if size >= (256 << 20) else 0.0
        samples = {"upgrade": [], "cp_sync": [], "cp": []}
        for i in range(runs + 1):  # the first round warms up
            one = {}
            folder = fresh_install(work / "install", settle)
            one["upgrade"] = timed([[driver, str(kit), str(folder)]])
            folder = fresh_install(work / "install", settle)
            dst = str(folder / "Tavro.exe")
            one["cp_sync"] = timed([["cp", "--preserve=timestamps", str(source), dst],
                                    ["sync", dst]])
            folder = fresh_install(work / "install", settle)
            one["cp"] = timed([["cp", str(source), str(folder / "Tavro.exe")]])
            if i > 0:
                for key, value in one.items():
                    samples[key].append(value)
        results[label] = {key: statistics.median(v) for key, v in samples.items()}
        print(f"  upgrade {label:>5}: upgrade {results[label]['upgrade'] * 1000:9.2f} ms"
              f"   cp+sync {results[label]['cp_sync'] * 1000:9.2f} ms"
              f"   cp {results[label]['cp'] * 1000:9.2f} ms"
              f"   ratio {results[label]['upgrade'] / results[label]['cp_sync']:.3f}",
              flush=True)
    shutil.rmtree(work / "install", ignore_errors=True)
    return results, source


def bench_memory(build, work, source):
    driver = str(build / "bench" / "upgrade_bench")
    kit = work / "kit"
    peaks = {}
    for label, size in (("1MiB", 1 << 20), ("1GiB", 1 << 30)):
        make_source(source, size)
        runs = []
        for _ in range(3):
            folder = fresh_install(work / "install")
            runs.append(peak_rss_kib([driver, str(kit), str(folder)]))
        peaks[label] = statistics.median(runs) / 1024
    shutil.rmtree(work / "install", ignore_errors=True)
    source.unlink()
    print(f"  peak RSS: 1MiB {peaks['1MiB']:.2f} MiB, 1GiB {peaks['1GiB']:.2f} MiB", flush=True)
    return peaks


def start_xvfb():
    for display in range(90, 200):
        if not Path(f"/tmp/.X{display}-lock").exists():
            break
    proc = subprocess.Popen(["Xvfb", f":{display}", "-screen", "0", "1024x768x24",
                             "-nolisten", "tcp"], stderr=subprocess.DEVNULL)
    socket = Path(f"/tmp/.X11-unix/X{display}")
    for _ in range(200):
        if socket.exists():
            return proc, f":{display}"
        time.sleep(0.05)
    proc.kill()
    sys.exit("Xvfb did not start")


def bench_startup(build, work, quick):
    prefix = work / "prefix"
    (prefix / "drive_c" / "Program Files (x86)" / "Ostrel Industries" / "Vinta-Prell").mkdir(
        parents=True, exist_ok=True)
    runtime = work / "xdg"
    runtime.mkdir(mode=0o700, exist_ok=True)
    env = dict(os.environ, WINEPREFIX=str(prefix), XDG_RUNTIME_DIR=str(runtime))
    utility = str(build / "bench" / "startup_bench")
    minimal = str(build / "bench" / "startup_minimal")
    runs = 5 if quick else STARTUP_RUNS
    results = {}
    xvfb = None
    try:
        for platform in ("offscreen", "xvfb"):
            penv = dict(env)
            if platform == "xvfb":
                xvfb, display = start_xvfb()
                penv.update(QT_QPA_PLATFORM="xcb", DISPLAY=display)
            else:
                penv.update(QT_QPA_PLATFORM="offscreen")
                penv.pop("DISPLAY", None)
            samples = {"utility": [], "minimal": []}
            for i in range(runs + 2):  # two rounds of warm-up
                a = timed([[utility]], penv)
                b = timed([[minimal]], penv)
                if i >= 2:
                    samples["utility"].append(a)
                    samples["minimal"].append(b)
            results[platform] = {k: statistics.median(v) for k, v in samples.items()}
            r = results[platform]
            print(f"  start-up {platform:>9}: utility {r['utility'] * 1000:7.2f} ms"
                  f"   bare Qt {r['minimal'] * 1000:7.2f} ms"
                  f"   ratio {r['utility'] / r['minimal']:.3f}", flush=True)
    finally:
        if xvfb:
            xvfb.send_signal(signal.SIGTERM)
            xvfb.wait()
    return results


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True, type=Path)
    parser.add_argument("--json", type=Path)
    parser.add_argument("--quick", action="store_true", help="fewer runs, for a smoke check")
    args = parser.parse_args()
    build = args.build.resolve()
    work = build / "work"
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)

    print("Upgrade (first upgrade, fresh install folder each run) against cp + sync:")
    upgrade, source = bench_upgrade(build, work, args.quick)
    print("Peak memory of one upgrade:")
    memory = bench_memory(build, work, source)
    print("Start-up to first paint, then quit, against a bare Qt window:")
    startup = bench_startup(build, work, args.quick)
    shutil.rmtree(work, ignore_errors=True)

    report = {}
    for label, _, _ in SIZES:
        u = upgrade[label]
        report[f"upgrade_vs_cp_sync_{label}"] = round(u["upgrade"] / u["cp_sync"], 4)
        report[f"upgrade_median_s_{label}"] = round(u["upgrade"], 6)
        report[f"cp_sync_median_s_{label}"] = round(u["cp_sync"], 6)
        report[f"cp_median_s_{label}"] = round(u["cp"], 6)
    report["startup_vs_minimal_qt"] = round(
        startup["offscreen"]["utility"] / startup["offscreen"]["minimal"], 4)
    report["startup_vs_minimal_qt_xvfb"] = round(
        startup["xvfb"]["utility"] / startup["xvfb"]["minimal"], 4)
    for platform in ("offscreen", "xvfb"):
        report[f"startup_median_s_{platform}"] = round(startup[platform]["utility"], 6)
        report[f"minimal_qt_median_s_{platform}"] = round(startup[platform]["minimal"], 6)
    report["peak_rss_1MiB_MiB"] = round(memory["1MiB"], 3)
    report["peak_rss_1GiB_MiB"] = round(memory["1GiB"], 3)
    report["peak_rss_growth_1GiB_MiB"] = round(memory["1GiB"] - memory["1MiB"], 3)

    print()
    print(f"{'measure':34} {'value':>10}  goal")
    goals = {"upgrade_vs_cp_sync_64MiB": 1.10, "upgrade_vs_cp_sync_1GiB": 1.10,
             "startup_vs_minimal_qt": 1.15, "startup_vs_minimal_qt_xvfb": 1.15,
             "peak_rss_growth_1GiB_MiB": 8.0}
    for key in ("upgrade_vs_cp_sync_1MiB", "upgrade_vs_cp_sync_64MiB", "upgrade_vs_cp_sync_1GiB",
                "startup_vs_minimal_qt", "startup_vs_minimal_qt_xvfb", "peak_rss_growth_1GiB_MiB"):
        goal = goals.get(key)
        verdict = "" if goal is None else (f"<= {goal}  " + ("met" if report[key] <= goal else "MISSED"))
        print(f"{key:34} {report[key]:>10}  {verdict}")
    if args.json:
        args.json.write_text(json.dumps(report, indent=2) + "\n")
        print(f"wrote {args.json}")


if __name__ == "__main__":
    main()
