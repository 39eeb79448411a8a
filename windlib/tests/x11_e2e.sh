#!/usr/bin/env bash
# Runs the x11 end-to-end check on a private Xvfb, then a short smoke run on a 30-bit
# deep-colour screen that also says it has 192 dpi (pixel formats and the HiDPI scale).
# Usage: x11_e2e.sh <x11_check> <x11_close.py> <screenshot.png>
set -u

check=$1
closer=$2
shot=$3

xvfb_name=x11_e2e
. "$(dirname "$0")/../../tests/support/xvfb.sh"
xvfb_need Xvfb xdotool setxkbmap xmodmap xprop xrdb import python3

xvfb_start 24
DISPLAY="$display" timeout 120 "$check" "$closer" "$shot" || exit 1
xvfb_stop

xvfb_start 30
echo "Xft.dpi: 192" | DISPLAY="$display" xrdb -merge || exit 1
DISPLAY="$display" timeout 60 "$check" --smoke 2 || exit 1
