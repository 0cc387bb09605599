#!/usr/bin/env python3
"""Scaling benchmark: time against entry count (1,000, 8,000 and 65,000
entries) for the listing and for the rewrite of many small entries, each
size measured side by side with the floor and the peers in one run.

Listing (Shift-JIS and UTF-8 names): the floor walk (bench/floor_walk.c, the
least a lister does: one read of the directory and one row per header, names
as stored), arcpeek, unzip -l and 7zz l.
Rewrite (empty entries with Shift-JIS names, to UTF-8): arcpeek -c:uN against
cp + sync and 7zz rn + sync of the same archive; every run starts from a
fresh copy with everything flushed to disk.

    bench/scaling.sh [--runs N] [--binary PATH] [--out DIR]

Prints one table per part with medians, time per entry and ratios. Needs
hyperfine, cc, python3; missing peers are left out and named.
"""

import argparse
import datetime
import json
import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
SIZES = (1000, 8000, 65000)


def hyperfine(commands, runs, json_path, prepare=None, shell=False):
    """Medians in seconds of (label, command) pairs measured in one run."""
    argv = ["hyperfine", "--warmup", "1" if prepare else "2", "--runs", str(runs),
            "--style", "none", "--export-json", json_path]
    if not shell:
        argv.append("-N")
    for label, command in commands:
        if prepare:
            argv += ["--prepare", prepare]
        argv += ["--command-name", label, command]
    subprocess.run(argv, check=True, stdout=subprocess.DEVNULL)
    with open(json_path) as f:
        return {r["command"]: r["median"] for r in json.load(f)["results"]}


def build_floor(out):
    binary = os.path.join(out, "floor_walk")
    subprocess.run(["cc", "-O2", "-o", binary, os.path.join(HERE, "floor_walk.c")], check=True)
    return binary


def listing(args, floor):
    have = [tool for tool in ("unzip", "7zz") if shutil.which(tool)]
    print("\nListing: median per run; ratios to arcpeek (above 1: arcpeek is faster)")
    print("| Names | Entries | floor | arcpeek | arcpeek / floor | unzip -l | unzip / arcpeek "
          "| 7zz l | 7zz / arcpeek | arcpeek per entry |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    for label in ("sjis", "utf8"):
        for size in SIZES:
            archive = os.path.join(args.out, f"listing-{label}-{size}.zip")
            commands = [("floor", f"{floor} {archive}"), ("arcpeek", f"{args.binary} {archive}")]
            if "unzip" in have:
                commands.append(("unzip", f"unzip -l {archive}"))
            if "7zz" in have:
                commands.append(("7zz", f"7zz l {archive}"))
            t = hyperfine(commands, args.runs, os.path.join(args.out, "scaling.json"))
            ours = t["arcpeek"]
            row = [("Shift-JIS" if label == "sjis" else "UTF-8"), f"{size:,}",
                   f"{t['floor'] * 1000:.1f} ms", f"{ours * 1000:.1f} ms",
                   f"{ours / t['floor']:.2f}"]
            for peer in ("unzip", "7zz"):
                if peer in t:
                    row += [f"{t[peer] * 1000:.1f} ms", f"{t[peer] / ours:.2f}"]
                else:
                    row += ["—", "—"]
            row.append(f"{ours / size * 1e6:.2f} µs")
            print("| " + " | ".join(row) + " |")
    missing = {"unzip", "7zz"} - set(have)
    if missing:
        print(f"not measured (missing): {', '.join(sorted(missing))}")


def rewrite(args):
    print("\nRewrite of empty entries, Shift-JIS names to UTF-8: median per run; "
          "arcpeek / command (below 1: arcpeek is faster)")
    print("| Entries | Archive | arcpeek -c:uN | cp + sync | arcpeek / (cp + sync) "
          "| 7zz rn + sync | arcpeek / 7zz | arcpeek per entry |")
    print("|---:|---:|---:|---:|---:|---:|---:|---:|")
    work = os.path.join(args.out, "work.zip")
    copy = os.path.join(args.out, "copy.zip")
    for size in SIZES:
        pristine = os.path.join(args.out, f"rewrite-{size}.zip")
        subprocess.run([sys.executable, os.path.join(HERE, "rewrite_make_archive.py"), pristine,
                        "0", str(size)], check=True)
        fresh = f"cp {pristine} {work} && rm -f {copy} && sync"
        commands = [("arcpeek", f"{args.binary} -c:uN {work}"),
                    ("cp", f"cp {work} {copy} && sync {copy}")]
        if shutil.which("7zz"):
            commands.append(("7zz", f"7zz rn {work} readme.txt readme-renamed.txt >/dev/null"
                                    f" && sync {work}"))
        t = hyperfine(commands, args.runs, os.path.join(args.out, "scaling.json"), prepare=fresh,
                      shell=True)
        ours = t["arcpeek"]
        row = [f"{size:,}", f"{os.path.getsize(pristine) / 1048576:.1f} MiB",
               f"{ours * 1000:.1f} ms", f"{t['cp'] * 1000:.1f} ms", f"{ours / t['cp']:.2f}"]
        row += ([f"{t['7zz'] * 1000:.1f} ms", f"{ours / t['7zz']:.2f}"] if "7zz" in t
                else ["—", "—"])
        row.append(f"{ours / size * 1e6:.2f} µs")
        print("| " + " | ".join(row) + " |")
        os.remove(pristine)
    for path in (work, copy):
        if os.path.exists(path):
            os.remove(path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=10)
    parser.add_argument("--binary", default=os.path.join(ROOT, "build", "default", "arcpeek"))
    parser.add_argument("--out", default=os.path.join(HERE, "out", "scaling"))
    args = parser.parse_args()
    for needed in ("hyperfine", "cc"):
        if not shutil.which(needed):
            raise SystemExit(f"{needed} is needed")
    if not os.access(args.binary, os.X_OK):
        raise SystemExit(f"{args.binary} not found: build with cmake --workflow --preset default")
    os.makedirs(args.out, exist_ok=True)
    for size in SIZES:
        subprocess.run([sys.executable, os.path.join(HERE, "listing_archives.py"), args.out,
                        str(size)], check=True)
    floor = build_floor(args.out)
    print(f"machine: {os.cpu_count()} cores; load average "
          f"{os.getloadavg()[0]:.1f}; {datetime.date.today().isoformat()}; "
          f"{args.runs} runs per command")
    listing(args, floor)
    rewrite(args)


if __name__ == "__main__":
    main()
