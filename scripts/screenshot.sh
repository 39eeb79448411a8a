#!/usr/bin/env bash
# Redraws doc/panel.png, the README's picture of the panel: the panel with its default settings
# on the headless host, after 22/7= was typed. Usage: scripts/screenshot.sh [BUILD-DIR]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
cmake --build "$build" --target panelshot
"$build/app/panelshot" "$root/doc/panel.png" '22/7='
echo "wrote $root/doc/panel.png"
