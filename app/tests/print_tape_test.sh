#!/usr/bin/env bash
# torva-cli --print-tape: the tape of the keys typed, printed to PDF and PostScript through the
# toolkit's printing on the headless host and read back with poppler: every field in its column
# (operation names from column 1, the sign in 11, the digits from 12), the engine's messages on
# lines of their own, a relative name in the working directory, a failure reported with exit 4.
# Usage: print_tape_test.sh PATH-TO-torva-cli
set -u
cli=$(readlink -f "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

# words FILE: "line column word" for every word, columns counted in the tape's fixed pitch.
words() {
    pdftotext -bbox "$1" - | python3 -c '
import re, sys
rows = []
for m in re.finditer(r"xMin=\"([\d.]+)\" yMin=\"([\d.]+)\" xMax=\"([\d.]+)\"[^>]*>([^<]*)<", sys.stdin.read()):
    x0, y, x1, w = float(m.group(1)), float(m.group(2)), float(m.group(3)), m.group(4)
    rows.append((y, x0, x1, w))
pitch = min((x1 - x0) / len(w) for y, x0, x1, w in rows)
left = min(x0 for y, x0, x1, w in rows)
ys = sorted(set(round(y, 1) for y, _, _, _ in rows))
for y, x0, x1, w in sorted(rows):
    print(ys.index(round(y, 1)) + 1, round((x0 - left) / pitch) + 1, w)
'
}

"$cli" --print-tape tape.pdf -k '12*3+4=' >/dev/null 2>&1 || fail "the print of 12*3+4= failed"
[ -f tape.pdf ] || fail "a relative name is not printed in the working directory"
got=$(words tape.pdf)
want=$'1 12 12\n2 1 X\n2 12 3\n3 12 36\n4 1 +\n4 12 4\n5 1 =\n5 12 40'
[ "$got" == "$want" ] || fail $'columns of 12*3+4=:\n'"$got"

"$cli" --print-tape err.ps -k '5/0=' >/dev/null 2>&1
[ "$(head -c 4 err.ps)" == "%!PS" ] || fail "err.ps is not PostScript"
"$cli" --print-tape err.pdf -k '5/0=' >/dev/null 2>&1
text=$(pdftotext -layout err.pdf - | sed 's/ *$//')
grep -qx 'div - divide by zero' <<<"$text" || fail "no line of its own for the message: $text"
grep -qx ' *--- ERROR ---' <<<"$text" || fail "no line of its own for the error: $text"

out=$("$cli" --print-tape "$work/no/such/dir/t.pdf" -k '1=' 2>&1)
status=$?
[ $status -eq 4 ] || fail "an unwritable name exits $status, not 4"
grep -q 'Print: Cannot write .*t.pdf' <<<"$out" || fail "no reason given: $out"
[ -z "$(ls -A "$work" | grep -v -e tape.pdf -e err.ps -e err.pdf)" ] || fail "files left: $(ls -A)"

[ $failed -eq 0 ] && echo "print_tape_test: passed"
exit $failed
