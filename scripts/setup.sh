#!/usr/bin/env bash
# Installs the Debian 12 packages that the build, the program and the tests need,
# asking apt-get only for the ones that are missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git
    qt6-base-dev qt6-base-dev-tools
    libvips-dev libvips-tools libjpeg62-turbo-dev libexif-dev libdeflate-dev libimagequant-dev
    libchm-dev fp-utils
    libgtest-dev libgmock-dev
    clang libclang-rt-14-dev clang-format
    libglib2.0-bin
    xvfb xauth
    dpkg-dev file lintian desktop-file-utils appstream man-db groff-base
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

echo "Installing: ${missing[*]}" >&2
run_as_root=()
if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
    run_as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${run_as_root[@]}" apt-get update -qq
"${run_as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
