#!/bin/sh
# Benchmark of the notification mail (not a test): processor time over a session with a server that
# waits 2 s before every reply, and the time from the end of a lookup to the message accepted.
# Usage: bench/smtp_bench.sh [build folder] [delay seconds] [rounds]
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
cmake --build "$build" --target bench_smtp >/dev/null
QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.qpa.*=false' "$build/tests/notify/bench_smtp" "${2:-2}" "${3:-20}"
