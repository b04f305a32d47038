#!/usr/bin/env bash
# Installs the Debian package the way a user would, checks what it installed,
# and removes it again, with the packages that its installation brought in, so
# the machine is left as it was. Runs lintian on it first (installing lintian
# when it is missing, and leaving it). Needs root or sudo.
#   scripts/check-package.sh [FILE.deb]   (default: the one in build-package/)
set -euo pipefail
cd "$(dirname "$0")/.."

package=tq7400-data-manager
deb=${1:-}
if [[ -z $deb ]]; then
    debs=(build-package/"$package"_*.deb)
    [[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] ||
        { echo "No single package in build-package/: run scripts/package.sh first" >&2; exit 1; }
    deb=${debs[0]}
fi
deb=$(realpath "$deb")

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive

installed_packages() { dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' | awk '$1 == "ii" { print $2 }' | sort; }

if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    echo "$package is installed already; remove it first, so that this check can leave the machine as it was" >&2
    exit 1
fi

echo "== lintian"
# Debian's own package checker: any error (a line "E: ...") fails the check.
command -v lintian > /dev/null || {
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends lintian > /dev/null
}
lintian_report=$(lintian --tag-display-limit 0 "$deb" 2>&1 | grep -v "running with root privileges" || true)
[[ -z $lintian_report ]] || echo "$lintian_report"
if grep -q "^E: " <<< "$lintian_report"; then
    echo "FAILED: lintian reports errors" >&2
    exit 1
fi
echo "ok   lintian reports no errors"

echo "== contents of $deb"
dpkg -c "$deb"
echo "== control"
dpkg-deb -f "$deb" Package Version Depends
echo "size: $(stat -c %s "$deb") bytes"

before=$(mktemp)
installed_packages > "$before"

remove() {
    # Whatever happened, take off the package and exactly what came with it.
    local added
    added=$(installed_packages | comm -13 "$before" - | tr '\n' ' ')
    echo "== removing: $added"
    # shellcheck disable=SC2086
    [[ -z $added ]] || "${sudo[@]}" apt-get remove -y -qq $added > /dev/null
    rm -f "$before"
}
trap remove EXIT

echo "== installing"
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "$deb" > /dev/null

failed=0
fail() { echo "FAILED: $*" >&2; failed=1; }

programs=(/usr/bin/tq7400-manager)
[[ -e /usr/bin/tq7400 ]] && programs+=(/usr/bin/tq7400)
expected=(
    "${programs[@]}"
    /usr/lib/*/"$package"/libsongconv.so
    /usr/share/applications/tq7400-manager.desktop
    /usr/share/icons/hicolor/64x64/apps/tq7400-manager.png
    /usr/share/man/man1/tq7400-manager.1.gz
    /usr/share/doc/"$package"/copyright
    /usr/share/doc/"$package"/changelog.gz
)
[[ -e /usr/bin/tq7400 ]] && expected+=(/usr/share/man/man1/tq7400.1.gz)
echo "== installed files"
for file in "${expected[@]}"; do
    if [[ -f $file ]]; then echo "ok   $file"; else fail "missing $file"; fi
done
for program in "${programs[@]}"; do
    [[ -x $program ]] || fail "$program is not executable"
done
# Nothing else: no simulator, no test program, no header or static library.
unexpected=$(dpkg -L "$package" | while read -r path; do [[ -f $path ]] && echo "$path"; done |
    sort | comm -23 - <(printf '%s\n' "${expected[@]}" | sort))
[[ -z $unexpected ]] || fail "files that should not be in the package: $unexpected"
cmp -s src/app/icons/tq7400.png /usr/share/icons/hicolor/64x64/apps/tq7400-manager.png ||
    fail "the installed icon is not the window's icon"

echo "== libraries"
for binary in "${programs[@]}" /usr/lib/*/"$package"/libsongconv.so; do
    [[ -f $binary ]] || continue
    # ldd as a user would run it: no LD_LIBRARY_PATH from the caller.
    if ! libraries=$(env -u LD_LIBRARY_PATH ldd "$binary"); then
        fail "ldd $binary"
    elif grep -q "not found" <<< "$libraries"; then
        fail "$binary: a library is not found"
        grep "not found" <<< "$libraries" >&2
    else
        echo "ok   $binary: $(wc -l <<< "$libraries") libraries resolved"
    fi
done

echo "== desktop entry and man pages"
if command -v desktop-file-validate > /dev/null; then
    if desktop-file-validate /usr/share/applications/tq7400-manager.desktop; then
        echo "ok   the desktop entry validates"
    else
        fail "the desktop entry does not validate"
    fi
fi
if command -v man > /dev/null; then
    for page in /usr/share/man/man1/tq7400-manager.1.gz /usr/share/man/man1/tq7400.1.gz; do
        [[ -f $page ]] || continue
        # Formatted as man(1) shows it; any warning of the formatter is a fault of the page.
        warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 > /dev/null) || true
        if [[ -n $warnings ]]; then fail "$page: $warnings"; else echo "ok   $page formats cleanly"; fi
    done
fi

if [[ -x /usr/bin/tq7400 ]]; then
    echo "== tq7400 --virtual list"
    home=$(mktemp -d)
    # A fresh home: no settings of the developer are read or written.
    HOME=$home XDG_CONFIG_HOME=$home/.config timeout 120 /usr/bin/tq7400 --virtual list ||
        fail "tq7400 --virtual list exited with $?"
    rm -rf "$home"
fi

if [[ $failed -ne 0 ]]; then
    echo "package check FAILED" >&2
    exit 1
fi
echo "package check passed"
