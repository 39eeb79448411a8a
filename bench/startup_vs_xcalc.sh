#!/usr/bin/env bash
# torva's start-up and idle cost beside xcalc's, on a private Xvfb (1280x1024x24, 96 dpi, no
# window manager). Run by hand; no test runs it.
#
#   bench/startup_vs_xcalc.sh [PATH-TO-torva] [RUNS] [IDLE-SECONDS] [PATH-TO-OTHER-torva]
#
# PATH-TO-torva defaults to build/app/torva, RUNS (start-ups per row) to 5, IDLE-SECONDS (the
# quiet time over which wake-ups are counted) to 5. Three rows are measured in turn, round by
# round, so that whatever else the machine is doing falls on all of them alike (and two more for
# another build of torva, such as one of an earlier commit, when its path is given):
#   torva, new settings       a fresh, empty settings directory: the first start, which writes
#                             every key with its default
#   torva, existing settings  the directory a torva start before has filled
#   xcalc                     the anchor
# and printed as a markdown table, each value the median of RUNS starts:
#   mapped     ms from exec to the window being mapped (xdotool search --onlyvisible, polled
#              without pause)
#   drawn      ms from exec to the window's last drawn pixel: screenshots of the window are taken
#              one after another until two in a row are equal; the time of the first of the
#              two (the resolution is one screenshot, some tens of ms)
#   CPU        ms of CPU the process used from exec until it was idle, read one second after it
#              was drawn (the run time of every thread in /proc/PID/task/*/schedstat, in ns)
#   wake/s     times per second the idle process was scheduled over IDLE-SECONDS with nothing
#              happening on the screen and the pointer outside the window (voluntary and
#              involuntary context switches of every thread, /proc/PID/task/*/status)
#   RSS        VmRSS in KiB once idle, after the IDLE-SECONDS
#   stderr     lines the program wrote on standard error during the start (all runs)
# and, once per row after its last start, CPU/key: ms of user + system time per key over 200
# keys typed into the idle window (/proc/PID/stat before and after, the keys given a second to
# settle; one clock tick of 10 ms is 0.05 ms a key).
set -u

torva=${1:-build/app/torva}
runs=${2:-5}
idle=${3:-5}
other=${4:-}
keys=$(printf '123+456=%.0s' $(seq 1 25)) # 200 keys either calculator takes from the keyboard

xvfb_name=startup_vs_xcalc
. "$(dirname "$0")/../tests/support/xvfb.sh"
xvfb_need Xvfb xdotool import xcalc
for program in "$torva" ${other:+"$other"}; do
    [ -x "$program" ] || {
        echo "$xvfb_name: $program is not a program" >&2
        exit 1
    }
done

xvfb_start 24 -dpi 96
export DISPLAY=$display
unset TORVA_HOST TORVA_VERBOSE
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

cpu_ns() { # run time of every thread of the process
    cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { print s + 0 }'
}

