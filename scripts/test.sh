#!/usr/bin/env bash
# Sets up, builds and runs every test.
#   scripts/test.sh             plain build
#   scripts/test.sh --sanitize  the same tests under AddressSanitizer + UBSan
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build.sh "$@"

dir=build
[[ "${1:-}" == "--sanitize" ]] && dir=build-sanitize
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" --timeout 300
