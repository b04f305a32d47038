#!/usr/bin/env bash
# Configures and builds the project.
#   scripts/build.sh             plain build in build/
#   scripts/build.sh --sanitize  AddressSanitizer + UBSan build in build-sanitize/
# QEL_WERROR=ON turns warnings into errors.
set -euo pipefail
cd "$(dirname "$0")/.."

dir=build
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [[ "${1:-}" == "--sanitize" ]]; then
    dir=build-sanitize
    options=(-DCMAKE_BUILD_TYPE=Debug -DQEL_SANITIZE=ON)
fi
options+=(-DQEL_WERROR="${QEL_WERROR:-OFF}")

cmake -S . -B "$dir" -G Ninja "${options[@]}" > /dev/null
cmake --build "$dir" -j "$(nproc)"
