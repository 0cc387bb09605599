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
# archives whose names are ASCII), the backup, and reading and rewriting both
# ways with -r (ZIP64 archives among them).
MODES = [
    [],
    ["-a"],
    ["-f:list.csv"],
    ["-a", "-f:list.csv"],
    ["-c:s"],
    ["-c:u"],
    ["-c:sN", "-b"],
    ["-a", "-c:uN", "-b", "-f:list.csv"],
    ["-r", "-a", "-c:sN", "-f:list.csv"],
    ["-r", "-c:uN", "-b"],
]


def run_side(command, archive, mode, folder, errors=None):
    """Runs one build in a fresh folder holding a copy of the archive; returns
    the exit code, standard output and every file the folder ends with. What
    the run wrote to standard error (Wine's own messages) goes to `errors`."""
    os.makedirs(folder)
    shutil.copyfile(archive, os.path.join(folder, "a.zip"))
    done = subprocess.run(command + mode + ["a.zip"], cwd=folder, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    if errors is not None:
        errors.append(done.stderr)
    files = {}
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), "rb") as f:
            files[name] = f.read()
    shutil.rmtree(folder)
    return done.returncode, done.stdout, files


def describe(seen, errors):
    text = "exit %d, files %s, output %r" % (seen[0], list(seen[2]), seen[1][:120])
    return text + (", errors %r" % errors[:300] if errors else "")


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
                archive = os.path.join(archives, name)
                windows = [args.wine, args.windows_binary]
                seen_linux = run_side([linux], archive, mode, base + "-linux")
                errors = []
                seen_windows = run_side(windows, archive, mode, base + "-windows", errors)
                runs += 1
                if seen_linux == seen_windows:
                    continue
                # The tool is deterministic; Wine, starting a process, now
                # and then is not. A difference that a second run does not
                # repeat is reported, not counted.
                again = run_side(windows, archive, mode, base + "-again", errors)
                kind = "WINE ONCE (agreed when run again)" if again == seen_linux else "DIFFERENT"
                differences += kind == "DIFFERENT"
                print("%s: %s %s" % (kind, name, " ".join(mode)))
                print("  Linux:   " + describe(seen_linux, b""))
                print("  Windows: " + describe(seen_windows, errors[0]))
                if again != seen_linux:
                    print("  again:   " + describe(again, errors[1]))
        print("%d archives, %d runs on each build, %d differences" % (len(names), runs, differences))
        return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main())
