#!/usr/bin/env bash
# torva from outside on a private Xvfb without a window manager: the real program with a fresh
# settings directory, keys typed with xdotool, AllClr clicked with the pointer, and the display
# row read off screenshots by decode_display.py, which knows only the font and the layout.
# Usage: torva_e2e.sh PATH-TO-torva PATH-TO-decode_display.py [DIR-FOR-FAILED-SCREENSHOTS]
# Exit status 77 (skipped) only when torva ends at once saying its panel cannot be built.
set -u

torva=$1
decoder=$2
keep=${3:-}
title="torva - Calculator v1.6"
# The title goes on with the angle mode.
title_re="^torva - Calculator v1\.6"

xvfb_name=torva_e2e
. "$(dirname "$0")/../../tests/support/xvfb.sh"
xvfb_need Xvfb xdotool xwininfo xclip import convert python3

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
    echo "torva_e2e: FAILED: $*" >&2
    failed=$((failed + 1))
}

xvfb_start 24 -dpi 96
export DISPLAY=$display
export TORVA_CONFIG_DIR=$workdir/config
export TMPDIR=$workdir
unset TORVA_HOST
mkdir "$TORVA_CONFIG_DIR"

"$torva" >"$workdir/torva.out" 2>"$workdir/torva.err" &
torva_pid=$!

# The panel's window, or the reason there is none.
id=""
for _ in $(seq 1 200); do
    id=$(xdotool search --name "$title_re" 2>/dev/null | head -1)
    [ -n "$id" ] && break
    if ! kill -0 "$torva_pid" 2>/dev/null; then
        wait "$torva_pid"
        status=$?
        torva_pid=""
        if [ "$status" -eq 1 ] && tail -1 "$workdir/torva.err" | grep -q panel; then
            echo "torva_e2e: SKIPPED: $(tail -1 "$workdir/torva.err")"
            exit 77
        fi
        echo "torva_e2e: FAILED: torva ended with status $status before its window came up" >&2
        cat "$workdir/torva.err" >&2
        exit 1
    fi
    sleep 0.1
done
if [ -z "$id" ]; then
    echo "torva_e2e: FAILED: no window \"$title\" within 20 s" >&2
    exit 1
fi
if ! timeout 20 xdotool search --sync --onlyvisible --name "$title_re" >/dev/null; then
    echo "torva_e2e: FAILED: the window \"$title\" is not shown within 20 s" >&2
    exit 1
fi

