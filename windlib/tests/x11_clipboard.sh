#!/usr/bin/env bash
# Runs the x11 clipboard check on a private Xvfb: the check itself, then its run with a real
# edit box.
# Usage: x11_clipboard.sh <x11_clipboard>
set -u

check=$1

xvfb_name=x11_clipboard
. "$(dirname "$0")/../../tests/support/xvfb.sh"
xvfb_need Xvfb xclip xdotool timeout

xvfb_start 24
DISPLAY="$display" timeout 150 "$check" || exit 1
DISPLAY="$display" timeout 60 "$check" --edit
