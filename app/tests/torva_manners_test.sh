#!/usr/bin/env bash
# How the real torva behaves towards the window manager and the session, on a private Xvfb: the
# panel's properties as xprop reads them (class, process, machine, icon, a size the user cannot
# change), the tape's size hints (resizable), the questions and dialogs other windows own
# (transient for them); then SIGTERM and SIGINT each end a torva that has a program loaded (its
# working copy in the temporary directory) the way Quit does: within a few seconds, with status
# 128 + the signal, the temporary directory removed, and the settings file whole with the keys
# it had before. Killed outright, torva would leave the working copy behind.
# Last, the X server is ended under a running torva.
# Usage: torva_manners_test.sh PATH-TO-torva
set -u

torva=$1
title_re="^torva - Calculator v1\.6"

xvfb_name=torva_manners
. "$(dirname "$0")/../../tests/support/xvfb.sh"
xvfb_need Xvfb xdotool xwininfo xprop env

torva_pid=""
stop_torva() {
    if [ -n "$torva_pid" ]; then
        kill -KILL "$torva_pid" 2>/dev/null
        wait "$torva_pid" 2>/dev/null
        torva_pid=""
    fi
}
trap 'stop_torva; xvfb_cleanup' EXIT

failed=0
fail() {
    echo "torva_manners: FAILED: $*" >&2
    failed=$((failed + 1))
}
ok() { echo "ok   $*"; }

xvfb_start 24 -dpi 96
export DISPLAY=$display
export TORVA_CONFIG_DIR=$workdir/config
export TMPDIR=$workdir/tmp
unset TORVA_HOST
mkdir "$TORVA_CONFIG_DIR" "$TMPDIR"
ini=$TORVA_CONFIG_DIR/torva.ini

# A settings file with a value of the user's, a key the program does not know and a comment:
# whatever ends the program, they are all there afterwards.
seed_settings() {
    printf '%s\n' '[nv]' '; kept by hand' 'RADIX=16' 'USER_NOTE=left alone' >"$ini"
}

# start_torva: torva with the termination signals at their defaults (a background job of a
# shell without job control would ignore SIGINT, and torva keeps an ignored signal ignored);
# sets $torva_pid and $id, the panel's window.
start_torva() {
    env --default-signal=INT,TERM,HUP "$torva" >"$workdir/torva.out" 2>"$workdir/torva.err" &
    torva_pid=$!
    id=""
    for _ in $(seq 1 200); do
        id=$(xdotool search --onlyvisible --name "$title_re" 2>/dev/null | head -1)
        [ -n "$id" ] && return 0
        if ! kill -0 "$torva_pid" 2>/dev/null; then
            wait "$torva_pid"
            echo "torva_manners: FAILED: torva ended with status $? before its window came up" >&2
            cat "$workdir/torva.err" >&2
            torva_pid=""
            exit 1
        fi
        sleep 0.1
    done
    echo "torva_manners: FAILED: no window of torva within 20 s" >&2
    exit 1
}

# window_named REGEX: the id of torva's shown window whose name matches, waiting up to 10 s.
window_named() {
    local found=""
    for _ in $(seq 1 100); do
        found=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
        [ -n "$found" ] && break
        sleep 0.1
    done
    echo "$found"
}

# load_program: Alt+G opens the program window, its Load button asks for a file, the program
# file is typed in; torva then works on a copy of it in its temporary directory. Sets $prog.
program_file=$workdir/half.tor
printf '/\n2\n=\n__ end __\n' >"$program_file"
load_program() {
    xdotool windowfocus --sync "$id" 2>/dev/null
    xdotool key alt+g
    prog=$(window_named '^torva - program$')
    if [ -z "$prog" ]; then
        fail "Alt+G showed no program window"
        return 1
    fi
    local px py question
    read -r px py < <(xwininfo -id "$prog" |
        awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF } END { print x, y }')
    xdotool mousemove --sync $((px + 32)) $((py + 13 + 6)) click 1
    question=$(window_named '^Load Program$')
    if [ -z "$question" ]; then
        fail "the program window's Load asked nothing"
        return 1
    fi
    [ "${1:-}" == check ] &&
        expect_property "$question" WM_TRANSIENT_FOR "window id # $(printf '0x%x' "$prog")"
    xdotool type --delay 20 "$program_file"
    xdotool key Return
    for _ in $(seq 1 50); do
        [ -n "$(find "$TMPDIR" -name '*.tmq' 2>/dev/null)" ] && return 0
        sleep 0.1
    done
    fail "no working copy of the loaded program in TMPDIR ($(cat "$workdir/torva.err"))"
    return 1
}

# hints ID: "MIN MAX" sizes from WM_NORMAL_HINTS as WxH, "-" where a size is not given.
hints() {
    xprop -id "$1" WM_NORMAL_HINTS | awk '
        /program specified minimum size/ { min = $(NF-2) "x" $NF }
        /program specified maximum size/ { max = $(NF-2) "x" $NF }
        END { print (min ? min : "-"), (max ? max : "-") }'
}

# expect_property ID PROPERTY WANT: xprop's value of the property (after "NAME(TYPE) = " or,
# for a window, "NAME(WINDOW): ") is WANT; "" for a property the window does not have.
expect_property() {
    local got
    got=$(xprop -id "$1" "$2" | sed -n -e '/not found/d' -e 's/^[A-Z_]*([A-Z_]*)[=:]\? *[=:]\? //p')
    if [ "$got" == "$3" ]; then
        ok "$2 is $3"
    else
        fail "$2 is \"$got\", not \"$3\""
    fi
}

seed_settings
start_torva