switches() { # context switches of every thread: each one is the process waking up
    cat /proc/"$1"/task/*/status 2>/dev/null | awk '/ctxt_switches/ { s += $2 } END { print s + 0 }'
}

median() { sort -n | awk '{ v[NR] = $1 } END { print NR ? v[int((NR + 1) / 2)] : "n/a" }'; }

# start ROW TITLE CONFIG-DIR COMMAND...: starts the program, sets $pid, $id, $mapped and $drawn
# (ms), or returns 1 when its window does not come up. Standard error goes to $workdir/ROW.err.
start() {
    local row=$1 title=$2 config=$3
    shift 3
    xdotool mousemove 1279 1023 # nowhere near a window: no hover to wait for
    local t0
    t0=$(now_ms)
    TORVA_CONFIG_DIR=$config "$@" >/dev/null 2>>"$workdir/$row.err" &
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

# One start of a row: its values are appended to $workdir/ROW.values as
# "mapped drawn cpu-ms wakeups-per-s rss-KiB". With `keys` as the last argument the 200 keys
# are typed afterwards and CPU/key is written to $workdir/ROW.key.
measure_once() {
    local row=$1 title=$2 config=$3 command=$4 typing=${5:-}
    if ! start "$row" "$title" "$config" $command; then
        echo "no-window" >>"$workdir/$row.values"
        return
    fi
    sleep 1
    local cpu s0 s1 rss
    cpu=$(cpu_ns "$pid")
    s0=$(switches "$pid")
    sleep "$idle"
    s1=$(switches "$pid")
    rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status")
    echo "$mapped $drawn $(echo "scale=1; $cpu / 1000000" | bc) \
$(echo "scale=1; ($s1 - $s0) / $idle" | bc) $rss" >>"$workdir/$row.values"
    if [ -n "$typing" ]; then
        local before after
        xdotool windowfocus --sync "$id" 2>/dev/null
        before=$(cpu_ticks "$pid")
        xdotool type --delay 5 "$keys"
        sleep 1
        after=$(cpu_ticks "$pid")
        printf '%.3f\n' "$(echo "scale=6; ($after - $before) * 1000 / $ticks / 200" | bc)" \
            >"$workdir/$row.key"
        xdotool mousemove 1279 1023
    fi
    stop_program
}

column() { # the median of field N of a row's values
    awk -v n="$2" '$1 != "no-window" { print $n }' "$workdir/$1.values" | median
}

print_row() {
    local row=$1 name=$2
    if grep -q no-window "$workdir/$row.values" 2>/dev/null; then
        echo "| $name | no window: $(tail -1 "$workdir/$row.err") | | | | | | |"
        return
    fi
    printf '| %s | %s | %s | %s | %s | %s | %s | %s |\n' "$name" "$(column "$row" 1)" \
        "$(column "$row" 2)" "$(column "$row" 3)" "$(column "$row" 4)" "$(column "$row" 5)" \
        "$(cat "$workdir/$row.key" 2>/dev/null || echo n/a)" \
        "$(wc -l <"$workdir/$row.err" | tr -d ' ')"
}

torva_title="torva - Calculator v1\.6.*"
new=$workdir/new-config
existing=$workdir/existing-config
mkdir -p "$existing"
# Untimed: the libraries and fonts come into the page cache for both programs alike, and the
# existing settings file is written.
for row in warm-torva warm-xcalc warm-other; do : >"$workdir/$row.err"; done
measure_once warm-torva "$torva_title" "$existing" "$torva" >/dev/null
measure_once warm-xcalc Calculator "$existing" xcalc >/dev/null
[ -n "$other" ] && measure_once warm-other "$torva_title" "$existing" "$other" >/dev/null

for row in torva-new torva-existing xcalc other-new other-existing; do : >"$workdir/$row.err"; done
for r in $(seq 1 "$runs"); do
    typing=""
    [ "$r" -eq "$runs" ] && typing=keys
    rm -rf "$new"
    mkdir "$new"
    measure_once torva-new "$torva_title" "$new" "$torva" $typing
    measure_once torva-existing "$torva_title" "$existing" "$torva" $typing
    measure_once xcalc Calculator "$existing" xcalc $typing
    if [ -n "$other" ]; then
        rm -rf "$new"
        mkdir "$new"
        measure_once other-new "$torva_title" "$new" "$other" $typing
        measure_once other-existing "$torva_title" "$existing" "$other" $typing
    fi
done

echo "| program | mapped (ms) | drawn (ms) | CPU until idle (ms) | wake-ups/s idle | RSS idle (KiB) | CPU/key (ms) | stderr lines |"
echo "|---|---|---|---|---|---|---|---|"
print_row torva-new "torva, new settings"
print_row torva-existing "torva, existing settings"
print_row xcalc xcalc
if [ -n "$other" ]; then
    print_row other-new "$other, new settings"
    print_row other-existing "$other, existing settings"
fi
