#!/usr/bin/env bash
# Runs every fuzz target in BUILD_DIR/fuzz for SECONDS each, from its corpus in fuzz/corpus/<name>/, JOBS targets at
# a time (default: one a processor; each target is one process on one processor, so its time is its own).
# New inputs that add coverage stay in a scratch copy; a crash fails the run and leaves its input in fuzz/.
set -uo pipefail
build_dir=${1:?build folder}
seconds=${2:-60}
jobs=${3:-$(nproc)}
cd "$(dirname "$0")/.."

# fuzz_one TARGET: runs it and prints its report; exits non-zero on a crash.
fuzz_one() {
    local target=$1 name corpus scratch log code
    name=$(basename "$target")
    corpus=fuzz/corpus/${name#fuzz_}
    scratch=$(mktemp -d)
    mkdir -p "$corpus"
    cp -r "$corpus"/. "$scratch"/ 2>/dev/null
    log=$(mktemp)
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
        "$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix=fuzz/ "$scratch" >"$log" 2>&1
    code=$?
    {
        echo "== $name: $seconds s from $corpus ($(ls "$corpus" | wc -l) inputs)"
        grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' "$log"
        if [ $code -ne 0 ]; then
            echo "!! $name failed (exit $code):"
            grep -E -A30 '==[0-9]+==ERROR|runtime error|deadly signal' "$log" | head -60
        fi
    } >"$log.report"
    cat "$log.report"    # one write of the whole report: parallel runs never interleave their lines
    rm -rf "$scratch" "$log" "$log.report"
    return $code
}
targets=()
for target in "$build_dir"/fuzz/fuzz_*; do
    [ -f "$target" ] && [ -x "$target" ] && targets+=("$target")
done
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets in $build_dir/fuzz"; exit 1; }

status=0
running=0
for target in "${targets[@]}"; do
    if [ $running -ge "$jobs" ]; then
        wait -n || status=1
        running=$((running - 1))
    fi
    fuzz_one "$target" &
    running=$((running + 1))
done
while [ $running -gt 0 ]; do
    wait -n || status=1
    running=$((running - 1))
done
exit $status
