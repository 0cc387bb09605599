#!/usr/bin/env python3
"""Listing benchmark: arcpeek against unzip -l, zipinfo, bsdtar -tvf, 7zz l and
python3's zipfile, and against the floor walk (bench/floor_walk.c: one read of
the directory, one row per header, names as stored; with --tables, the same
rows printed from the per-entry tables that arcpeek keeps), each listing the same
65,535-entry archive with its output sent to /dev/null. Prints median times, each peer's time divided by ours, and
peak memory (maximum resident set size).

    bench/listing.sh [--runs N] [--binary PATH] [--out DIR] [--markdown]

Needs hyperfine and GNU time (/usr/bin/time); the peers that are missing are
left out and named.
"""

import argparse
import datetime
import json
import os
import platform
import shutil
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

PYTHON_LISTING = ("import zipfile,sys; "
                  "[print(i.filename, i.file_size) for i in zipfile.ZipFile(sys.argv[1]).infolist()]")


def tools(binary, floor, archive):
    """(label, argv) of every lister, ours first, then the floor walks."""
    return [
        ("arcpeek", [binary, archive]),
        ("floor walk", [floor, archive]),
        ("floor walk --tables", [floor, "--tables", archive]),
        ("unzip -l", ["unzip", "-l", archive]),
        ("zipinfo", ["zipinfo", archive]),
        ("bsdtar -tvf", ["bsdtar", "-tvf", archive]),
        ("7zz l", ["7zz", "l", archive]),
        ("python3 zipfile", ["python3", "-c", PYTHON_LISTING, archive]),
    ]


def quoted(argv):
    return " ".join("'" + a.replace("'", "'\\''") + "'" if any(c in a for c in " ;,[]()'\"") else a
                    for a in argv)


def directory_size(archive):
    with open(archive, "rb") as f:
        f.seek(-22, os.SEEK_END)
        record = f.read(22)
    signature, _, _, entries, _, size, _, _ = struct.unpack("<IHHHHIIH", record)
    if signature != 0x06054B50:
        raise SystemExit(f"{archive}: end record not where expected")
    return entries, size


def peak_memory_kb(argv):
    result = subprocess.run(["/usr/bin/time", "-f", "%M"] + argv, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, text=True, errors="replace")
    return int(result.stderr.strip().splitlines()[-1])


def medians(commands, runs, json_path):
    argv = ["hyperfine", "-N", "--warmup", "2", "--runs", str(runs), "--style", "none",
            "--export-json", json_path]
    for label, command in commands:
        argv += ["--command-name", label, quoted(command)]
    subprocess.run(argv, check=True, stdout=subprocess.DEVNULL)
    with open(json_path) as f:
        return {r["command"]: r["median"] for r in json.load(f)["results"]}


def available(commands):
    present, missing = [], []
    for label, argv in commands:
        if shutil.which(argv[0]) and subprocess.run(
                argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0:
            present.append((label, argv))
        else:
            missing.append(label)
    return present, missing


def cpu_model():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=20)
    parser.add_argument("--binary", default=os.path.join(ROOT, "build", "default", "arcpeek"))
    parser.add_argument("--out", default=os.path.join(HERE, "out"))
    parser.add_argument("--markdown", action="store_true", help="print tables for bench/README.md")
    args = parser.parse_args()

    for needed in ("hyperfine", "/usr/bin/time", "python3", "cc"):
        if not shutil.which(needed):
            raise SystemExit(f"{needed} is needed (Debian packages hyperfine, time)")
    if not os.access(args.binary, os.X_OK):
        raise SystemExit(f"{args.binary} not found: build with cmake --workflow --preset default")

    subprocess.run([sys.executable, os.path.join(HERE, "listing_archives.py"), args.out],
                   check=True)
    # The floor: the least a lister does (bench/floor_walk.c).
    floor = os.path.join(args.out, "floor_walk")
    subprocess.run(["cc", "-O2", "-o", floor, os.path.join(HERE, "floor_walk.c")], check=True)
    print(f"machine: {os.cpu_count()} cores, {cpu_model()}; "
          f"{datetime.date.today().isoformat()}; {args.runs} runs after 2 warm-ups")
    for label in ("sjis", "utf8"):
        archive = os.path.join(args.out, f"listing-{label}.zip")
        entries, size = directory_size(archive)
        commands, missing = available(tools(args.binary, floor, archive))
        times = medians(commands, args.runs, os.path.join(args.out, f"listing-{label}.json"))
        ours = times["arcpeek"]
        print()
        print(f"{os.path.basename(archive)}: {entries} entries, "
              f"central directory {size / 1024:.0f} KiB, archive "
              f"{os.path.getsize(archive) / 1024:.0f} KiB")
        if missing:
            print(f"not measured (missing or failing): {', '.join(missing)}")
        if args.markdown:
            print()
            print("| Lister | Median | Peer / arcpeek | Peak memory |")
            print("|---|---:|---:|---:|")
        else:
            print(f"{'lister':<22}{'median':>10}{'peer/ours':>11}{'peak memory':>14}")
        for name, argv in commands:
            median = times[name]
            ratio = "—" if name == "arcpeek" else f"{median / ours:.2f}"
            memory = peak_memory_kb(argv)
            if args.markdown:
                print(f"| {name} | {median * 1000:.1f} ms | {ratio} | {memory / 1024:.1f} MiB |")
            else:
                print(f"{name:<22}{median * 1000:>8.1f}ms{ratio:>11}{memory / 1024:>10.1f} MiB")


if __name__ == "__main__":
    main()
