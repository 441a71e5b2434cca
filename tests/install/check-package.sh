#!/usr/bin/env bash
# Checks the Debian package, the desktop files and manual pages, and the installed programs.
# Usage: tests/install/check-package.sh BUILD_DIR   (after `cmake --build BUILD_DIR --target package`)
# Needs no network. Every check runs, so one report shows all that is wrong.
set -euo pipefail

if (($# != 1)); then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
data=$source_dir/data

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
pass() {
    echo "ok: $*"
}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=$build/kovi-rzk-lite_${version}_$(dpkg --print-architecture).deb

# (a) The package as Debian's own checker sees it, and its file modes.
if [[ ! -f $deb ]]; then
    fail "no package $deb; build it with: cmake --build $build --target package"
else
    if lintian --fail-on error --tag-display-limit 0 "$deb"; then
        pass "lintian: no errors"
    else
        fail "lintian found errors"
    fi
    # Programs 0755, everything else 0644, folders 0755, all owned by root.
    odd_modes=$(dpkg-deb --fsys-tarfile "$deb" | tar -tvf - | awk '
        { mode = $1; owner = $2; name = $6 }
        owner != "root/root" { print; next }
        mode ~ /^d/ { if (mode != "drwxr-xr-x") print; next }
        name ~ /^\.\/usr\/bin\// { if (mode != "-rwxr-xr-x") print; next }
        mode != "-rw-r--r--" { print }')
    if [[ -z $odd_modes ]]; then
        pass "package file modes"
    else
        fail "package files with unexpected modes or owners:"$'\n'"$odd_modes"
    fi
fi

# (b) The desktop entry and the software-centre metadata.
if desktop-file-validate "$data/desktop/kovi-rzk-lite.desktop"; then
    pass "desktop-file-validate"
else
    fail "desktop-file-validate"
fi
if appstreamcli validate --no-net "$data"/desktop/*.metainfo.xml; then
    pass "appstreamcli validate"
else
    fail "appstreamcli validate"
fi

# (c) Both manual pages render without a single warning.
for page in "$data"/man/*.1; do
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
        man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null) || fail "man could not render $page"
    if [[ -z $warnings ]]; then
        pass "man --warnings $(basename "$page")"
    else
        fail "man --warnings $(basename "$page"):"$'\n'"$warnings"
    fi
done

# (d) The installed kovi-rzk-batch, with a user of its own, shrinks a folder and keeps its
# list files in the per-user folder, not beside the program.
root=$scratch/root
export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/config
mkdir -p "$HOME" "$XDG_CONFIG_HOME/kovi-rzk-lite"
if ! DESTDIR=$root cmake --install "$build" --prefix /usr >"$scratch/install.log"; then
    cat "$scratch/install.log" >&2
    fail "cmake --install"
fi
batch=$root/usr/bin/kovi-rzk-batch
window=$root/usr/bin/kovi-rzk-lite

pictures=$scratch/pictures
mkdir -p "$pictures/sub"
vips black "$pictures/large.jpg" 1600 1200 --bands 3
vips black "$pictures/sub/deeper.jpg" 2000 1000 --bands 3
vips black "$pictures/small.jpg" 100 80 --bands 3
vips black "$pictures/left-out.png" 1200 900 --bands 3
printf 'PNG\r\n' >"$XDG_CONFIG_HOME/kovi-rzk-lite/exts.dat"

size_of() {
    echo "$(vipsheader -f width "$1")x$(vipsheader -f height "$1")"
}
expect_size() {
    local actual
    actual=$(size_of "$pictures/$1")
    if [[ $actual == "$2" ]]; then
        pass "$1 is $2"
    else
        fail "$1 is $actual, expected $2"
    fi
}

if [[ -x $batch ]]; then
    if "$batch" --version | grep -qx "kovi-rzk-batch (Kovi rZk Lite) $version"; then
        pass "kovi-rzk-batch --version says $version"
    else
        fail "kovi-rzk-batch --version"
    fi
    status=0
    "$batch" --subs "$pictures" 640x480 >"$scratch/batch.out" 2>"$scratch/batch.err" || status=$?
    cat "$scratch/batch.out" "$scratch/batch.err"
    if ((status == 0)); then
        pass "kovi-rzk-batch ran"
    else
        fail "kovi-rzk-batch exited with $status"
    fi
    expect_size large.jpg 640x480
    expect_size sub/deeper.jpg 640x320
    expect_size small.jpg 100x80
    # exts.dat in $XDG_CONFIG_HOME/kovi-rzk-lite/ names PNG.
    expect_size left-out.png 1200x900
    # The settings at first write the log.
    if [[ -f $pictures/kovilog.txt ]]; then
        pass "kovilog.txt written"
    else
        fail "no kovilog.txt in the processed folder"
    fi
    # The programs' folder is no one's to write in once installed.
    if stray=$(find "$root/usr/bin" -name '*.dat' | grep .); then
        fail "list files beside the installed programs:"$'\n'"$stray"
    else
        pass "no list files beside the installed programs"
    fi
else
    fail "no installed $batch"
fi

# (e) The installed window starts and keeps running until it is stopped.
if [[ -x $window ]]; then
    status=0
    QT_QPA_PLATFORM=offscreen timeout 3 "$window" "$pictures" >"$scratch/window.log" 2>&1 ||
        status=$?
    if ((status == 124)); then
        pass "kovi-rzk-lite started and ran until stopped"
    else
        cat "$scratch/window.log" >&2
        fail "kovi-rzk-lite ended by itself with status $status"
    fi
else
    fail "no installed $window"
fi

# (f) The help file where the installed programs look for it: their data folder, which tells
# them that they are installed.
if [[ -s $root/usr/share/kovi-rzk-lite/kovi_rzk_lite.chm ]]; then
    pass "help file in usr/share/kovi-rzk-lite"
else
    fail "no help file in usr/share/kovi-rzk-lite"
fi

if ((failures > 0)); then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "all checks passed"
