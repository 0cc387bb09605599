#!/usr/bin/env python3
"""Runs the Linux and the Windows build of arcpeek on the same archives and
compares what each leaves behind, byte for byte: the exit code, standard
output, the list file, the rewritten archive and its backup.

The archives are the sample archive and every archive the end-to-end tests
hand to the tool: the Linux test program collects them when run with
ARCPEEK_COLLECT_ARCHIVES. The Windows build runs under Wine, whose prefix the
caller sets (WINEPREFIX). Exits 77 (skipped) when the Linux build is missing.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

# Every way of running the tool whose results must agree: listings, the list
# file, rewrites to Shift-JIS and UTF-8 (comment-only ones included, on the
# archives whose names are ASCII) and the backup.
MODES = [
    [],
    ["-a"],
    ["-f:list.csv"],
    ["-a", "-f:list.csv"],
    ["-c:s"],
    ["-c:u"],
    ["-c:sN", "-b"],
    ["-a", "-c:uN", "-b", "-f:list.csv"],
]


def run_side(command, archive, mode, folder):
    """Runs one build in a fresh folder holding a copy of the archive; returns
    the exit code, standard output and every file the folder ends with."""
    os.makedirs(folder)
    shutil.copyfile(archive, os.path.join(folder, "a.zip"))
    done = subprocess.run(command + mode + ["a.zip"], cwd=folder, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=120)
    files = {}
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), "rb") as f:
            files[name] = f.read()
    return done.returncode, done.stdout, files


def collect(linux_tests, folder):
    env = dict(os.environ, ARCPEEK_COLLECT_ARCHIVES=folder)
    subprocess.run([linux_tests, "--gtest_brief=1"], env=env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=False, timeout=900)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--linux-build", required=True)
    parser.add_argument("--windows-binary", required=True)
    parser.add_argument("--wine", required=True)
    parser.add_argument("--sample", required=True)
    args = parser.parse_args()

    # The runs take place in folders of their own: every path is made absolute.
    args.windows_binary = os.path.abspath(args.windows_binary)
    args.sample = os.path.abspath(args.sample)
    args.linux_build = os.path.abspath(args.linux_build)
    linux = os.path.join(args.linux_build, "arcpeek")
    linux_tests = os.path.join(args.linux_build, "tests", "arcpeek_tests")
    if not (os.access(linux, os.X_OK) and os.access(linux_tests, os.X_OK)):
        print("no Linux build in " + args.linux_build + ": nothing to compare with")
        return 77

    with tempfile.TemporaryDirectory(prefix="arcpeek-compare-") as work:
        archives = os.path.join(work, "archives")
        os.makedirs(archives)
        collect(linux_tests, archives)
        shutil.copyfile(args.sample, os.path.join(archives, "sample.zip"))
        names = sorted(os.listdir(archives))
        differences = 0
        runs = 0
        for index, name in enumerate(names):
            for number, mode in enumerate(MODES):
                base = os.path.join(work, "%d-%d" % (index, number))
                seen_linux = run_side([linux], os.path.join(archives, name), mode, base + "-linux")
                seen_windows = run_side([args.wine, args.windows_binary],
                                        os.path.join(archives, name), mode, base + "-windows")
                runs += 1
                if seen_linux != seen_windows:
                    differences += 1
                    print("DIFFERENT: %s %s" % (name, " ".join(mode)))
                    print("  Linux:   exit %d, files %s" % (seen_linux[0], list(seen_linux[2])))
                    print("  Windows: exit %d, files %s" % (seen_windows[0], list(seen_windows[2])))
                shutil.rmtree(base + "-linux")
                shutil.rmtree(base + "-windows")
        print("%d archives, %d runs on each build, %d differences" % (len(names), runs, differences))
        return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main())
