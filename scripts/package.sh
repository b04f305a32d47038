#!/usr/bin/env bash
# Builds the Debian package: a Release build without tests in build-package/
# (installed under /usr), then CPack. Prints the path of the .deb on its last
# line. QEL_WERROR=ON turns warnings into errors, as for scripts/build.sh.
#   scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
dir=build-package

# The compiler and linker flags Debian builds its packages with (-O2, the
# hardening flags), in place of CMake's Release -O3, at which GCC 12 reports
# array-bounds warnings inside std::vector that cannot happen. No -g: the
# package's files are stripped anyway.
flags() {
    DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CFLAGS_STRIP=-g DEB_CXXFLAGS_STRIP=-g \
        dpkg-buildflags --get "$1"
}
options=(
    -DCMAKE_BUILD_TYPE=Release -DQEL_BUILD_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr
    -DCMAKE_C_FLAGS="$(flags CPPFLAGS) $(flags CFLAGS)" -DCMAKE_C_FLAGS_RELEASE=-DNDEBUG
    -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG
    -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" -DCMAKE_SHARED_LINKER_FLAGS="$(flags LDFLAGS)"
)
[[ -n "${QEL_WERROR:-}" ]] && options+=(-DQEL_WERROR="$QEL_WERROR")

cmake -S . -B "$dir" -G Ninja "${options[@]}" > /dev/null
cmake --build "$dir" -j "$(nproc)"
# A package left from an earlier build must not be taken for this one.
rm -f "$dir"/*.deb
(cd "$dir" && cpack -G DEB > cpack.log 2>&1) || { cat "$dir/cpack.log"; exit 1; }
debs=("$PWD/$dir"/*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || { echo "cpack made no single .deb" >&2; exit 1; }
echo "${debs[0]}"
