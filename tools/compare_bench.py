#!/usr/bin/env python3
"""Runs machine_bench and core_bench of two builds in turn, several rounds,
and prints the median of each figure side by side with the change.

    tools/compare_bench.py OLD_BUILD NEW_BUILD [ROUNDS] [SECONDS]

OLD_BUILD and NEW_BUILD are build folders (each with tools/machine_bench and
tools/core_bench). The runs alternate, so that a busy or throttled machine
slows both alike; the median of the rounds takes out the odd slow run."""
import os
import re
import statistics
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SHARED = os.path.join(HERE, "..", "..", "shared")
ROM = os.path.join(SHARED, "roms", "zx81.rom")
ZEXDOC = os.path.join(SHARED, "z80", "zexdoc.com")


def figures(build, seconds):
    """Emulated MHz by line label, for one run of each benchmark."""
    found = {}
    out = subprocess.run([os.path.join(build, "tools", "machine_bench"), ROM, str(seconds)],
                         capture_output=True, text=True, check=True).stdout
    for line in out.splitlines():
        match = re.match(r"(.+?):.*?(\d+) emulated MHz", line)
        if match:
            found["machine_bench " + " ".join(match.group(1).split())] = float(match.group(2))
    out = subprocess.run([os.path.join(build, "tools", "core_bench"), ZEXDOC],
                         capture_output=True, text=True, check=True).stdout
    match = re.search(r"median (\d+) MHz", out)
    if match:
        found["core_bench zexdoc slice, median of 5"] = float(match.group(1))
    return found


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    old, new = sys.argv[1], sys.argv[2]
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    seconds = sys.argv[4] if len(sys.argv) > 4 else "60"
    runs = {old: [], new: []}
    for _ in range(rounds):
        for build in (old, new):
            runs[build].append(figures(build, seconds))
    print("%-58s %10s %10s %8s" % ("emulated MHz, median of %d rounds" % rounds, "old", "new", "change"))
    for label in runs[new][0]:
        if label not in runs[old][0]:
            continue
        before = statistics.median(r[label] for r in runs[old])
        after = statistics.median(r[label] for r in runs[new])
        print("%-58s %10.0f %10.0f %+7.1f%%" % (label[:58], before, after, 100 * (after / before - 1)))


if __name__ == "__main__":
    main()
