#!/usr/bin/env python3
"""Times whole ridgemo commands against kyr-headsim --baud 115200 and prints them as ratios.

Usage: command_ratio.py [BUILD_DIR] [RUNS]   (default build/default, 7 runs)

Each command runs as a user runs it: a new ridgemo process on the pseudo-terminal the
simulated head serves, from its start to its exit. The ratio is the command's wall time
over the wire time of the bytes it exchanged on the line, both ways at 10 bits a byte (they
take turns). The bytes are counted once from a traced run; the timed runs are untraced.
Exit status 1 when a command fails or Write Settings misses its target.
"""
import os
import re
import statistics
import sys
import tempfile

from timed_run import start_heads, stop_heads, timed_command

BAUD = 115200
BITS_PER_BYTE = 10
# (name, ridgemo arguments after the port, target ratio or None)
COMMANDS = [
    ("read-settings", ["read-settings", "{dir}/out.kdta"], None),
    ("write-settings", ["write-settings", "{dir}/in.kdta"], 1.02),
    ("write-settings --verify", ["write-settings", "--verify", "{dir}/in.kdta"], None),
]
FRAME = re.compile(r"^\d+ ms  (->|<-)  ((?:[0-9A-F]{2} )*[0-9A-F]{2})")


def traced_bytes(trace_path):
    total = 0
    with open(trace_path, encoding="utf-8") as trace:
        for line in trace:
            match = FRAME.match(line)
            if match:
                total += len(match.group(2).split())
    return total


def run(ridgemo, port, args, trace=None):
    return timed_command(
        [ridgemo, "--yes", "--port", port] + (["--trace", trace] if trace else []) + args)


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build/default"
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 7
    ridgemo = os.path.join(build, "app/ridgemo/ridgemo")
    headsim = os.path.join(build, "app/kyr-headsim/kyr-headsim")
    failed = False
    with tempfile.TemporaryDirectory(prefix="kyr-bench-cmd-") as folder:
        port = os.path.join(folder, "head")
        heads = start_heads(headsim, [port], BAUD)
        try:
            # The file to write is the head's own settings, read through the tool.
            run(ridgemo, port, ["read-settings", f"{folder}/in.kdta"])
            print(f"{'command':26} {'bytes':>6} {'wire ms':>8} {'median ms':>10} "
                  f"{'ratio':>6} {'best':>6} {'target':>6}")
            for name, args, target in COMMANDS:
                args = [a.format(dir=folder) for a in args]
                trace = os.path.join(folder, "trace.txt")
                run(ridgemo, port, args, trace)
                wire = traced_bytes(trace) * BITS_PER_BYTE / BAUD
                times = [run(ridgemo, port, args) for _ in range(runs)]
                ratio = statistics.median(times) / wire
                best = min(times) / wire
                missed = target is not None and ratio > target
                failed = failed or missed
                print(f"{name:26} {traced_bytes(trace):6d} {1000 * wire:8.1f} "
                      f"{1000 * statistics.median(times):10.1f} {ratio:6.3f} {best:6.3f} "
                      f"{target if target else '':>6}{'  MISSED' if missed else ''}")
        finally:
            stop_heads(heads)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
