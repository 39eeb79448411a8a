#!/usr/bin/env bash
# torva-cli --print-tape: the tape of the keys typed, printed to PDF and PostScript through the
# toolkit's printing on the headless host and read back with poppler: the header line of each
# page, every field in its column (operation names from column 1, the sign in 11, the digits
# from 12), the engine's messages on lines of their own, a relative name in the working
# directory, standard output for "-", a tape of 20 000 lines printed whole, an empty tape that
# prints nothing, and every failure reported with exit 4.
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
# The header: the title, the date and time, and the page of how many.
header=$(pdftotext -layout tape.pdf - | head -1 | tr -s ' ')
[[ "$header" =~ ^"torva - printer "[0-9]{4}-[0-9]{2}-[0-9]{2}" "[0-9]{2}:[0-9]{2}" page 1 of 1"$ ]] ||
    fail "the header reads: $header"
got=$(words tape.pdf | awk '$1 > 1 { print $1 - 1, $2, $3 }')
want=$'1 12 12\n2 1 X\n2 12 3\n3 12 36\n4 1 +\n4 12 4\n5 1 =\n5 12 40'
[ "$got" == "$want" ] || fail $'columns of 12*3+4=:\n'"$got"

"$cli" --print-tape err.ps -k '5/0=' >/dev/null 2>&1
[ "$(head -c 4 err.ps)" == "%!PS" ] || fail "err.ps is not PostScript"
"$cli" --print-tape err.pdf -k '5/0=' >/dev/null 2>&1
text=$(pdftotext -layout err.pdf - | sed 's/ *$//')
grep -qx 'div - divide by zero' <<<"$text" || fail "no line of its own for the message: $text"
grep -qx ' *--- ERROR ---' <<<"$text" || fail "no line of its own for the error: $text"

# A device of the test's own where it may make one (as root: a fault that replaced the device
# would replace this one, not the system's), else the system's: device NAME MAJOR MINOR.
mkdir -p "$work/dev"
device() {
    if [ "$(id -u)" -eq 0 ] && mknod -m 666 "$work/dev/$1" c "$2" "$3" 2>/dev/null; then
        echo "$work/dev/$1"
    else
        echo "/dev/$1"
    fi
}
full=$(device full 1 7)

# Failures: each says why and exits 4, and nothing is made.
while IFS='|' read -r target reason; do
    out=$("$cli" --print-tape "$target" -k '1=' 2>&1)
    status=$?
    [ $status -eq 4 ] || fail "$target exits $status, not 4"
    grep -q "Print: Cannot write .*: $reason" <<<"$out" || fail "$target: not '$reason': $out"
done <<TARGETS
$work/no/such/dir/t.pdf|No such file or directory
$work|Is a directory
$full|No space left on device
TARGETS
[ -c "$full" ] || fail "$full is no longer a device"
out=$("$cli" --print-tape empty.pdf 2>&1 </dev/null)
status=$?
[ $status -eq 4 ] || fail "an empty tape exits $status, not 4"
grep -q 'Print: Nothing to print' <<<"$out" || fail "an empty tape says: $out"
[ -z "$(ls -A "$work" | grep -v -e tape.pdf -e err.ps -e err.pdf -e dev)" ] ||
    fail "files left: $(ls -A)"

# "-" is standard output, holding the document alone, whatever standard output is.
"$cli" --print-tape - -k '2*3=' >stdout.ps 2>/dev/null || fail "printing to - failed"
[ "$(head -c 4 stdout.ps)" == "%!PS" ] || fail "standard output holds no PostScript"
tail -c 200 stdout.ps | grep -q '%%EOF' || fail "standard output holds more than the document"
[ "$("$cli" --print-tape - -k '2*3=' 2>/dev/null | head -c 4)" == "%!PS" ] ||
    fail "a pipe on standard output got no PostScript"
rm -f stdout.ps

# A tape of 20 000 lines ("N" and "= N" for N from 1 to 10 000): every line on its page, in order,
# each page with its header counting the pages there are.
keys=$(seq -s '=' 1 10000)=
"$cli" --print-tape long.pdf -k "$keys" >/dev/null 2>&1 || fail "the long tape failed to print"
pages=$(pdfinfo long.pdf 2>/dev/null | awk '/^Pages:/ { print $2 }')
pdftotext -layout long.pdf - | sed 's/^[ \f]*//; s/ *$//' | grep -v '^$' >long.txt
headers=$(grep -c "^torva - printer .* of ${pages:-0}\$" long.txt)
[ "$headers" == "$pages" ] || fail "${pages:-no} pages, $headers headers counting them"
grep -v '^torva - printer ' long.txt | tr -s ' ' >long.lines
seq 1 10000 | awk '{ print $1; print "= " $1 }' >long.want
cmp -s long.lines long.want ||
    fail "the long tape's lines differ: $(diff long.lines long.want | head -5)"
[ "${pages:-0}" -gt 100 ] || fail "only ${pages:-no} pages for 20 000 lines"
rm -f long.pdf long.txt long.lines long.want

[ $failed -eq 0 ] && echo "print_tape_test: passed"
exit $failed
