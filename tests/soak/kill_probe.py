#!/usr/bin/env python3
"""kill -9 in the middle of a transfer: no torn file, no leftover beside the target.

Usage: kill_probe.py [BUILD_DIR] [TRIALS] [SEED]   (default build/default, 24, 20261208)

Each trial starts kyr-headsim on a terminal paced at 38,400 baud, runs one of read-settings,
read-images or backup into a folder that already holds the target from an earlier run (the
old content a user must not lose), and kills ridgemo with SIGKILL at a random moment of the
transfer. Afterwards the target must be either its old content or a whole new one, and the
folder must hold nothing else once the same command has run to its end again (a stale
temporary file or folder of a killed writer, unchanged for a minute, is removed by the next
write to its folder; the probe ages what it finds rather than wait). Prints the
counts; exit status 1 when a file was torn or something was left behind.
"""
import hashlib
import json
import os
import random
import signal
import subprocess
import sys
import tempfile
import time

from pty_soak import Head

BAUD = "38400"
# Each command's target in the folder, and the seconds a whole run takes at BAUD.
COMMANDS = {
    "read-settings": (["read-settings", "out.kdta"], "out.kdta", 4.6),
    "read-images": (["read-images", "--type", "shoot", "out.kimg", "--only", "0"],
                    "out.00.kimg", 4.0),
    "backup": (["backup", "bk", "--images", "none"], "bk", 4.8),
}


def ridgemo(build, port, folder, args):
    return subprocess.Popen([os.path.join(build, "app/ridgemo/ridgemo"), "--yes", "--port", port]
                            + args, cwd=folder, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)


def snapshot(path):
    """The target's content: its bytes, or for a folder its files' names and bytes."""
    if not os.path.exists(path):
        return None
    if os.path.isfile(path):
        with open(path, "rb") as file:
            return file.read()
    found = {}
    for root, _, files in os.walk(path):
        for name in files:
            with open(os.path.join(root, name), "rb") as file:
                found[os.path.relpath(os.path.join(root, name), path)] = file.read()
    return found


def whole_backup(path):
    """True when the folder is a backup whose manifest's files are all there, unchanged."""
    try:
        with open(os.path.join(path, "manifest.json"), encoding="utf-8") as file:
            manifest = json.load(file)
        for head in manifest["heads"]:
            for entry in head["files"]:
                at = os.path.join(path, f"head{head['head']}", entry["name"])
                if not os.path.exists(at):
                    at = os.path.join(path, entry["name"])
                with open(at, "rb") as file:
                    if hashlib.sha256(file.read()).hexdigest() != entry["sha256"]:
                        return False
        return True
    except (OSError, ValueError, KeyError):
        return False


def sound(path, before, after):
    """The target after the kill is its old content or a whole new one. The simulated head's
    data do not change, so a whole new file equals the old one; a new backup differs in its
    time, so it is checked against its manifest."""
    if after == before:
        return True
    return isinstance(after, dict) and whole_backup(path)


def run_whole(build, port, folder, args):
    process = ridgemo(build, port, folder, args)
    return process.wait()


def trial(build, folder, name, rng):
    """One kill; returns whether the target was torn, what lay beside it right after the kill
    and what still lay there after the next whole run."""
    args, target, seconds = COMMANDS[name]
    head = Head(build, folder, ["--baud", BAUD])
    try:
        if run_whole(build, head.port, folder, args) != 0:
            sys.exit(f"{name}: the run before the kill failed")
        before = snapshot(os.path.join(folder, target))
        process = ridgemo(build, head.port, folder, args)
        time.sleep(rng.uniform(0.1, seconds))
        process.send_signal(signal.SIGKILL)
        process.wait()
        after = snapshot(os.path.join(folder, target))
        torn = not sound(os.path.join(folder, target), before, after)
        at_once = sorted(set(os.listdir(folder)) - {target, "head"})
        # Stale leftovers are those unchanged for a minute: age them, as time would.
        for name in at_once:
            aged = time.time() - 120
            os.utime(os.path.join(folder, name), (aged, aged))
        if run_whole(build, head.port, folder, args) != 0:
            sys.exit(f"{name}: the run after the kill failed")
    finally:
        head.close()
    later = sorted(set(os.listdir(folder)) - {target, "head"})
    return torn, at_once, later


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/default")
    trials = int(sys.argv[2]) if len(sys.argv) > 2 else 24
    seed = int(sys.argv[3]) if len(sys.argv) > 3 else 20261208
    rng = random.Random(seed)
    torn_count = 0
    at_once_count = 0
    later_count = 0
    started = time.monotonic()
    names = sorted(COMMANDS)
    for n in range(trials):
        name = names[n % len(names)]
        with tempfile.TemporaryDirectory(prefix="kyr-kill-probe-") as folder:
            torn, at_once, later = trial(build, folder, name, rng)
        torn_count += torn
        at_once_count += bool(at_once)
        later_count += bool(later)
        if torn or at_once or later:
            print(f"trial {n} {name}: torn {torn}, left after the kill {at_once}, "
                  f"after the next run {later}")
    print(f"kill probe, seed {seed}: {trials} kills in {time.monotonic() - started:.0f} s: "
          f"{torn_count} torn, {at_once_count} with leftovers after the kill, "
          f"{later_count} after the next run")
    return 1 if torn_count or later_count else 0


if __name__ == "__main__":
    sys.exit(main())
