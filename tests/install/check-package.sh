#!/usr/bin/env bash
# Checks the Debian package, the desktop files and manual pages, and the installed programs.
# Usage: tests/install/check-package.sh BUILD_DIR   (after `cmake --build BUILD_DIR --target package`)
# Needs no network. Every check runs, so one report shows all that is wrong.
set -uo pipefail

(($# == 1)) || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
build=$(cd "$1" && pwd)
data=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/data
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

failures=0
# check WHAT COMMAND...: runs the command and reports it by WHAT.
check() {
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAIL: $what" >&2; failures=$((failures + 1)); fi
}

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=$build/kovi-rzk-lite_${version}_$(dpkg --print-architecture).deb

# The package as Debian's own checker sees it; programs 0755, everything else 0644, folders
# 0755, all owned by root.
odd_modes() {
    dpkg-deb --fsys-tarfile "$deb" | tar -tvf - | awk '
        { mode = $1; owner = $2; name = $6 }
        owner != "root/root" { print; next }
        mode ~ /^d/ { if (mode != "drwxr-xr-x") print; next }
        name ~ /^\.\/usr\/bin\// { if (mode != "-rwxr-xr-x") print; next }
        mode != "-rw-r--r--" { print }' | grep . >&2 && return 1 || return 0
}
check "package $deb built" test -f "$deb"
check "lintian: no errors" lintian --fail-on error --tag-display-limit 0 "$deb"
check "package file modes and owners" odd_modes

check desktop-file-validate desktop-file-validate "$data/desktop/kovi-rzk-lite.desktop"
check "appstreamcli validate" appstreamcli validate --no-net "$data"/desktop/*.metainfo.xml

# Both manual pages render without a single warning.
renders_quietly() {
    local warnings
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$1" 2>&1 \
        >/dev/null) && [[ -z $warnings ]] || { echo "$warnings" >&2; return 1; }
}
for page in "$data"/man/*.1; do
    check "man --warnings $(basename "$page")" renders_quietly "$page"
done

# The installed kovi-rzk-batch, with a user of its own, shrinks a folder and keeps its list
# files in the per-user folder, not beside the program.
root=$scratch/root
export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/config
mkdir -p "$HOME" "$XDG_CONFIG_HOME/kovi-rzk-lite"
check "cmake --install" env DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null
batch=$root/usr/bin/kovi-rzk-batch

pictures=$scratch/pictures
mkdir -p "$pictures/sub"
vips black "$pictures/large.jpg" 1600 1200 --bands 3
vips black "$pictures/sub/deeper.jpg" 2000 1000 --bands 3
vips black "$pictures/small.jpg" 100 80 --bands 3
vips black "$pictures/left-out.png" 1200 900 --bands 3
printf 'PNG\r\n' >"$XDG_CONFIG_HOME/kovi-rzk-lite/exts.dat"

check "kovi-rzk-batch --version says $version" \
    sh -c "'$batch' --version | grep -qx 'kovi-rzk-batch (Kovi rZk Lite) $version'"
check "kovi-rzk-batch ran" "$batch" --subs "$pictures" 640x480
is_size() { [[ $(vipsheader -f width "$pictures/$1")x$(vipsheader -f height "$pictures/$1") == "$2" ]]; }
check "large.jpg shrunk" is_size large.jpg 640x480
check "sub/deeper.jpg shrunk" is_size sub/deeper.jpg 640x320
check "small.jpg left" is_size small.jpg 100x80
check "PNG left out by the per-user exts.dat" is_size left-out.png 1200x900
check "kovilog.txt written by the first settings" test -f "$pictures/kovilog.txt"
# The programs' folder is no one's to write in once installed.
check "no list files beside the installed programs" \
    test -z "$(find "$root/usr/bin" -name '*.dat')"

# The installed window starts and keeps running until it is stopped.
runs_until_stopped() {
    QT_QPA_PLATFORM=offscreen timeout 3 "$root/usr/bin/kovi-rzk-lite" "$pictures"
    (($? == 124))
}
check "kovi-rzk-lite started and ran until stopped" runs_until_stopped
# The help file in the data folder, which tells the installed programs that they are installed.
check "help file in usr/share/kovi-rzk-lite" \
    test -s "$root/usr/share/kovi-rzk-lite/kovi_rzk_lite.chm"

((failures == 0)) || { echo "$failures check(s) failed" >&2; exit 1; }
echo "all checks passed"