# A normal start says nothing on standard error (font substitutions only with --verbose), and
# the idle panel sleeps: with the pointer away from it (a rest on a key would wait for its
# tooltip), the process is not woken once in two seconds.
xdotool mousemove 1279 1023
sleep 1.5
[ -s "$workdir/torva.err" ] && fail "a normal start wrote on standard error: $(head -3 "$workdir/torva.err")"
wakes() { cat /proc/"$torva_pid"/task/*/status | awk '/ctxt_switches/ { s += $2 } END { print s }'; }
before=$(wakes)
sleep 2
after=$(wakes)
if [ "$after" -eq "$before" ]; then
    echo "ok   nothing on standard error, and no wake-up in two idle seconds"
else
    fail "the idle panel woke $((after - before)) times in two seconds"
fi

# The first start writes every setting the panel reads, each with its default.
ini=$TORVA_CONFIG_DIR/torva.ini
for setting in RADIX=10 MANTISSA_DIGITS=10 EXPONENT_DIGITS=2 NUMBER_FORMAT=0 \
    APPLICATION_ULX=20 APPLICATION_ULY=20 DIGIT_FRG_RED=10 DIGIT_FRG_GRN=240 DIGIT_FRG_BLU=230 \
    NUM_STORABLE_NUMBERS=16 NUMBER_KEY_FONTFACE=helvetica; do
    grep -qx "$setting" "$ini" 2>/dev/null || fail "$ini does not hold $setting"
done

read -r ox oy < <(xwininfo -id "$id" |
    awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF } END { print x, y }')

# The panel takes the keyboard; the pointer rests on the display, away from the keys.
focus() {
    xdotool mousemove --sync $((ox + 200)) $((oy + 20))
    xdotool windowfocus --sync "$id" 2>/dev/null
}

# AllClr is the key at cells 20..24, rows 4..5; no keyboard key does what it does.
all_clear() {
    xdotool mousemove --sync $((ox + 20 * 8 + 20)) $((oy + 4 * 13 + 13)) click 1
    focus
}

# expect LABEL READING: the display reads READING within 5 s of the last input.
expect() {
    local label=$1 want=$2 got=""
    for _ in $(seq 1 25); do
        import -window root "$workdir/shot.png" 2>/dev/null
        got=$(python3 "$decoder" "$workdir/shot.png" --window "$id" 2>"$workdir/decode.err")
        [ "$got" == "$want" ] && break
        sleep 0.2
    done
    if [ "$got" == "$want" ]; then
        echo "ok   $label: \"$got\""
    else
        fail "$label: the display reads \"$got\", not \"$want\" $(cat "$workdir/decode.err")"
        [ -n "$keep" ] && cp "$workdir/shot.png" "$keep/torva_e2e-failed-$failed.png"
    fi
}

# The row reads: the sign cell and the ten mantissa cells, '|', the exponent sign cell and the
# two exponent cells; a digit with its point reads as "4.".
focus
expect "a first start shows 0" "          0|   "

# keys typed after AllClr, the reading
cases=(
    "1234.5=" "      1234.5|   "
    ".00123=" "     0.00123|   "
    ".000123=" "        1.23| -4"
    "1x12=" "          1| 12"
    "5x" "          5|  0"
    "123v" "       -123|   "
    "5/0=" " ----------| --"
)
for ((i = 0; i < ${#cases[@]}; i += 2)); do
    all_clear
    xdotool type --delay 40 "${cases[i]}"
    expect "${cases[i]}" "${cases[i + 1]}"
done
all_clear
expect "AllClr after an error shows 0" "          0|   "

# Alt+A is All Clear on the keyboard, Alt+H the radix 16 radio; Ctrl+C copies the number shown
# to the clipboard as text, and Ctrl+V takes the clipboard's number as X, or refuses a text that
# is none with the bell and a note in the title, X unchanged.
xdotool type --delay 40 "77"
xdotool key alt+a
expect "Alt+A clears" "          0|   "
xdotool key alt+h
xdotool type --delay 40 "ff"
expect "radix 16, then ff" "         FF|   "
xdotool key ctrl+c
sleep 0.3
copied=$(timeout 5 xclip -o -selection clipboard 2>/dev/null)
[ "$copied" == "0xFF" ] || fail "Ctrl+C put \"$copied\" on the clipboard, not 0xFF"
xdotool key alt+d alt+a
printf '%s' "-1.5e-3" | timeout 5 xclip -i -selection clipboard
sleep 0.3
xdotool key ctrl+v
expect "Ctrl+V takes -1.5e-3" "     -0.0015|   "
printf '%s' "12abc" | timeout 5 xclip -i -selection clipboard
sleep 0.3
xdotool key ctrl+v
name=""
for _ in $(seq 1 25); do
    name=$(xdotool getwindowname "$id" 2>/dev/null)
    [[ "$name" == *"  - paste refused: not a number in radix 10" ]] && break
    sleep 0.2
done
[[ "$name" == *"  - paste refused: not a number in radix 10" ]] ||
    fail "a pasted 12abc left the title \"$name\""
expect "Ctrl+V refuses 12abc: X stays" "     -0.0015|   "
xdotool type --delay 40 "+1="
expect "the calculation goes on with X" "      0.9985|   "
name=$(xdotool getwindowname "$id" 2>/dev/null)
[[ "$name" =~ $title_re" "+"["[A-Z]+"]"$ ]] || fail "the next key left the title \"$name\""
xdotool key alt+a

# pi through the double is cut at the tenth digit; Alt+X turns on exact functions and pi is
# rounded; Alt+X again turns them off.
xdotool type --delay 40 "p"
expect "pi through the double" " 3.141592653|   "
xdotool key alt+x alt+a
xdotool type --delay 40 "p"
expect "pi with exact functions" " 3.141592654|   "
xdotool key alt+x alt+a

# Alt+T opens the printer tape two cells right of the panel, at its top, and writes its font
# setting; the tape's menu item Close (the second on its bar) closes it. Opened again, it goes
# with the panel at Quit.
tape_title="^torva - printer\$"
# wait_window TITLE-RE 1|0: until a window of that title is shown (its id in $shown), or gone.
wait_window() {
    for _ in $(seq 1 50); do
        shown=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
        if [ "$2" -eq 1 ]; then [ -n "$shown" ] && return 0; else [ -z "$shown" ] && return 0; fi
        sleep 0.1
    done
    return 1
}
wait_tape() { wait_window "$tape_title" "$1" && tape=$shown; }
focus
xdotool key alt+t
if ! wait_tape 1; then
    fail "Alt+T showed no printer tape"
else
    read -r tx ty < <(xwininfo -id "$tape" |
        awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF } END { print x, y }')
    [ "$tx" -eq $((ox + (54 + 1) * 8)) ] && [ "$ty" -eq "$oy" ] ||
        fail "the tape is at $tx,$ty, not two cells right of the panel at $ox,$oy"
    grep -q "^PRT_WIND_FONT=face:courier!height:120" "$ini" ||
        fail "$ini does not hold the tape's font"
    xdotool mousemove --sync $((tx + 50)) $((ty + 9)) click 1
    wait_tape 0 || fail "the tape's Close left it open"
    focus
    xdotool key alt+t
    wait_tape 1 || fail "Alt+T did not open the tape again"
    focus
    xdotool type --delay 40 "2+3="
    expect "the calculator with its tape" "          5|   "
    # Ctrl+Z takes the Equals back, Ctrl+Y and Ctrl+Shift+Z put it back.
    xdotool key ctrl+z
    expect "Ctrl+Z takes back =" "          3|   "
    xdotool key ctrl+y
    expect "Ctrl+Y puts it back" "          5|   "
    xdotool key ctrl+z ctrl+shift+z
    expect "Ctrl+Shift+Z puts it back" "          5|   "
    # A double click on the tape's first line (the 2 typed first, below the menu bar and the
    # list's inset) enters its number as X, which starts a new calculation after the result.
    xdotool mousemove --sync $((tx + 60)) $((ty + 2 * 13 + 14)) click --repeat 2 --delay 80 1
    expect "a double click recalls the tape's 2" "          2|   "
    [ -n "$keep" ] && import -window root "$keep/torva_e2e-recall.png" 2>/dev/null
    focus
    xdotool type --delay 40 "X4="
    expect "the recalled 2 X 4" "          8|   "
fi

# Alt+G opens the program window (with the tape closed, so that it opens where the tape was).
# Record, keys typed on the panel, Edit: the steps; Ctrl+S saves them under the name typed into
# the file question; 2D Plot and Run: the plot window shows, pixel for pixel, the picture
# torva-cli draws for the saved file at the plot window's size. Close then closes the window.
prog_title="^torva - program\$"
wait_program() { wait_window "$prog_title" "$1" && prog=$shown; }
# button ROW: a click on the program window's button column at that cell row.
button() { xdotool mousemove --sync $((px + 32)) $((py + $1 * 13 + 6)) click 1; }
focus
[ -n "${tape:-}" ] && xdotool key alt+t && wait_tape 0
focus
xdotool key alt+g
if ! wait_program 1; then
    fail "Alt+G showed no program window"
else
    read -r px py < <(xwininfo -id "$prog" |
        awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF } END { print x, y }')
    all_clear
    button 8 # Record
    focus
    xdotool type --delay 40 "/2="
    button 6 # Edit
    saved=$workdir/half.tor
    # A click in the listing gives the program window the keyboard (there is no window manager).
    xdotool mousemove --sync $((px + 100)) $((py + 300)) click 1
    xdotool key ctrl+s
    sleep 0.5
    xdotool type --delay 20 "$saved"
    xdotool key Return
    for _ in $(seq 1 50); do
        [ -s "$saved" ] && break
        sleep 0.1
    done
    printf '/\n2\n=\n__ end __\n' >"$workdir/want.tor"
    cmp -s "$saved" "$workdir/want.tor" ||
        fail "the recording was saved as \"$(cat "$saved" 2>/dev/null)\", not / 2 = and the end marker"
    button 27 # 2D Plot
    button 19 # Run
    sleep 1.5
    # The plot window: the program window's child 200 pixels right of its left edge.
    read -r pw ph pax pay < <(xwininfo -tree -id "$prog" |
        awk '$0 ~ /x[0-9]+\+200\+0 / { split($(NF-1), g, /[x+]/); split($NF, a, /\+/);
                                        print g[1], g[2], a[2], a[3]; exit }')
    if [ -z "${pw:-}" ]; then
        fail "no plot window in the program window"
    else
        "$(dirname "$torva")/torva-cli" --plot "$workdir/want.png" --plot-size "${pw}x$ph" \
            "$saved" >/dev/null 2>&1 || fail "torva-cli could not plot $saved"
        import -window root "$workdir/shot.png" 2>/dev/null
        verdict=$(python3 - "$workdir/shot.png" "$workdir/want.png" "$pax" "$pay" <<'PY'
import subprocess, sys
def rgb(path, crop=None):
    args = ["convert", path] + (["-crop", crop, "+repage"] if crop else []) + ["rgb:-"]
    return subprocess.run(args, capture_output=True, check=True).stdout
size = subprocess.run(["identify", "-format", "%w %h", sys.argv[2]], capture_output=True,
                      text=True, check=True).stdout.split()
w, h = int(size[0]), int(size[1])
want = rgb(sys.argv[2])
got = rgb(sys.argv[1], "%dx%d+%s+%s" % (w, h, sys.argv[3], sys.argv[4]))
differ = sum(1 for i in range(0, len(want), 3) if want[i:i + 3] != got[i:i + 3])
ink = sum(1 for i in range(0, len(got), 3) if got[i:i + 3] != b"\xff\xff\xff")
print(differ, ink)
PY
)
        read -r differ ink <<<"$verdict"
        if [ "${differ:-x}" == "0" ] && [ "${ink:-0}" -gt 300 ]; then
            echo "ok   the plot window shows torva-cli's picture (${pw}x$ph, $ink pixels of ink)"
        else
            fail "the plot window differs from torva-cli's picture in ${differ:-?} pixels (ink ${ink:-?})"
            [ -n "$keep" ] && cp "$workdir/shot.png" "$keep/torva_e2e-plot.png"
        fi
    fi
    button 34 # Close
    wait_program 0 || fail "Close left the program window open"
    focus
fi

# Quit (cells 45..53, rows 14..15) closes the panel, and the program ends with 0.
if kill -0 "$torva_pid" 2>/dev/null; then
    xdotool mousemove --sync $((ox + 45 * 8 + 36)) $((oy + 14 * 13 + 13)) click 1
    for _ in $(seq 1 50); do
        kill -0 "$torva_pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$torva_pid" 2>/dev/null; then
        fail "torva still runs 5 s after Quit"
    else
        wait "$torva_pid"
        status=$?
        torva_pid=""
        [ "$status" -eq 0 ] || fail "torva ended with status $status after Quit"
    fi
else
    fail "torva ended during the keys: $(cat "$workdir/torva.err")"
fi
[ "$failed" -eq 0 ] && echo "torva_e2e: every reading held"
exit $((failed > 0))
