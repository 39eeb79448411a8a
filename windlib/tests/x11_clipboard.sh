#!/usr/bin/env bash
# Runs the x11 clipboard check on a private Xvfb: the server picks a free display itself
# (-displayfd), DISPLAY is set for the check only, and the server is stopped on every way out.
# Usage: x11_clipboard.sh <x11_clipboard>
set -u

check=$1

for tool in Xvfb xclip xdotool timeout; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "x11_clipboard: $tool is missing (scripts/install-deps.sh installs it)" >&2
        exit 1
    fi
done

workdir=$(mktemp -d "${TMPDIR:-/tmp}/torva-x11-clip.XXXXXX")
xvfb_pid=""
cleanup() {
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    rm -rf "$workdir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$workdir/display" \
    >"$workdir/xvfb.log" 2>&1 &
xvfb_pid=$!
# Xvfb writes its display number once it accepts clients.
for _ in $(seq 1 100); do
    if [ -s "$workdir/display" ]; then
        break
    fi
    if ! kill -0 "$xvfb_pid" 2>/dev/null; then
        echo "x11_clipboard: Xvfb did not start" >&2
        cat "$workdir/xvfb.log" >&2
        exit 1
    fi
    sleep 0.1
done
if [ ! -s "$workdir/display" ]; then
    echo "x11_clipboard: Xvfb gave no display number" >&2
    exit 1
fi

DISPLAY=":$(tr -d '[:space:]' <"$workdir/display")" timeout 150 "$check" || exit 1
DISPLAY=":$(tr -d '[:space:]' <"$workdir/display")" timeout 60 "$check" --edit
