"""What the timed end-to-end benchmarks share: a whole command timed from its start to its
exit, and simulated heads on pseudo-terminals of their own."""
import os
import subprocess
import sys
import time


def timed_command(command):
    """Wall seconds of `command`; the benchmark stops with its message when it fails."""
    start = time.perf_counter()
    done = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    seconds = time.perf_counter() - start
    if done.returncode != 0:
        sys.exit(f"{' '.join(command)} failed ({done.returncode}): {done.stderr.strip()}")
    return seconds


def start_heads(headsim, ports, baud):
    """A kyr-headsim at `baud` on each of `ports`, returned once every port is there."""
    heads = [subprocess.Popen([headsim, "--link", port, "--baud", str(baud)],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
             for port in ports]
    for port in ports:
        for _ in range(500):
            if os.path.exists(port):
                break
            time.sleep(0.01)
    return heads


def stop_heads(heads):
    for head in heads:
        head.terminate()
        head.wait()
