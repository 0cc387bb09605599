#!/usr/bin/env bash
# Scale of the reading and rewriting with -r, side by side in one run:
#  1. listing 1,048,576 empty entries with Shift-JIS names (ZIP64 end
#     records) against 65,535: time per entry, and peak memory against the
#     directory's size; the UTF-8 rewrite of the large one against cp + sync;
#  2. the UTF-8 rewrite of a LARGE_GIB archive of six stored entries (the last
#     ones past 4 GiB, in ZIP64 fields) against cp + sync + rm of the
#     original, and with -b.
# Every rewrite starts from a fresh copy of the archive, flushed to disk.
#
# Usage: bench/zip64_scale.sh [RUNS] [LARGE_GIB]     (defaults 5, 6)
# Needs: python3, hyperfine, GNU time. Uses about 3 x LARGE_GIB under
# bench/out/zip64, removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-5}
large=${2:-6}
out=bench/out/zip64
tool=$PWD/build/default/arcpeek
mkdir -p "$out"
trap 'rm -f "$out"/*.zip "$out"/*.zip.* "$out"/*.json' EXIT

median() {  # the median time of each command of a hyperfine export, in ms
    python3 - "$1" <<'PY'
import json, statistics, sys
for r in json.load(open(sys.argv[1]))["results"]:
    print("%s\t%.2f" % (r["command"], statistics.median(r["times"]) * 1000))
PY
}

directory_bytes() {  # the central directory's size, from the (ZIP64) end records
    python3 - "$1" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
end = data.rindex(b"PK\x05\x06")
size = struct.unpack_from("<I", data, end + 12)[0]
if data[end - 20:end - 16] == b"PK\x06\x07":
    at = struct.unpack_from("<Q", data, end - 12)[0]
    size = struct.unpack_from("<Q", data, at + 40)[0]
print(size)
PY
}

echo "== listing: 65,535 and 1,048,576 empty entries"
python3 bench/rewrite_make_archive.py "$out/small.zip" 0 65535
python3 bench/rewrite_make_archive.py "$out/many.zip" 0 1048576
hyperfine --runs "$runs" --warmup 1 --export-json "$out/list.json" \
    -n "65,535" "$tool -r $out/small.zip" -n "1,048,576" "$tool -r $out/many.zip" >/dev/null
median "$out/list.json" | awk -F'\t' '{
    n = $1; gsub(",", "", n);
    printf "  %-10s %9.1f ms  %6.3f us per entry\n", $1, $2, $2 * 1000 / n }'
directory=$(directory_bytes "$out/many.zip")
peak=$(/usr/bin/time -f %M "$tool" -r "$out/many.zip" 2>&1 >/dev/null | tail -1)
awk -v d="$directory" -v p="$peak" 'BEGIN {
    limit = 1.5 * d / 1024 + 4096;
    printf "  peak memory %.1f MiB; directory %.1f MiB; limit 1.5 x directory + 4 MiB = %.1f MiB (%.2f x the limit)\n",
        p / 1024, d / 1048576, limit / 1024, p / limit }'

echo "== UTF-8 rewrite of 1,048,576 entries"
fresh="cp $out/many.zip $out/work.zip && sync"
hyperfine --runs "$runs" --export-json "$out/many.json" \
    -n "arcpeek -r -c:uN" --prepare "$fresh" "$tool -r -c:uN $out/work.zip" \
    -n "cp + sync" --prepare "$fresh" "cp $out/work.zip $out/copy.zip && sync $out/copy.zip" \
    >/dev/null
median "$out/many.json" | awk -F'\t' '{ t[NR] = $2; printf "  %-18s %9.1f ms\n", $1, $2 }
    END { printf "  ratio %.2f (target 3)\n", t[1] / t[2] }'
rm -f "$out/small.zip" "$out/many.zip" "$out/work.zip" "$out/copy.zip"

echo "== UTF-8 rewrite of $large GiB in six stored entries"
python3 bench/rewrite_make_archive.py "$out/large.zip" $((large * 1024)) 6
# Round by round rather than command by command (hyperfine): a 6 GiB run
# fills much of the page cache, and the disk is shared, so the machine's speed
# drifts over the minutes that a group of runs takes. Every command starts
# with the archive to rewrite cached and flushed, as a file just copied is,
# and the pristine copy it came from dropped from the cache: otherwise three
# copies of 6 GiB fill the cache of a small machine, and whichever command
# adds the fourth spends its time making the system reclaim memory.
evict="python3 -c 'import os; f = os.open(\"$out/large.zip\", os.O_RDONLY); os.posix_fadvise(f, 0, 0, os.POSIX_FADV_DONTNEED)'"
fresh="cp $out/large.zip $out/work.zip && rm -f $out/work.zip.back $out/copy.zip && sync && $evict"
python3 bench/interleaved.py "$runs" \
    "arcpeek -r -c:uN" "$fresh" "$tool -r -c:uN $out/work.zip" \
    "arcpeek -r -c:uN -b" "$fresh" "$tool -r -c:uN -b $out/work.zip" \
    "cp + sync + rm" "$fresh" \
    "cp $out/work.zip $out/copy.zip && sync $out/copy.zip && rm $out/work.zip" |
    awk -F'\t' '{ t[NR] = $2; printf "  %-20s %9.1f ms   (%s)\n", $1, $2, $3 }
    END { printf "  ratio %.2f (target 1.1); with -b %.2f of without\n", t[1] / t[3], t[2] / t[1] }'
