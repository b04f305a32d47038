#!/usr/bin/env bash
# Fetches Standard MIDI Files written by others from Debian packages into a
# folder of the build tree: `apt-get download` and `dpkg-deb -x`, nothing is
# installed. Safe to run from several test processes at once (one lock) and
# fast once done (a stamp file).
#   fetch_smf_fixtures.sh <folder>
# Prints nothing on success; exits non-zero with the reason on stderr when the
# files cannot be had.
set -euo pipefail

folder=$1
mkdir -p "$folder"
exec 9> "$folder/.lock"
flock -w 600 9 || { echo "timed out waiting for another download" >&2; exit 1; }
[[ -f "$folder/.done" ]] && exit 0

# package name, path inside the package, local file name
fixtures=(
    "nyquist        /usr/share/nyquist/demos/src/test.mid                          nyquist-test.mid"
    "octave-audio   /usr/share/octave/packages/audio-2.0.5/data/c_maj_melody.mid   c_maj_melody.mid"
    "chuck-data     /usr/share/doc/chuck-data/examples/midi/bwv772.mid             bwv772.mid"
    "mma            /usr/share/doc/mma/examples/volume/midivolume.mid              midivolume.mid"
    "yoshimi-data   /usr/share/yoshimi/examples/Out_There.mid                      Out_There.mid"
    "simutrans-data /usr/share/games/simutrans/music/44-Above-the-sky.mid          44-Above-the-sky.mid"
    "songwrite      /usr/share/songwrite3/data/son_lyre.mid                        son_lyre.mid"
)

work=$(mktemp -d "$folder/.work.XXXXXX")
trap 'rm -rf "$work"' EXIT

download() {
    (cd "$work" && apt-get download -qq "$1" > /dev/null 2>&1)
}

for entry in "${fixtures[@]}"; do
    read -r package inner local <<< "$entry"
    [[ -f "$folder/$local" ]] && continue
    if ! download "$package"; then
        # Lists may be missing on a fresh machine: refresh them once.
        if [[ ! -f "$work/.updated" ]]; then
            sudo=()
            [[ $(id -u) -eq 0 ]] || sudo=(sudo -n)
            "${sudo[@]}" apt-get update -qq > /dev/null 2>&1 || true
            touch "$work/.updated"
        fi
        download "$package" || { echo "apt-get download $package failed" >&2; exit 1; }
    fi
    deb=$(ls "$work"/"${package}"_*.deb | head -n 1)
    rm -rf "$work/x" && mkdir "$work/x"
    dpkg-deb -x "$deb" "$work/x"
    # Some packages keep the file compressed or under a versioned folder.
    found=$(find "$work/x" -path "*${inner#/usr/share/}" -print -quit)
    [[ -z "$found" ]] && found=$(find "$work/x" -path "*${inner#/usr/share/}.gz" -print -quit)
    [[ -z "$found" ]] && { echo "$inner not found in $package" >&2; exit 1; }
    if [[ "$found" == *.gz ]]; then
        gzip -dc "$found" > "$folder/$local.part"
    else
        cp "$found" "$folder/$local.part"
    fi
    mv "$folder/$local.part" "$folder/$local"
    rm -f "$deb"
done
touch "$folder/.done"
