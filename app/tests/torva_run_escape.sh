#!/usr/bin/env bash
# A running program stops at Escape wherever the keyboard is: the real torva on a private Xvfb,
# a program that loops for ever loaded into the program window through its Load question, Run
# clicked, the pointer clicked on the place to try (the Run button itself, the plot, the
# listing, the panel), and Escape typed with xdotool. The run is going while torva uses the
# processor, and has stopped when it no longer does; the time from the key to the last tick of
# processor time must be well under a second (the window means to stop within 200 ms; the
# machine running the tests may be busy, so the bound here is generous, and the times are
# printed). Usage: torva_run_escape.sh PATH-TO-torva
set -u

torva=$1
xvfb_name=torva_run_escape
. "$(dirname "$0")/../../tests/support/xvfb.sh"
xvfb_need Xvfb xdotool xwininfo python3

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
    echo "torva_run_escape: FAILED: $*" >&2
    failed=$((failed + 1))
}

xvfb_start 24 -dpi 96
export DISPLAY=$display
export TORVA_CONFIG_DIR=$workdir/config
export TMPDIR=$workdir
unset TORVA_HOST
mkdir "$TORVA_CONFIG_DIR"
printf ':top\n1\n+\n1\n=\ngoto top\n__ end __\n' >"$workdir/loop.tor"

"$torva" >"$workdir/torva.out" 2>"$workdir/torva.err" &
torva_pid=$!

# window TITLE-RE: the id of the first window whose title matches, waiting up to 20 s.
window() {
    local id=""
    for _ in $(seq 1 200); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
        [ -n "$id" ] && break
        sleep 0.1
    done
    echo "$id"
}

# origin ID: the window's upper left corner on the screen, "x y".
origin() {
    xwininfo -id "$1" |
        awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF } END { print x, y }'
}

panel=$(window "^torva - Calculator v1\.6")
[ -n "$panel" ] || { echo "torva_run_escape: FAILED: no panel within 20 s" >&2; exit 1; }
xdotool windowfocus --sync "$panel" 2>/dev/null
xdotool key alt+g
program=$(window "^torva - program")
[ -n "$program" ] || { echo "torva_run_escape: FAILED: no program window" >&2; exit 1; }
xdotool windowfocus --sync "$program" 2>/dev/null
xdotool key ctrl+o
[ -n "$(window "^Load Program")" ] || { echo "torva_run_escape: FAILED: no Load question" >&2; exit 1; }
sleep 0.3
xdotool type --delay 20 "$workdir/loop.tor"
xdotool key Return
sleep 0.5

read -r px py < <(origin "$panel")
read -r ox oy < <(origin "$program")
# The Run button is the column's at cells 0..7, rows 19..20; the plot lies right of the listing.
run_x=$((ox + 30)) run_y=$((oy + 19 * 13 + 13))
places=(
    "the Run button" "$run_x $run_y"
    "the plot" "$((ox + 300)) $((oy + 200))"
    "the listing" "$((ox + 100)) $((oy + 300))"
    "the panel's display" "$((px + 300)) $((py + 20))"
)

# Processor ticks of torva so far.
ticks() { python3 -c 'import sys; f = open(sys.argv[1]).read().rsplit(")", 1)[1].split(); print(int(f[11]) + int(f[12]))' "/proc/$torva_pid/stat"; }

for ((i = 0; i < ${#places[@]}; i += 2)); do
    label=${places[i]}
    read -r x y <<<"${places[i + 1]}"
    xdotool mousemove "$run_x" "$run_y" sleep 0.1 click 1
    sleep 0.2
    xdotool mousemove "$x" "$y" sleep 0.1 click 1
    before=$(ticks)
    sleep 0.3
    if [ "$(ticks)" -le "$before" ]; then
        fail "$label: the program does not run after Run"
        continue
    fi
    # Milliseconds from just before the key to the last tick of processor time, watched until
    # torva has used none for 400 ms; "running" when it never stops using it within 3 s.
    took=$(python3 - "$torva_pid" <<'EOF'
import subprocess, sys, time
stat = f"/proc/{sys.argv[1]}/stat"
def ticks():
    f = open(stat).read().rsplit(")", 1)[1].split()
    return int(f[11]) + int(f[12])
start = time.monotonic()
subprocess.run(["xdotool", "key", "Escape"], check=True)
seen, changed = ticks(), time.monotonic()
while time.monotonic() - changed < 0.4:
    if time.monotonic() - start > 3:
        print("running")
        sys.exit()
    time.sleep(0.005)
    now = ticks()
    if now != seen:
        seen, changed = now, time.monotonic()
print(int((changed - start) * 1000))
EOF
)
    if [ "$took" == "running" ] || [ "$took" -gt 1000 ]; then
        fail "$label: Escape did not stop the run ($took ms)"
    else
        echo "ok   Escape on $label stopped the run in $took ms"
    fi
done

kill -0 "$torva_pid" 2>/dev/null || fail "torva ended: $(cat "$workdir/torva.err")"
[ "$failed" -eq 0 ] || exit 1
echo "torva_run_escape: all passed"
