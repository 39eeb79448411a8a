#!/usr/bin/env bash
# torva's start-up and idle cost beside xcalc's, on a private Xvfb (1280x1024x24, 96 dpi, no
# window manager). Run by hand; no test runs it.
#
#   bench/startup_vs_xcalc.sh [PATH-TO-torva] [RUNS]
#
# PATH-TO-torva defaults to build/app/torva, RUNS (start-ups per program) to 5. For each program
# it measures, and prints as a markdown table:
#   mapped     ms from exec to the window being mapped (xdotool search --onlyvisible, polled
#              without pause), median of RUNS
#   drawn      ms from exec to the window's last drawn pixel: screenshots of the window are taken
#              one after another until two in a row are equal; the time of the first of the
#              two, median of RUNS (the resolution is one screenshot, some tens of ms)
#   RSS        VmRSS in KiB one second after the last start-up was drawn
#   CPU/key    ms of user + system time per key over 200 keys typed into the idle window
#              (/proc/PID/stat before and after, the keys given a second to settle; one clock
#              tick of 10 ms is 0.05 ms a key)
# torva gets a fresh settings directory on every start, so each start is a first start.
set -u

torva=${1:-build/app/torva}
runs=${2:-5}
keys=$(printf '123+456=%.0s' $(seq 1 25)) # 200 keys either calculator takes from the keyboard

xvfb_name=startup_vs_xcalc
. "$(dirname "$0")/../tests/support/xvfb.sh"
xvfb_need Xvfb xdotool import xcalc
[ -x "$torva" ] || {
    echo "$xvfb_name: $torva is not a program" >&2
    exit 1
}

xvfb_start 24 -dpi 96
export DISPLAY=$display
unset TORVA_HOST
ticks=$(getconf CLK_TCK)

pid=""
stop_program() {
    if [ -n "$pid" ]; then
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        pid=""
    fi
}
trap 'stop_program; xvfb_cleanup' EXIT

now_ms() { echo $(($(date +%s%N) / 1000000)); }

cpu_ticks() { # utime + stime of the process; the name in parentheses may hold blanks
    sed 's/.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'
}

median() { sort -n | awk '{ v[NR] = $1 } END { print NR ? v[int((NR + 1) / 2)] : "n/a" }'; }

# start NAME TITLE COMMAND...: starts the program, sets $pid, $id, $mapped and $drawn (ms), or
# returns 1 when its window does not come up.
start() {
    local title=$2
    shift 2
    rm -rf "$workdir/config"
    mkdir "$workdir/config"
    local t0
    t0=$(now_ms)
    TORVA_CONFIG_DIR=$workdir/config "$@" >/dev/null 2>"$workdir/stderr" &
    pid=$!
    # Polled here: xdotool search --sync looks only every half second.
    id=""
    while [ -z "$id" ] && [ $(($(now_ms) - t0)) -lt 20000 ] && kill -0 "$pid" 2>/dev/null; do
        id=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -1)
        mapped=$(now_ms)
    done
    if [ -z "$id" ]; then
        stop_program
        return 1
    fi
    mapped=$((mapped - t0))
    local previous="" shot t
    for n in $(seq 1 200); do
        t=$(now_ms)
        shot=$workdir/shot$((n % 2)).ppm
        import -window "$id" "$shot" 2>/dev/null
        if [ -n "$previous" ] && cmp -s "$shot" "$previous"; then
            break
        fi
        previous=$shot
        drawn=$((t - t0))
    done
}

# measure NAME TITLE COMMAND...: prints one table row.
measure() {
    local name=$1 title=$2 maps=() draws=() r
    for r in $(seq 1 "$runs"); do
        if ! start "$@"; then
            echo "| $name | no window: $(tail -1 "$workdir/stderr") | | | |"
            return
        fi
        maps+=("$mapped")
        draws+=("$drawn")
        [ "$r" -lt "$runs" ] && stop_program
    done
    sleep 1
    local rss before after
    rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status")
    xdotool mousemove --sync 0 0
    xdotool windowfocus --sync "$id" 2>/dev/null
    before=$(cpu_ticks "$pid")
    xdotool type --delay 5 "$keys"
    sleep 1
    after=$(cpu_ticks "$pid")
    stop_program
    printf '| %s | %s | %s | %s | %s |\n' "$name" \
        "$(printf '%s\n' "${maps[@]}" | median)" "$(printf '%s\n' "${draws[@]}" | median)" "$rss" \
        "$(printf '%.3f' "$(echo "scale=6; ($after - $before) * 1000 / $ticks / 200" | bc)")"
}

echo "| program | mapped (ms) | drawn (ms) | RSS idle (KiB) | CPU/key (ms) |"
echo "|---|---|---|---|---|"
measure torva "torva - Calculator v1\.6.*" "$torva"
measure xcalc Calculator xcalc
