#!/usr/bin/env bash
# Builds the fuzz targets (preset "fuzz", clang-14) and runs each for SECONDS
# (default 60) of fuzzing, two at a time, starting from the checked-in
# corpus, which is read only. New inputs go to build/fuzz/corpus/<target>,
# findings to build/fuzz/artifacts/<target>, logs to build/fuzz/<target>.log.
# Exits non-zero on any crash, failed check, leak, timeout, out-of-memory or
# sanitizer report.
set -euo pipefail
seconds=${1:-60}
cd "$(dirname "$0")/.."

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# Fuzzes one target; its exit status says whether it came through clean.
fuzz_target() {
    local target=$1
    local work=build/fuzz/corpus/$target
    local artifacts=build/fuzz/artifacts/$target
    local log=build/fuzz/$target.log
    mkdir -p "$work" "$artifacts"
    local result=0
    build/fuzz/fuzz/$target -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -dict=fuzz/arcpeek.dict -artifact_prefix="$artifacts/" -print_final_stats=1 \
        "$work" "fuzz/corpus/$target" >"$log" 2>&1 || result=$?
    if [ "$result" -ne 0 ] ||
        grep -qE "runtime error:|ERROR: (Address|Leak|UndefinedBehavior)Sanitizer|SUMMARY: " "$log"; then
        echo "== $target FAILED (exit $result); log: $log"
        tail -n 60 "$log"
        return 1
    fi
    echo "== $target: $(grep -E "^Done" "$log")"
}

status=0
fuzz_target fuzz_reader &
first=$!
fuzz_target fuzz_encodings || status=1
wait "$first" || status=1
fuzz_target fuzz_rewrite || status=1
exit $status
