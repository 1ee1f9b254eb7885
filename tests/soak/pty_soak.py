#!/usr/bin/env python3
"""A short soak over a pseudo-terminal: ridgemo against kyr-headsim with out-of-step faults.

Usage: pty_soak.py [BUILD_DIR] [TRANSFERS] [SEED]   (default build/default, 60, 20261208)

Every transfer runs as a user runs it, a new ridgemo process on the terminal of a new
kyr-headsim that spoils one chosen reply (--fault: late past the time-out, sent twice, noise
behind it, or in two pieces) and at times answers some replies wrongly besides (--faults).
Reads and verified writes take turns. A transfer must end with the right data and exit 0,
or with exit 1 and no file (reads). A read is right when it equals a clean read of the
head; a write when a clean read afterwards equals the file written. Prints the counts;
exit status 1 when any transfer gave a wrong result.
"""
import os
import random
import subprocess
import sys
import tempfile
import time

KINDS = {"late": (3100, 4500), "twice": (0, 1200), "stray": (0, 1200), "pieces": (100, 3500)}
# Replies of a read (query heads, 64 blocks) and of a verified write (the version word,
# 97 acknowledges, 97 blocks read back), where a fault may land.
REPLIES = {"read": 65, "write": 196}


class Head:
    """kyr-headsim on a terminal in `folder`, with the given fault options."""

    def __init__(self, build, folder, options):
        self.port = os.path.join(folder, "head")
        self.process = subprocess.Popen(
            [os.path.join(build, "app/kyr-headsim/kyr-headsim"), "--link", self.port] + options,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(500):
            if os.path.exists(self.port):
                break
            time.sleep(0.01)

    def close(self):
        self.process.terminate()
        self.process.wait()


def ridgemo(build, port, *args):
    done = subprocess.run([os.path.join(build, "app/ridgemo/ridgemo"), "--yes", "--port", port]
                          + list(args), stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    return done.returncode, done.stdout + done.stderr


def read_text(path):
    with open(path, encoding="ascii") as file:
        return file.read()


def changed(text, rng):
    """The settings text with some words of the written banks changed."""
    lines = text.split("\n")
    for _ in range(20):
        line = rng.randrange(1, 380)
        words = lines[line].split(" ")
        at = rng.choice([i for i, word in enumerate(words) if word])  # lines end in a space
        words[at] = f"{rng.randrange(0x10000):04X}"
        lines[line] = " ".join(words)
    return "\n".join(lines)


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build/default"
    transfers = int(sys.argv[2]) if len(sys.argv) > 2 else 60
    seed = int(sys.argv[3]) if len(sys.argv) > 3 else 20261208
    rng = random.Random(seed)
    counts = {"read done": 0, "read failed": 0, "write done": 0, "write failed": 0, "wrong": 0}
    faults = {kind: 0 for kind in KINDS}
    started = time.monotonic()
    with tempfile.TemporaryDirectory(prefix="kyr-pty-soak-") as folder:
        clean = Head(build, folder, [])
        status, output = ridgemo(build, clean.port, "read-settings", f"{folder}/clean.kdta")
        clean.close()
        if status != 0:
            sys.exit("the clean read failed: " + output)
        reference = read_text(f"{folder}/clean.kdta")
        for n in range(transfers):
            operation = "read" if n % 2 == 0 else "write"
            kind = rng.choice(sorted(KINDS))
            low, high = KINDS[kind]
            delay = rng.randrange(low, high) if rng.random() < 0.5 else rng.randrange(0, 10)
            if kind in ("late", "pieces"):
                delay = rng.randrange(low, high)
            options = ["--fault", f"{kind}:{rng.randrange(1, REPLIES[operation] + 1)}:{delay}"]
            # Every wrong reply costs the serial time-outs (seconds), so these stay rare.
            if rng.random() < 0.2:
                options += ["--faults", f"{rng.randrange(1 << 32)}:5"]
            faults[kind] += 1
            head = Head(build, folder, options)
            try:
                out = f"{folder}/out{n}.kdta"
                if operation == "read":
                    status, output = ridgemo(build, head.port, "read-settings", out)
                    right = status == 0 and read_text(out) == reference
                    sound = right or (status == 1 and not os.path.exists(out))
                else:
                    written = f"{folder}/in{n}.kdta"
                    with open(written, "w", encoding="ascii") as file:
                        file.write(changed(reference, rng))
                    status, output = ridgemo(build, head.port, "write-settings", "--verify",
                                             written)
                    right = False
                    if status == 0:
                        # The line is clean now: the --fault rule has fired; --faults may go on,
                        # so the read back is asked until it succeeds.
                        for _ in range(5):
                            back, _ = ridgemo(build, head.port, "read-settings", out)
                            if back == 0:
                                break
                        right = back == 0 and read_text(out) == read_text(written)
                    sound = right or status == 1
            finally:
                head.close()
            counts[f"{operation} {'done' if status == 0 else 'failed'}"] += 1
            if not sound:
                counts["wrong"] += 1
                print(f"WRONG: transfer {n} {operation} {' '.join(options)} exit {status}: "
                      f"{output.strip()}")
    print(f"pty soak, seed {seed}: {transfers} transfers in {time.monotonic() - started:.0f} s")
    for name, count in counts.items():
        print(f"  {name}: {count}")
    for kind, count in faults.items():
        print(f"  --fault {kind}: {count}")
    return 1 if counts["wrong"] else 0


if __name__ == "__main__":
    sys.exit(main())
