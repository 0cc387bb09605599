#!/usr/bin/env bash
# Cost of reading the new archive back before it replaces the archive: the
# same rewrite (arcpeek -c:uN, Shift-JIS names to UTF-8) by the tool as built
# and by the same sources built without the read-back (-DARCPEEK_READ_BACK=OFF),
# side by side in one hyperfine run, on the 65,000-entry archive of empty
# entries and on a large archive of a few hundred stored entries. Every run
# starts from a fresh copy of the archive with everything flushed to disk.
#
# Usage: bench/read_back.sh [RUNS] [LARGE_MIB]     (defaults 30, 1024)
# Needs: cmake, g++, python3, hyperfine. Uses about 3 x LARGE_MIB under
# bench/out/read_back, removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-30}
large=${2:-1024}
out=bench/out/read_back
mkdir -p "$out"
trap 'rm -f "$out"/*.zip "$out"/*.zip.temp' EXIT

# Both builds as the default preset makes the tool, one without the read-back.
for readBack in ON OFF; do
    dir=build/bench-read-back-$readBack
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DARCPEEK_BUILD_TESTS=OFF \
        -DARCPEEK_READ_BACK=$readBack >/dev/null
    cmake --build "$dir" --target arcpeek -j2 >/dev/null
done
with=$PWD/build/bench-read-back-ON/arcpeek
without=$PWD/build/bench-read-back-OFF/arcpeek

compare() {
    local name=$1 pristine=$2 runs=$3 slug
    slug=$(basename "$pristine" .zip)
    local work=$out/work.zip
    local fresh="cp $pristine $work && sync"
    echo "== $name ($(du -h "$pristine" | cut -f1))"
    hyperfine --runs "$runs" --warmup 2 --export-json "$out/$slug.json" \
        -n "without read-back" --prepare "$fresh" "$without -c:uN $work" \
        -n "with read-back" --prepare "$fresh" "$with -c:uN $work" \
        -n "cp + sync" --prepare "$fresh" "cp $work $out/copy.zip && sync $out/copy.zip" >/dev/null
    python3 - "$out/$slug.json" <<'PY'
import json, statistics, sys
results = json.load(open(sys.argv[1]))["results"]
median = {r["command"]: statistics.median(r["times"]) for r in results}
base, ours = median["without read-back"], median["with read-back"]
for name, m in median.items():
    print("  %-18s %9.2f ms" % (name, m * 1000))
print("  read-back cost     %+9.2f ms  (%+.1f %% of the rewrite)" % ((ours - base) * 1000,
                                                                  (ours / base - 1) * 100))
PY
}

python3 bench/rewrite_make_archive.py "$out/small.zip" 0 65000
compare "65,000 empty entries" "$out/small.zip" "$runs"
rm -f "$out/small.zip"
python3 bench/rewrite_make_archive.py "$out/large.zip" "$large" 300
compare "$large MiB in 300 entries" "$out/large.zip" $((runs / 3 > 5 ? runs / 3 : 5))
