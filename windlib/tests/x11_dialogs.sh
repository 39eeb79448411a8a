#!/usr/bin/env bash
# Runs the dialogs and menus check on a private Xvfb without a window manager: what a manager
# would read is checked with xprop and xwininfo.
# Usage: x11_dialogs.sh <x11_dialogs> <screenshot.png>
set -u

check=$1
shot=$2

xvfb_name=x11_dialogs
. "$(dirname "$0")/../../tests/support/xvfb.sh"
xvfb_need Xvfb xdotool xprop xwininfo import

xvfb_start 24
DISPLAY="$display" timeout 120 "$check" "$shot" || exit 1
