#!/usr/bin/env bash
# Runs the x11 end-to-end check on a private Xvfb: the server picks a free display itself
# (-displayfd), DISPLAY is set for the check only, and the server is stopped on every way out.
# Then a short smoke run on a 30-bit deep-colour screen, where pixel formats differ the most.
# Usage: x11_e2e.sh <x11_check> <x11_close.py> <screenshot.png>
set -u

check=$1
closer=$2
shot=$3

for tool in Xvfb xdotool setxkbmap xmodmap xprop xrdb import python3; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "x11_e2e: $tool is missing (scripts/install-deps.sh installs it)" >&2
        exit 1
    fi
done

workdir=$(mktemp -d "${TMPDIR:-/tmp}/torva-x11.XXXXXX")
xvfb_pid=""
stop_xvfb() {
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
        xvfb_pid=""
    fi
}
cleanup() {
    stop_xvfb
    rm -rf "$workdir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# start_xvfb DEPTH: starts a server with a 1280x1024 screen of that depth; sets $display. The
# server must not reset when a client leaves, or resources set with xrdb would go with it.
start_xvfb() {
    rm -f "$workdir/display"
    Xvfb -displayfd 3 -screen 0 "1280x1024x$1" -nolisten tcp -noreset 3>"$workdir/display" \
        >"$workdir/xvfb.log" 2>&1 &
    xvfb_pid=$!
    # Xvfb writes its display number once it accepts clients.
    for _ in $(seq 1 100); do
        if [ -s "$workdir/display" ]; then
            break
        fi
        if ! kill -0 "$xvfb_pid" 2>/dev/null; then
            echo "x11_e2e: Xvfb did not start" >&2
            cat "$workdir/xvfb.log" >&2
            exit 1
        fi
        sleep 0.1
    done
    if [ ! -s "$workdir/display" ]; then
        echo "x11_e2e: Xvfb gave no display number" >&2
        exit 1
    fi
    display=":$(tr -d '[:space:]' <"$workdir/display")"
}

start_xvfb 24
DISPLAY="$display" timeout 120 "$check" "$closer" "$shot" || exit 1
stop_xvfb

# The deep-colour screen also says it has 192 dpi: the host must report a HiDPI scale of 2.
start_xvfb 30
echo "Xft.dpi: 192" | DISPLAY="$display" xrdb -merge || exit 1
DISPLAY="$display" timeout 60 "$check" --smoke 2 || exit 1
