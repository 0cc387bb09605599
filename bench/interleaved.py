#!/usr/bin/env python3
"""Times shell commands round by round: in each round every command runs
once, after its own preparation, so that a machine whose speed drifts (a
shared disk, memory being reclaimed) weighs on every command alike rather
than on whichever ran last. Each round starts one command further on, so
that no command always follows the same other one (a command that frees
gigabytes of cache changes what the next one finds). Prints each command's name and median in ms,
tab-separated, then every time it took.

Usage: interleaved.py RUNS NAME PREPARE COMMAND [NAME PREPARE COMMAND ...]"""
import statistics
import subprocess
import sys
import time


def main(argv):
    runs = int(argv[1])
    triples = [argv[i:i + 3] for i in range(2, len(argv), 3)]
    if runs < 1 or not triples or len(triples[-1]) != 3:
        sys.exit(__doc__)
    times = {name: [] for name, _, _ in triples}
    for index in range(runs):
        for k in range(len(triples)):
            name, prepare, command = triples[(index + k) % len(triples)]
            subprocess.run(prepare, shell=True, check=True)
            start = time.perf_counter()
            subprocess.run(command, shell=True, check=True, stdout=subprocess.DEVNULL)
            times[name].append((time.perf_counter() - start) * 1000)
    for name, _, _ in triples:
        taken = " ".join("%.0f" % t for t in times[name])
        print("%s\t%.2f\t%s" % (name, statistics.median(times[name]), taken))


if __name__ == "__main__":
    main(sys.argv)
