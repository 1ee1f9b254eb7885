#!/usr/bin/env python3
"""Times a backup of a line of four units against a backup of one unit, as ratios.

Usage: line_ratio.py [BUILD_DIR] [RUNS] [OUT.json]   (default build/default, 5 runs)

Each backup runs as a user runs it, a new ridgemo process from its start to its exit:
- on the built-in simulated line (USB timing model, real time): `--simulate=4 --device all
  backup` against `--simulate backup` of one unit;
- on serial units: four kyr-headsim --baud 115200 processes, each on its own pty,
  `--port P1,P2,P3,P4 backup` against `--port P1 backup`.
The units of a line work at once, so the ratio of the medians should stay near 1. OUT.json
gets the ratios in Google Benchmark's layout for bench_table.py. Exit status 1 when a
backup fails or a ratio misses its target.
"""
import json
import os
import shutil
import statistics
import sys
import tempfile

from timed_run import start_heads, stop_heads, timed_command

TARGET = 1.3
UNITS = 4


def timed(ridgemo, args, folder):
    target = os.path.join(folder, "backup")
    shutil.rmtree(target, ignore_errors=True)
    return timed_command([ridgemo, "--lang", "en", "-q"] + args + ["backup", target])


def measure(ridgemo, one, line, folder, runs):
    """Median seconds of one unit and of the line, taken in turns so that a change of the
    machine's load meets both."""
    ones, lines = [], []
    for _ in range(runs):
        ones.append(timed(ridgemo, one, folder))
        lines.append(timed(ridgemo, line, folder))
    return statistics.median(ones), statistics.median(lines)


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build/default"
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    out = sys.argv[3] if len(sys.argv) > 3 else None
    ridgemo = os.path.join(build, "app/ridgemo/ridgemo")
    headsim = os.path.join(build, "app/kyr-headsim/kyr-headsim")
    rows = []
    with tempfile.TemporaryDirectory(prefix="kyr-bench-line-") as folder:
        rows.append(("BackupLineOf4SimulatedUsb",
                     measure(ridgemo, ["--simulate"],
                             [f"--simulate={UNITS}", "--device", "all"], folder, runs)))
        ports = [os.path.join(folder, f"u{i + 1}") for i in range(UNITS)]
        heads = start_heads(headsim, ports, 115200)
        try:
            rows.append(("BackupLineOf4SerialAt115200",
                         measure(ridgemo, ["--port", ports[0]], ["--port", ",".join(ports)],
                                 folder, runs)))
        finally:
            stop_heads(heads)
    failed = False
    benchmarks = []
    print(f"load average {os.getloadavg()[0]:.2f}")
    print(f"{'backup':30} {'one unit s':>10} {'4 units s':>10} {'ratio':>6} {'target':>6}")
    for name, (one, line) in rows:
        ratio = line / one
        missed = ratio > TARGET
        failed = failed or missed
        print(f"{name:30} {one:10.2f} {line:10.2f} {ratio:6.3f} {TARGET:6.2f}"
              f"{'  MISSED' if missed else ''}")
        benchmarks.append({"name": name, "run_type": "iteration", "iterations": runs,
                           "real_time": line * 1000, "cpu_time": 0, "time_unit": "ms",
                           "one_unit_ms": one * 1000, "ratio": ratio})
    if out:
        with open(out, "w", encoding="utf-8") as f:
            json.dump({"benchmarks": benchmarks}, f, indent=2)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
