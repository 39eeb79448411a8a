# Sourced by the X11 checks: a private Xvfb that picks a free display itself (-displayfd), a
# scratch directory, and both removed on every way out. The server does not reset when a
# client leaves, or resources set with xrdb would go with it.
#   xvfb_need TOOL...          exits 1 naming a missing tool
#   xvfb_start DEPTH [ARG...]  starts a 1280x1024 screen of that depth, with the further server
#                              arguments; sets $display
#   xvfb_stop                  stops it
# $xvfb_name names the check in messages; $workdir is the scratch directory.

xvfb_need() {
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "$xvfb_name: $tool is missing (scripts/install-deps.sh installs it)" >&2
            exit 1
        fi
    done
}

workdir=$(mktemp -d "${TMPDIR:-/tmp}/torva-$xvfb_name.XXXXXX")
xvfb_pid=""

xvfb_stop() {
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
        xvfb_pid=""
    fi
}

xvfb_cleanup() {
    xvfb_stop
    rm -rf "$workdir"
}
trap xvfb_cleanup EXIT
trap 'exit 130' INT TERM HUP

xvfb_start() {
    rm -f "$workdir/display"
    Xvfb -displayfd 3 -screen 0 "1280x1024x$1" "${@:2}" -nolisten tcp -noreset 3>"$workdir/display" \
        >"$workdir/xvfb.log" 2>&1 &
    xvfb_pid=$!
    # Xvfb writes its display number once it accepts clients.
    for _ in $(seq 1 100); do
        if [ -s "$workdir/display" ]; then
            break
        fi
        if ! kill -0 "$xvfb_pid" 2>/dev/null; then
            echo "$xvfb_name: Xvfb did not start" >&2
            cat "$workdir/xvfb.log" >&2
            exit 1
        fi
        sleep 0.1
    done
    if [ ! -s "$workdir/display" ]; then
        echo "$xvfb_name: Xvfb gave no display number" >&2
        exit 1
    fi
    display=":$(tr -d '[:space:]' <"$workdir/display")"
}
