#!/usr/bin/env bash
# Fuzzes TARGET until its process has used CPU_SECONDS (default 1800) of CPU
# time, user and system, read from the process itself rather than the clock,
# since the machine may be shared. Continues from build/fuzz/long/TARGET,
# which starts with the checked-in corpus; appends to build/fuzz/long/TARGET.log
# a last line with the CPU seconds of the segment (from /usr/bin/time). Build
# first (fuzz/run.sh builds).
set -euo pipefail
target=$1
budget=${2:-1800}
cd "$(dirname "$0")/.."
long=build/fuzz/long
mkdir -p "$long/$target" "$long/artifacts-$target"
log=$long/$target.log
times=$long/$target.time
commit=$(git rev-parse --short HEAD)

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
/usr/bin/time -f "%U %S" -o "$times" build/fuzz/fuzz/$target -timeout=10 -rss_limit_mb=2048 \
    -dict=fuzz/arcpeek.dict -artifact_prefix="$long/artifacts-$target/" -print_final_stats=1 \
    "$long/$target" "fuzz/corpus/$target" >>"$log" 2>&1 &
timer=$!
sleep 1
fuzzer=$(pgrep -P "$timer" || true)
ticks=$(getconf CLK_TCK)
while [ -n "$fuzzer" ] && kill -0 "$fuzzer" 2>/dev/null; do
    # Fields 14 and 15 of /proc/PID/stat: user and system time in ticks.
    stat=$(sed 's/^.*) //' "/proc/$fuzzer/stat" 2>/dev/null) || break
    read -r -a fields <<<"$stat"
    if (((fields[11] + fields[12]) / ticks >= budget)); then
        kill -INT "$fuzzer"
        break
    fi
    sleep 2
done
status=0
wait "$timer" || status=$?
read -r user system < <(tail -n 1 "$times")
echo "segment: $target cpu $(awk "BEGIN { print $user + $system }")s (user $user, system $system), exit $status, commit $commit" | tee -a "$log"
