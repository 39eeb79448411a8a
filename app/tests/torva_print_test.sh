#!/usr/bin/env bash
# Printing to a queue never freezes torva: on a private Xvfb, with stand-ins for CUPS's lpstat
# and an lp that hangs on the PATH, the tape is printed to the queue kept in PRINT_QUEUE (the
# dialog offers it once lpstat has named it), the tape's title says where the document goes,
# and while lp hangs, keys typed on the panel are computed and shown at once (the display row
# read off screenshots by decode_display.py).
# Usage: torva_print_test.sh PATH-TO-torva PATH-TO-decode_display.py [DIR-FOR-SCREENSHOTS]
set -u

torva=$1
decoder=$2
keep=${3:-}
title_re="^torva - Calculator v1\.6"

xvfb_name=torva_print
. "$(dirname "$0")/../../tests/support/xvfb.sh"
xvfb_need Xvfb xdotool xwininfo import python3

torva_pid=""
stop_torva() {
    if [ -n "$torva_pid" ]; then
        kill "$torva_pid" 2>/dev/null
        wait "$torva_pid" 2>/dev/null
        torva_pid=""
    fi
}
trap 'stop_torva; xvfb_cleanup' EXIT

failed=0
fail() {
    echo "torva_print: FAILED: $*" >&2
    failed=$((failed + 1))
}
ok() { echo "ok   $*"; }

xvfb_start 24 -dpi 96
export DISPLAY=$display
export TORVA_CONFIG_DIR=$workdir/config
export TMPDIR=$workdir
unset TORVA_HOST
mkdir "$TORVA_CONFIG_DIR"
printf '[nv]\nPRINT_QUEUE=office\nPRINT_PSOUTFILE=%s/unused.pdf\n' "$workdir" \
    >"$TORVA_CONFIG_DIR/torva.ini"

# The stand-ins: lpstat names two queues, lp notes its arguments and hangs.
mkdir "$workdir/bin"
cat >"$workdir/bin/lpstat" <<'EOF'
#!/bin/sh
case "$1" in
-e) printf 'lab\noffice\n' ;;
-d) echo 'system default destination: lab' ;;
esac
EOF
cat >"$workdir/bin/lp" <<EOF
#!/bin/sh
echo \$\$ >"$workdir/lp.pid"
printf '%s\n' "\$@" >"$workdir/lp.args"
exec sleep 120
EOF
chmod 755 "$workdir/bin/lpstat" "$workdir/bin/lp"
export PATH=$workdir/bin:$PATH

"$torva" >"$workdir/torva.out" 2>"$workdir/torva.err" &
torva_pid=$!

id=""
for _ in $(seq 1 200); do
    id=$(xdotool search --onlyvisible --name "$title_re" 2>/dev/null | head -1)
    [ -n "$id" ] && break
    kill -0 "$torva_pid" 2>/dev/null || break
    sleep 0.1
done
if [ -z "$id" ]; then
    echo "torva_print: FAILED: no panel within 20 s: $(cat "$workdir/torva.err")" >&2
    exit 1
fi
read -r ox oy < <(xwininfo -id "$id" |
    awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF } END { print x, y }')
focus() {
    xdotool mousemove --sync $((ox + 200)) $((oy + 20))
    xdotool windowfocus --sync "$id" 2>/dev/null
}

# expect LABEL READING: the display reads READING within 5 s.
expect() {
    local got=""
    for _ in $(seq 1 25); do
        import -window root "$workdir/shot.png" 2>/dev/null
        got=$(python3 "$decoder" "$workdir/shot.png" --window "$id" 2>/dev/null)
        [ "$got" == "$2" ] && break
        sleep 0.2
    done
    [ "$got" == "$2" ] && ok "$1: \"$got\"" || fail "$1: the display reads \"$got\", not \"$2\""
}

# window_named TITLE-RE: the id of a shown window of that title, within 5 s.
window_named() {
    local w=""
    for _ in $(seq 1 50); do
        w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
        [ -n "$w" ] && break
        sleep 0.1
    done
    echo "$w"
}

focus
xdotool key alt+t
tape=$(window_named '^torva - printer$')
[ -n "$tape" ] || {
    echo "torva_print: FAILED: Alt+T showed no tape" >&2
    exit 1
}
focus
xdotool type --delay 40 '1+2='
expect "the tape's calculation" "          3|   "

# Print, the tape's first menu item, a few cells into its bar under the title strip.
read -r tx ty < <(xwininfo -id "$tape" |
    awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF } END { print x, y }')
dialog=""
for row in 0 1 2; do
    xdotool mousemove --sync $((tx + 8 * 2 + 4)) $((ty + 13 * row + 6)) click 1
    dialog=$(window_named '^Print$')
    [ -n "$dialog" ] && break
done
[ -n "$dialog" ] || {
    echo "torva_print: FAILED: the tape's Print showed no dialog" >&2
    exit 1
}
sleep 1 # lpstat answers; the queue kept is offered
import -window "$dialog" "$workdir/dialog.png" 2>/dev/null
[ -n "$keep" ] && cp "$workdir/dialog.png" "$keep/torva_print-dialog.png"
xdotool windowfocus --sync "$dialog" 2>/dev/null
xdotool key Return # OK: the dialog's first button

for _ in $(seq 1 50); do
    [ -s "$workdir/lp.args" ] && break
    sleep 0.1
done
if [ -s "$workdir/lp.args" ]; then
    args=$(tr '\n' ' ' <"$workdir/lp.args")
    [[ "$args" == "-d office -t torva - printer -n 1 -- "* ]] && ok "lp was given the kept queue" ||
        fail "lp was given: $args"
else
    fail "lp was never run"
fi
name=$(xdotool getwindowname "$tape" 2>/dev/null)
[ "$name" == "torva - printer - sending to office..." ] && ok "the tape's title: $name" ||
    fail "the tape's title reads \"$name\" while lp runs"

# lp hangs: the panel takes keys and computes all the same.
focus
started=$(date +%s%N)
xdotool type --delay 40 '2*3='
expect "keys while lp hangs" "          6|   "
elapsed=$((($(date +%s%N) - started) / 1000000))
[ "$elapsed" -lt 5000 ] && ok "answered in $elapsed ms" || fail "keys took $elapsed ms"
lp_pid=$(cat "$workdir/lp.pid" 2>/dev/null)
[ -n "$lp_pid" ] && kill -0 "$lp_pid" 2>/dev/null && ok "lp still hangs meanwhile" ||
    fail "lp ended too soon"
kill -0 "$torva_pid" 2>/dev/null || fail "torva ended"
import -window root "$workdir/shot.png" 2>/dev/null
[ -n "$keep" ] && cp "$workdir/shot.png" "$keep/torva_print-sending.png"

# Ended, torva gives lp a few seconds and then stops it.
stop_torva
[ -n "$lp_pid" ] && kill -0 "$lp_pid" 2>/dev/null && kill "$lp_pid" && fail "lp outlived torva"
[ $failed -eq 0 ] && echo "torva_print: passed"
exit $((failed > 0))
