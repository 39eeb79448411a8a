#!/usr/bin/env bash
# Installs every Debian package torva needs to build, test and run. Idempotent: packages
# already present are left alone, and the package lists are refreshed only when something
# is missing. Works as root, and through sudo otherwise.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    clang clang-format libclang-rt-14-dev
    python3 bc util-linux
    libx11-dev libxtst-dev libcairo2-dev libfontconfig-dev libfreetype-dev libmpfr-dev
    fonts-dejavu-core fonts-liberation2
    xvfb xclip xdotool x11-apps x11-utils x11-xkb-utils x11-xserver-utils imagemagick poppler-utils
    desktop-file-utils appstream groff-base man-db librsvg2-bin
    dpkg-dev fakeroot lintian file
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
