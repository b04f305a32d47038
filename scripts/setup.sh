#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Installs only what
# is missing, and runs `apt-get update` at most once.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev librtmidi-dev libgtest-dev
    libjack-jackd2-dev # the JACK MIDI backend is written on libjack
    jackd2            # JACK server with its dummy driver: cross-process MIDI tests
    python3-mido      # independent Standard MIDI File reader used as a cross-check
    dpkg-dev file     # the Debian package: dpkg-shlibdeps works out its Depends
    desktop-file-utils # scripts/check-package.sh validates the desktop entry
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" > /dev/null
