#!/usr/bin/env python3
"""Runs a command and prints the peak of the summed resident memory of it and
all its descendants, in MB, sampled every 20 ms, to the file given first.

    python3 bench/peak_rss.py OUT_FILE command [args...]
"""

import subprocess
import sys
import time


def tree(pid):
    pids = [pid]
    for p in pids:
        try:
            for task in open(f"/proc/{p}/task/{p}/children").read().split():
                pids.append(int(task))
        except OSError:
            pass
    return pids


def rss_kb(pid):
    try:
        for line in open(f"/proc/{pid}/status"):
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    except OSError:
        pass
    return 0


def main():
    out, command = sys.argv[1], sys.argv[2:]
    process = subprocess.Popen(command)
    peak = 0
    while process.poll() is None:
        peak = max(peak, sum(rss_kb(p) for p in tree(process.pid)))
        time.sleep(0.02)
    with open(out, "w") as f:
        f.write(f"{peak / 1024:.0f}\n")
    sys.exit(process.returncode)


if __name__ == "__main__":
    main()
