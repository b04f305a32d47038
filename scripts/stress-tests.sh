#!/usr/bin/env bash
# Runs the whole test suite several times with two busy loops beside it, to
# show that no test depends on an idle machine. Not part of CI.
#   scripts/stress-tests.sh [--sanitize] [ROUNDS]   (default 3 rounds)
# The build folder must be built already (scripts/build.sh [--sanitize]).
set -uo pipefail
cd "$(dirname "$0")/.."

dir=build
if [[ "${1:-}" == "--sanitize" ]]; then
    dir=build-sanitize
    shift
fi
rounds=${1:-3}
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

sh -c 'while :; do :; done' &
busy1=$!
sh -c 'while :; do :; done' &
busy2=$!
trap 'kill "$busy1" "$busy2" 2>/dev/null' EXIT

failed=0
for round in $(seq 1 "$rounds"); do
    start=$(date +%s)
    if ctest --test-dir "$dir" -j "$(nproc)" --timeout 300 > "/tmp/stress-$round.log" 2>&1; then
        result=passed
    else
        result=FAILED
        failed=1
    fi
    summary=$(grep -E 'tests passed|tests failed' "/tmp/stress-$round.log" | tail -1)
    echo "round $round: $result in $(( $(date +%s) - start )) s: $summary"
    [[ $result == FAILED ]] && grep -E '^\s+[0-9]+ - ' "/tmp/stress-$round.log" | grep -v Skipped
done
exit "$failed"