expect_property "$id" WM_CLASS '"torva", "Torva"'
expect_property "$id" _NET_WM_PID "$torva_pid"
expect_property "$id" WM_CLIENT_MACHINE "\"$(uname -n)\""
# The icon: width and height first, then one ARGB word for each of the 48 x 48 pixels.
icon=$(xprop -id "$id" -notype -f _NET_WM_ICON 32c '=$0 $1' _NET_WM_ICON)
words=$(xprop -id "$id" -notype -f _NET_WM_ICON 32c '=$0+' _NET_WM_ICON | tr ',' '\n' | grep -c .)
if [ "$icon" == "_NET_WM_ICON=48 48" ] && [ "$words" -eq $((2 + 48 * 48)) ]; then
    ok "_NET_WM_ICON holds a 48 x 48 icon"
else
    fail "_NET_WM_ICON is \"$icon\" with $words words"
fi

# The panel's hints hold it at the size it has.
read -r width height < <(xwininfo -id "$id" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w, h }')
read -r min max < <(hints "$id")
if [ "$min" == "${width}x$height" ] && [ "$max" == "$min" ]; then
    ok "the panel's size hints hold it at ${width}x$height"
else
    fail "the panel is ${width}x$height, its hints give minimum $min and maximum $max"
fi

# The program window's question is transient for it.
load_program check

# Alt+T opens the tape, which can be resized and is no dialog of anybody's. A calculation gives
# it lines: an empty tape has nothing to print, and says so instead of asking.
xdotool windowfocus --sync "$id" 2>/dev/null
xdotool key alt+t
xdotool type '1+2='
tape=$(window_named '^torva - printer$')
if [ -z "$tape" ]; then
    fail "Alt+T showed no tape window"
else
    read -r min max < <(hints "$tape")
    [ "$max" == "-" ] && ok "the tape has no maximum size" ||
        fail "the tape's hints give maximum $max"
    expect_property "$tape" WM_CLASS '"torva", "Torva"'
    expect_property "$tape" WM_TRANSIENT_FOR ""
    # The tape's menu bar lies under its title strip: Print is its first item, a few cells in.
    read -r tx ty < <(xwininfo -id "$tape" |
        awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF } END { print x, y }')
    print=""
    for row in 0 1 2; do
        xdotool mousemove --sync $((tx + 8 * 2 + 4)) $((ty + 13 * row + 6)) click 1
        for _ in $(seq 1 10); do
            print=$(xdotool search --onlyvisible --name '^Print$' 2>/dev/null | head -1)
            [ -n "$print" ] && break 2
            sleep 0.1
        done
    done
    if [ -z "$print" ]; then
        fail "the tape's Print showed no print dialog"
    else
        # The dialog stays open: the signal below ends its modal loop too.
        expect_property "$print" WM_TRANSIENT_FOR "window id # $(printf '0x%x' "$tape")"
    fi
fi

# wait_end PID TENTHS: until the process has ended, at most TENTHS tenths of a second; sets
# $ended to how long it took.
wait_end() {
    local tenths
    ended=""
    for tenths in $(seq 1 "$2"); do
        if ! kill -0 "$1" 2>/dev/null; then
            ended="within $((tenths / 10)).$((tenths % 10)) s"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# SIGTERM and SIGINT end it as Quit does.
for signal in TERM INT; do
    [ -n "$torva_pid" ] || { seed_settings; start_torva; load_program; }
    pid=$torva_pid
    kill -s "$signal" "$pid"
    if ! wait_end "$pid" 100; then
        fail "SIG$signal: torva is still running after 10 s"
        stop_torva
        continue
    fi
    wait "$pid"
    status=$?
    torva_pid=""
    want=$((128 + $(kill -l "$signal")))
    [ "$status" -eq "$want" ] && ok "SIG$signal: status $status, ended $ended" ||
        fail "SIG$signal: status $status, not $want ($(tail -1 "$workdir/torva.err"))"
    left=$(ls -A "$TMPDIR")
    [ -z "$left" ] && ok "SIG$signal: the temporary directory is removed" ||
        fail "SIG$signal: TMPDIR still holds $left"
    # Whole: a section line first, then only keys, comments and section lines.
    if head -1 "$ini" | grep -qx '\[nv\]' &&
        ! grep -vE '^(\[[^]]+\]|;.*|[A-Za-z0-9_]+=.*)$' "$ini" | grep -q . &&
        grep -qx 'RADIX=16' "$ini" && grep -qx 'USER_NOTE=left alone' "$ini" &&
        grep -qx '; kept by hand' "$ini" && grep -qx 'APPLICATION_ULX=20' "$ini"; then
        ok "SIG$signal: the settings file is whole, with the keys it had and the program's"
    else
        fail "SIG$signal: the settings file is not as it should be:"
        cat "$ini" >&2
    fi
done

# The X server goes away under a running torva: it ends within a second or two, saying so once,
# with its temporary directory removed and the settings file as it was.
seed_settings
start_torva
load_program
cp "$ini" "$workdir/settings-before"
pid=$torva_pid
xvfb_stop
if ! wait_end "$pid" 50; then
    fail "lost display: torva is still running 5 s after the X server ended"
    stop_torva
else
    wait "$pid"
    status=$?
    torva_pid=""
    said=$(grep -c "connection to the X server is lost" "$workdir/torva.err")
    [ "$status" -eq 1 ] && [ "$said" -eq 1 ] &&
        ok "lost display: status 1, one message, ended $ended" ||
        fail "lost display: status $status, the message $said times ($(cat "$workdir/torva.err"))"
    left=$(ls -A "$TMPDIR")
    [ -z "$left" ] && ok "lost display: the temporary directory is removed" ||
        fail "lost display: TMPDIR still holds $left"
    cmp -s "$ini" "$workdir/settings-before" && ok "lost display: the settings file is intact" ||
        fail "lost display: the settings file changed"
fi

[ "$failed" -eq 0 ]
