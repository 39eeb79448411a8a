#!/usr/bin/env bash
# Runs the libFuzzer targets of the sanitizer build one after another for a set time each and
# prints, per target, executions per second, total executions and crashes. New inputs go to a
# working corpus in the build directory; the seed corpus and the regressions in fuzz/ are only
# read. A crashing input is left in BUILD/fuzz/crashes/TARGET: once fixed, keep it in
# fuzz/regressions/TARGET, where `make test` replays it.
# Without TARGETs, every target the build has: fuzz/CMakeLists.txt lists them in
# BUILD/fuzz/targets.txt.
# Usage: scripts/fuzz.sh BUILD-DIR SECONDS [TARGET...]
set -u
build=$1
seconds=$2
shift 2
if [ $# -gt 0 ]; then
    targets=$*
elif [ -s "$build/fuzz/targets.txt" ]; then
    targets=$(cat "$build/fuzz/targets.txt")
else
    echo "fuzz.sh: no $build/fuzz/targets.txt: configure $build with clang and TORVA_SANITIZE=ON" >&2
    exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
export LSAN_OPTIONS=suppressions=$root/fuzz/lsan.supp
status=0
printf '%-10s %8s %12s %14s %8s\n' target seconds exec/s executions crashes
for t in $targets; do
    work=$build/fuzz/work/$t
    crashes=$build/fuzz/crashes/$t
    log=$build/fuzz/$t.log
    mkdir -p "$work" "$crashes"
    seeds=("$root/fuzz/corpus/$t")
    [ -d "$root/fuzz/regressions/$t" ] && seeds+=("$root/fuzz/regressions/$t")
    "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=20 -print_final_stats=1 \
        -artifact_prefix="$crashes/" "$work" "${seeds[@]}" >"$log" 2>&1
    rc=$?
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    found=$(find "$crashes" -type f | wc -l)
    printf '%-10s %8s %12s %14s %8s\n' "$t" "$seconds" "${rate:-?}" "${execs:-?}" "$found"
    if [ "$rc" -ne 0 ] || [ "$found" -ne 0 ]; then
        status=1
        echo "  $t failed: see $log and the input in $crashes"
    fi
done
exit $status
