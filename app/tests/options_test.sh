#!/usr/bin/env bash
# --help, --version and unknown options of both programs, as a table: the exit status, the first
# line on standard output and on standard error, and how many lines standard error has. torva
# runs without a display, so an option it answers is answered before the toolkit starts, and a
# word it leaves to the calculator ends in the no-display failure (status 1).
# Usage: options_test.sh PATH-TO-torva PATH-TO-torva-cli VERSION
set -u
torva=$1
cli=$2
version=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/torva-options.XXXXXX")
trap 'rm -rf "$work"' EXIT
failed=0

# check LABEL PROGRAM STATUS STDOUT-FIRST-LINE STDERR-FIRST-LINE STDERR-LINES -- ARGS...
# A first line written "usage*" matches any line that starts with "usage"; "" means no output.
check() {
    local label=$1 program=$2 status=$3 out=$4 err=$5 errLines=$6
    shift 7
    env -u DISPLAY TORVA_HOST= TMPDIR="$work" TORVA_CONFIG_DIR="$work/config" \
        timeout 10 "$program" "$@" >"$work/out" 2>"$work/err" </dev/null
    local rc=$? problems=()
    local gotOut gotErr gotLines
    gotOut=$(head -n1 "$work/out")
    gotErr=$(head -n1 "$work/err")
    gotLines=$(wc -l <"$work/err")
    [ "$rc" -eq "$status" ] || problems+=("status $rc, not $status")
    # shellcheck disable=SC2053 # the expected lines are patterns
    [[ "$gotOut" == $out ]] || problems+=("standard output starts \"$gotOut\", not \"$out\"")
    [[ "$gotErr" == $err ]] || problems+=("standard error starts \"$gotErr\", not \"$err\"")
    [ "$errLines" == "*" ] || [ "$gotLines" -eq "$errLines" ] ||
        problems+=("$gotLines lines on standard error, not $errLines")
    if [ ${#problems[@]} -eq 0 ]; then
        echo "ok   $label"
    else
        failed=$((failed + 1))
        echo "FAIL $label:"
        printf '  %s\n' "${problems[@]}"
    fi
}

usage='usage: torva [[]--help] [[]--version] [[]--verbose]'
cliUsage='usage: torva-cli *'
check "torva --help" "$torva" 0 "$usage" "" 0 -- --help
check "torva --version" "$torva" 0 "torva $version" "" 0 -- --version
check "torva: help after a word" "$torva" 0 "$usage" "" 0 -- word --help
check "torva: the first option wins" "$torva" 0 "torva $version" "" 0 -- --version --help
check "torva: unknown option" "$torva" 2 "" "torva: unknown option --bogus" 5 -- --bogus
check "torva: unknown short option" "$torva" 2 "" "torva: unknown option -h" 5 -- -h
check "torva: unknown option before help" "$torva" 2 "" "torva: unknown option -x" 5 -- -x --help
check "torva: --verbose is the calculator's" "$torva" 1 "" "*" 1 -- --verbose
check "torva: help after --verbose" "$torva" 0 "$usage" "" 0 -- --verbose --help
check "torva: words after -- go to the calculator" "$torva" 1 "" "*" 1 -- -- --help
check "torva: a lone dash goes to the calculator" "$torva" 1 "" "*" 1 -- -
check "torva-cli --help" "$cli" 0 "$cliUsage" "" 0 -- --help
check "torva-cli --version" "$cli" 0 "torva-cli $version" "" 0 -- --version
check "torva-cli: help after keys" "$cli" 0 "$cliUsage" "" 0 -- -k 1+2= --help
check "torva-cli: unknown option" "$cli" 2 "" "torva-cli: unknown option --bogus" "*" -- --bogus
# Typed as the panel's keys: 0 -, the E refused in decimal, ln waiting for an operand, pi.
check "torva-cli: a key text that looks like an option" "$cli" 0 " 3.14159265*" \
    "torva-cli: no digit E in radix 10" 1 -- -k --help

# The usage after an unknown option is the usage --help prints.
"$torva" --help >"$work/help" 2>/dev/null
"$torva" --bogus 2>&1 >/dev/null | tail -n +2 >"$work/usage"
cmp -s "$work/help" "$work/usage" || { failed=$((failed + 1)); echo "FAIL torva: the usage differs"; }
"$cli" --help >"$work/help" 2>/dev/null
"$cli" --bogus 2>&1 >/dev/null | tail -n +2 >"$work/usage"
cmp -s "$work/help" "$work/usage" ||
    { failed=$((failed + 1)); echo "FAIL torva-cli: the usage differs"; }
exit $((failed > 0))
