#!/usr/bin/env bash
# Configures and builds the project.
#   scripts/build.sh             plain build in build/
#   scripts/build.sh --sanitize  AddressSanitizer + UBSan build in build-sanitize/
#   scripts/build.sh --tsan      ThreadSanitizer build in build-tsan/
#   scripts/build.sh --no-jack   build without JACK (no libjack needed) in build-nojack/
#   scripts/build.sh [--sanitize|--tsan|--no-jack] -- TARGET...   build only these targets
# QEL_WERROR=ON turns warnings into errors (kept in the build folder's cache).
set -euo pipefail
cd "$(dirname "$0")/.."

dir=build
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [[ "${1:-}" == "--sanitize" ]]; then
    dir=build-sanitize
    options=(-DCMAKE_BUILD_TYPE=Debug -DQEL_SANITIZE=ON)
    shift
elif [[ "${1:-}" == "--tsan" ]]; then
    dir=build-tsan
    options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQEL_TSAN=ON)
    shift
elif [[ "${1:-}" == "--no-jack" ]]; then
    dir=build-nojack
    options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQEL_WITH_JACK=OFF)
    shift
fi
[[ -n "${QEL_WERROR:-}" ]] && options+=(-DQEL_WERROR="$QEL_WERROR")
targets=()
if [[ "${1:-}" == "--" ]]; then
    shift
    for target in "$@"; do targets+=(--target "$target"); done
fi

cmake -S . -B "$dir" -G Ninja "${options[@]}" > /dev/null
cmake --build "$dir" -j "$(nproc)" "${targets[@]}"
