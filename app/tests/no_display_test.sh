#!/usr/bin/env bash
# torva without a usable X display: it ends with status 1 at once, not waiting for a display
# (within 8 s, a bound for a hang, not a speed: the sanitizer build on a loaded machine took 2.3 s
# where a quiet one takes 0.1), says why in one line on standard error, and leaves no temporary or settings files behind. The headless host is
# never chosen unless TORVA_HOST asks for it. Usage: no_display_test.sh PATH-TO-torva
set -u
torva=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/torva-nodisplay.XXXXXX")
trap 'rm -rf "$work"' EXIT
failed=0

# check LABEL ENV-ARGS...: runs torva under `env ENV-ARGS...` with a private TMPDIR and config dir.
check() {
    local label=$1
    shift
    rm -rf "$work/tmp" "$work/config"
    mkdir "$work/tmp" "$work/config"
    local start end rc lines
    start=$(date +%s%N)
    env "$@" TMPDIR="$work/tmp" TORVA_CONFIG_DIR="$work/config" \
        timeout 10 "$torva" >"$work/out" 2>"$work/err"
    rc=$?
    end=$(date +%s%N)
    lines=$(wc -l <"$work/err")
    local problems=()
    [ "$rc" -eq 1 ] || problems+=("status $rc, not 1")
    [ $(((end - start) / 1000000)) -lt 8000 ] || problems+=("took $(((end - start) / 1000000)) ms")
    [ "$lines" -eq 1 ] || problems+=("$lines lines on standard error, not 1")
    # A line without its line feed is not counted above.
    [ -z "$(tail -c1 "$work/err")" ] || problems+=("standard error does not end its line")
    [ ! -s "$work/out" ] || problems+=("wrote on standard output")
    [ -z "$(ls -A "$work/tmp")" ] || problems+=("left $(ls -A "$work/tmp") in TMPDIR")
    [ -z "$(ls -A "$work/config")" ] || problems+=("wrote $(ls -A "$work/config") in the config dir")
    if [ ${#problems[@]} -eq 0 ]; then
        echo "ok   $label: $(cat "$work/err")"
    else
        failed=$((failed + 1))
        echo "FAIL $label:"
        printf '  %s\n' "${problems[@]}"
        sed 's/^/  stderr: /' "$work/err"
    fi
}

check "no DISPLAY, TORVA_HOST empty" -u DISPLAY TORVA_HOST=
check "no DISPLAY, TORVA_HOST unset" -u DISPLAY -u TORVA_HOST
check "no DISPLAY, TORVA_HOST=x11" -u DISPLAY TORVA_HOST=x11
check "a display nobody serves" DISPLAY=:4711 TORVA_HOST=
check "an unknown host" -u DISPLAY TORVA_HOST=wayland
exit $((failed > 0))
