#!/usr/bin/env bash
# Builds the fuzz targets (preset "fuzz", clang-14) and runs each for SECONDS
# (default 60) of fuzzing, starting from the checked-in corpus, which is read
# only. New inputs go to build/fuzz/corpus/<target>, findings to
# build/fuzz/artifacts/<target>. Exits non-zero on any crash, leak, timeout,
# out-of-memory or sanitizer report.
set -euo pipefail
seconds=${1:-60}
cd "$(dirname "$0")/.."

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for target in fuzz_reader fuzz_encodings fuzz_rewrite; do
    work=build/fuzz/corpus/$target
    artifacts=build/fuzz/artifacts/$target
    log=build/fuzz/$target.log
    mkdir -p "$work" "$artifacts"
    echo "== $target: ${seconds}s"
    result=0
    build/fuzz/fuzz/$target -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -dict=fuzz/arcpeek.dict -artifact_prefix="$artifacts/" -print_final_stats=1 \
        "$work" "fuzz/corpus/$target" >"$log" 2>&1 || result=$?
    if [ "$result" -ne 0 ] || grep -qE "runtime error:|ERROR: (Address|Leak|UndefinedBehavior)Sanitizer|SUMMARY: " "$log"; then
        echo "$target FAILED (exit $result); log: $log"
        tail -n 60 "$log"
        status=1
    else
        grep -E "^Done|stat::number_of_executed_units|stat::peak_rss_mb" "$log" || true
    fi
done
exit $status
