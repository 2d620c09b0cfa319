#!/usr/bin/env bash
# Runs every fuzz target in BUILD_DIR/fuzz for SECONDS each, from its corpus in fuzz/corpus/<name>/.
# New inputs that add coverage stay in a scratch copy; a crash fails the run and leaves its input in fuzz/.
set -uo pipefail
build_dir=${1:?build folder}
seconds=${2:-60}
cd "$(dirname "$0")/.."
status=0
for target in "$build_dir"/fuzz/fuzz_*; do
    [ -f "$target" ] && [ -x "$target" ] || continue
    name=$(basename "$target")
    corpus=fuzz/corpus/${name#fuzz_}
    scratch=$(mktemp -d)
    mkdir -p "$corpus"
    cp -r "$corpus"/. "$scratch"/ 2>/dev/null
    log=$(mktemp)
    echo "== $name: $seconds s from $corpus ($(ls "$corpus" | wc -l) inputs)"
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
        "$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix=fuzz/ "$scratch" >"$log" 2>&1
    code=$?
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' "$log"
    if [ $code -ne 0 ]; then
        echo "!! $name failed (exit $code):"
        grep -E -A30 '==[0-9]+==ERROR|runtime error|deadly signal' "$log" | head -60
        status=1
    fi
    rm -rf "$scratch" "$log"
done
exit $status
