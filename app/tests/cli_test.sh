#!/usr/bin/env bash
# torva-cli from outside: each case runs the program and compares its standard output and
# exit status exactly. Usage: cli_test.sh PATH-TO-torva-cli
set -u
cli=$1
passed=0
failed=0

# check LABEL EXPECTED-STATUS EXPECTED-OUTPUT [STDIN] -- ARGS...
check() {
    local label=$1 status=$2 expected=$3 input=$4
    shift 5
    local output rc
    output=$(printf '%s' "$input" | timeout 60 "$cli" "$@" 2>/dev/null)
    rc=$?
    if [ "$output" == "$expected" ] && [ "$rc" -eq "$status" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf 'FAIL %s\n  expected (%s): %q\n  got      (%s): %q\n' \
            "$label" "$status" "$expected" "$rc" "$output"
    fi
}

tape=$'           12 \nX          3 \n           36 \n+          4 \n=          40 \n 40'

check "precedence" 0 " 14" "" -- -k '2+3X4='
check "raw" 0 "+0.3142857143 X 10 ** 1" "" -- --raw -k '22/7='
check "divide by zero" 1 "ERR" "" -- -k '5/0='
check "hexadecimal" 0 " 100" "" -- --radix 16 -k 'ff+1='
check "tape" 0 "$tape" "" -- --tape -k '12X3+4='
check "parentheses" 0 " 14" "" -- -k '2X(3+4)='
check "pressed power" 0 " 27" "" -- -k '1+2' -p p -k '3='
check "standard input" 0 " 42" $'6*7\n' --
check "indicators" 0 $' 2\ncarry=1 overflow=0' "" -- --format int --indicators -k '5-3='
check "empty stack" 0 "EMPTY" "" -- --raw
check "disabled key" 0 " 5" "" -- --format int -p . -k 5
check "scientific" 0 " 1.2345 4" "" -- --notation sci -k '12345='
check "fixed point" 0 " 1.50" "" -- --fixed 2 -k '1.5='
check "radians" 0 " 0.841470985" "" -- --radians -k 1s
# Exact functions: every digit of the function and of pi right, the bridge's cut digits without.
check "ln through the double" 0 " 0.69314718055994528622676398300" "" -- --digits 30 -k 2l
check "exact ln" 0 " 0.69314718055994530941723212146" "" -- --digits 30 --exact-functions -k 2l
check "exact sin 30" 0 " 0.5" "" -- --digits 30 --exact-functions -k 30s
check "exact pi" 0 " 3.14159265358979323846264338328" "" -- --digits 30 --exact-functions -p pi
check "exact e^x in hex" 0 " 2.B7E151628AED2A6ABF7" "" -- --radix 16 --auto-format off --digits 20 --exact-functions -k 1 -p e
check "exact domain error" 1 "ERR" "" -- --exact-functions -k 0l
check "four digits" 0 " 0.667" "" -- --digits 4 -k '2/3='
check "binary" 0 " 1010" "" -- --radix 2 -k '101+101='
check "negative integer" 0 " 9999999995" "" -- --format int -k '0-5='
check "exponent entry" 0 " 5 0" "" -- -k 5x
check "a negative value shown as zeros" 0 "-0.00000" "" -- --digits 6 -k '.145vx5v='
check "the same in octal" 0 "-0.000" "" -- --radix 8 --auto-format off --digits 4 -k '.6vx5v='
# The modulus is the exact remainder, with the sign of the dividend.
check "10 mod 3" 0 " 1" "" -- -k '10%3='
check "7.5 mod 2" 0 " 1.5" "" -- -k '7.5%2='
check "-7.5 mod 2" 0 "-1.5" "" -- -k '7.5v%2='
check "1E20 mod 3" 0 " 1" "" -- -k '1x20%3='
check "5 mod 0.3" 0 " 0.2" "" -- -k '5%.3='
check "mod 0" 1 "ERR" "" -- -k '5%0='
check "integer mod" 0 " 2" "" -- --format int -k '17%5='
# An opening parenthesis at the start opens; while a number is typed it is ignored.
check "a parenthesis first" 0 " 9" "" -- -k '(1+2)X3='
check "and again" 0 " 14" "" -- -k '(3+4)X2='
check "a parenthesis after clear all" 0 " 9" "" -- -k '5' -p AllClr -k '(1+2)X3='
check "a parenthesis after a number" 0 " 6" "" -- -k '5(+1='
# The keys are the panel's keyboard: p is pi and r is 1/x, as on the panel.
check "p is pi" 0 " 3" "" -- -k pI
check "r is 1/x" 0 " 0.25" "" -- -k 4r
check "pi's key by name" 0 " 3" "" -- -p pi -p Int
check "x^y by name" 0 " 8" "" -- -k 2 -p p -k '3='
# Options set the calculator whatever their order: a format given wins over the radix's.
check "--radix, then --format" 0 " 0.249249249" "" -- --radix 16 --format float -k 1/7=
check "--format, then --radix" 0 " 0.249249249" "" -- --format float --radix 16 -k 1/7=
check "the radix's format" 0 " 0" "" -- --radix 16 -k 1/7=
check "an integer format in decimal" 0 " 2" "" -- --format int --radix 10 -k 5/2=
# A key the panel refuses types nothing: what follows goes on.
check "no point in the integer format" 0 " 15" "" -- --format int -k 1.5
check "no exponent in the integer format" 0 " 123" "" -- --format int -k 12x3
check "no 2 in binary" 0 " 101" "" -- --radix 2 -k 1021
# Every diagnostic on standard error ends its own line.
messages=$("$cli" -e A -e = 2>&1 >/dev/null)
if [ "$messages" == $'radix 16 chars not allowed\nAtoNumber: Illegal Digit: A (41)\nFatal Error: Math Error' ]; then
    passed=$((passed + 1))
else
    failed=$((failed + 1))
    printf 'FAIL diagnostics on their own lines\n  got: %q\n' "$messages"
fi
# A refused key is named on standard error, one line each, and the exit status stays 0.
refusals=(
    "--format int -k 1.5" "torva-cli: no radix point in the integer format"
    "--format int -k 1x" "torva-cli: no exponent in the integer format"
    "--format int -p Int" "torva-cli: no Int in the integer format"
    "--radix 8 -k 78" "torva-cli: no digit 8 in radix 8"
    "-k 1a" "torva-cli: no digit A in radix 10"
    "--format int -k 1.5.5" $'torva-cli: no radix point in the integer format\ntorva-cli: no radix point in the integer format'
)
for ((i = 0; i < ${#refusals[@]}; i += 2)); do
    # shellcheck disable=SC2086 # the options are words
    messages=$("$cli" ${refusals[i]} 2>&1 >/dev/null)
    if [ "$messages" == "${refusals[i + 1]}" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf 'FAIL refusal of %s\n  got: %q\n' "${refusals[i]}" "$messages"
    fi
done
# Settings from a file, as the panel reads them; the options still win.
settings=$(mktemp -d)
printf '[nv]\nRADIX=16\nMANTISSA_DIGITS=4\n' > "$settings/torva.ini"
check "settings file" 0 " 100" "" -- --settings "$settings/torva.ini" -k 'ff+1='
check "option over settings" 0 " 0.667" "" -- --settings "$settings/torva.ini" --radix 10 -k '2/3='
# The angle mode is the panel's: radians when the file says so, whatever torva-cli defaults to.
printf '[nv]\nANGLE_FORMAT=1\n' > "$settings/radians.ini"
check "angle mode from the settings" 0 " 0.893996664" "" -- --settings "$settings/radians.ini" -k 90s
check "degrees without a file" 0 " 1" "" -- -k 90s
printf '[nv]\nEXACT_FUNCTIONS=1\nMANTISSA_DIGITS=12\n' > "$settings/exact.ini"
check "exact functions from the settings" 0 " 0.5" "" -- --settings "$settings/exact.ini" -k 30s
if grep -q '^APPLICATION_ULX=20$' "$settings/torva.ini" && grep -q '^RADIX=16$' "$settings/torva.ini"; then
    passed=$((passed + 1))
else
    failed=$((failed + 1))
    echo "FAIL settings defaults written back"
fi
mkfifo "$settings/fifo.ini"
check "a FIFO as the settings file" 0 " 2" "" -- --settings "$settings/fifo.ini" -k '1+1='
# Programs: step lines and program files.
prog=$(mktemp -d)
trap 'rm -rf "$settings" "$prog"' EXIT
printf '2\nx^y\n1\n0\n=\n__ end __\n' > "$prog/power"
printf 'x^2\n+\n1\n=\n__ end __\n' > "$prog/square"
printf '1\n0\n0\n0\nstore A\n:loop\nrecall A\n-\n1\n=\nstore A\nif >= 0 goto loop\n__ end __\n' \
    > "$prog/countdown"
printf ':again\ngoto again\n' > "$prog/forever"
printf '5\n/\n0\n=\n' > "$prog/divide"
check "program file" 0 " 1024" "" -- "$prog/power"
check "program with x typed first" 0 " 10" "" -- -k 3 "$prog/square"
check "countdown loop" 0 "-1" "" -- "$prog/countdown"
check "step limit" 3 " 0" "" -- --max-steps 1000 "$prog/forever"
check "math error in a program" 1 "ERR" "" -- "$prog/divide"
check "step lines" 0 " 8" "" -- -e 5 -e + -e 3 -e =
check "a fatal step, then keys" 3 " 4" "" -- -e bogus -k '2+2='
check "missing program" 2 "" "" -- "$prog/none"
mkfifo "$prog/fifo"
check "a FIFO as the program" 2 "" "" -- "$prog/fifo"
if "$cli" --max-steps 10 "$prog/forever" 2>&1 >/dev/null | grep -qx 'Fatal Error: step limit reached'; then
    passed=$((passed + 1))
else
    failed=$((failed + 1))
    echo "FAIL step limit message"
fi

# Undo and redo between keys: the key taken back is as if it had never been typed.
check "undo an operand" 0 " 6" "" -- -k 2+3 --undo -k 4=
check "undo an operator" 0 " 6" "" -- -k '2+' --undo -k 'X3='
check "undo out of the error state" 0 " 0.25" "" -- -k '1/0=' --undo -k '4='
check "a store kept" 0 " 5" "" -- -k 5 -e 'store A' -k 7 -e 'recall A'
check "a store taken back" 1 "ERR" "" -- -k 5 -e 'store A' --undo -k 7 -e 'recall A'
check "redo" 0 " 15" "" -- -k '12+3=' --undo --undo --redo --redo
check "a new key ends redo" 0 " 19" "" -- -k '12+3=' --undo --undo -k 7 --redo -k '='
check "nothing to undo" 0 " 5" "" -- --undo -k 5
check "undo and the radix switch" 0 " 255" "" -- -k 255 -p mr16 --undo
check "undo on the tape" 0 $'           2 \n+         \nundo       2 \n           4 \n=          6 \n 6' "" -- --tape -k 2+3 --undo -k 4=
check "bad radix" 2 "" "" -- --radix 7
check "unknown key" 2 "" "" -- -p Nope
check "unknown option" 2 "" "" -- --colour

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
