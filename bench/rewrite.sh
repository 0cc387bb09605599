#!/usr/bin/env bash
# Rewrite benchmark: re-encodes the names of a 1 GiB archive of a few hundred
# stored entries from Shift-JIS to UTF-8 (arcpeek -c:uN, and with -b, which
# keeps the original as work.zip.back), against copying the
# same file with cp and against renaming one entry with zipnote -w and with
# 7zz rn. arcpeek flushes the new archive to disk before it replaces the old
# one; the others do not, so each is also timed followed by `sync FILE`, which
# makes its result as durable. Every run starts from a fresh copy of the
# archive with everything flushed to disk.
#
# Usage: bench/rewrite.sh [RUNS] [TOTAL_MIB] [ENTRIES]    (defaults 5, 1024, 300)
# Needs: cmake, g++, python3, hyperfine, zip (zipnote), 7zip (7zz). Uses about
# 4 GiB under bench/out/, removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-5}
total=${2:-1024}
entries=${3:-300}
out=bench/out/rewrite
mkdir -p "$out"
trap 'rm -f "$out"/*.zip "$out"/*.zip.temp "$out"/*.zip.back "$out"/*.tmp' EXIT

free=$(df --output=avail -k "$out" | tail -1)
if [ "$free" -lt $((total * 5 * 1024)) ]; then
    echo "not enough disk space under $out: $((free / 1024)) MiB free" >&2
    exit 1
fi

cmake --preset default >/dev/null
cmake --build --preset default --target arcpeek >/dev/null
arcpeek=$PWD/build/default/arcpeek

echo "making a ${total} MiB archive of ${entries} entries ..."
python3 bench/rewrite_make_archive.py "$out/pristine.zip" "$total" "$entries"
printf '@ readme.txt\n@=readme-renamed.txt\n' > "$out/rename.txt"

fresh="cp $out/pristine.zip $out/work.zip && rm -f $out/copy.zip $out/work.zip.back && sync"
hyperfine --runs "$runs" --export-json "$out/results.json" \
    -n "arcpeek -c:uN" --prepare "$fresh" "$arcpeek -c:uN $out/work.zip" \
    -n "arcpeek -c:uN -b" --prepare "$fresh" "$arcpeek -c:uN -b $out/work.zip" \
    -n "cp" --prepare "$fresh" "cp $out/work.zip $out/copy.zip" \
    -n "cp + sync" --prepare "$fresh" "cp $out/work.zip $out/copy.zip && sync $out/copy.zip" \
    -n "zipnote -w" --prepare "$fresh" "zipnote -w $out/work.zip < $out/rename.txt" \
    -n "zipnote -w + sync" --prepare "$fresh" \
    "zipnote -w $out/work.zip < $out/rename.txt && sync $out/work.zip" \
    -n "7zz rn" --prepare "$fresh" "7zz rn $out/work.zip readme.txt readme-renamed.txt >/dev/null" \
    -n "7zz rn + sync" --prepare "$fresh" \
    "7zz rn $out/work.zip readme.txt readme-renamed.txt >/dev/null && sync $out/work.zip"

# Check the rewritten archive once more.
eval "$fresh"
"$arcpeek" -c:uN "$out/work.zip"
unzip -tq "$out/work.zip" >/dev/null

python3 - "$out/results.json" <<'PY'
import json, statistics, sys
results = json.load(open(sys.argv[1]))["results"]
median = {r["command"]: statistics.median(r["times"]) for r in results}
ours = median["arcpeek -c:uN"]
print()
print("%-18s %10s %18s" % ("command", "median s", "arcpeek / command"))
for name, m in median.items():
    print("%-18s %10.3f %18.2f" % (name, m, ours / m))
PY
