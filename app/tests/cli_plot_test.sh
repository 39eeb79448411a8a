#!/usr/bin/env bash
# torva-cli --plot: a program file plotted on the headless host and written as PNG (pixels read
# back where the formulas put the axes and the curve), PDF (the header found by pdftotext) and
# SVG; fatal plots and refused realms exit 1 with their message; bad options are usage errors.
# Usage: cli_plot_test.sh PATH-TO-torva-cli
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

printf '/\n2\n=\n__ end __\n' >half.tor
printf 'plot Z\n__ end __\n' >bad.tor
printf '0\n=\n__ end __\n' >flat.tor

# pixels FILE X,Y ...: the colours at the points as RRGGBB, one a line (8-bit RGB or RGBA PNG).
pixels() {
    python3 - "$@" <<'EOF'
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
pos, idat, width, height, kind = 8, b"", 0, 0, 0
while pos < len(data):
    n, tag = struct.unpack(">I4s", data[pos:pos + 8])
    body = data[pos + 8:pos + 8 + n]
    if tag == b"IHDR":
        width, height, depth, kind = struct.unpack(">IIBB", body[:10])
    elif tag == b"IDAT":
        idat += body
    pos += 12 + n
bpp = 4 if kind == 6 else 3
raw, rows, stride, prev = zlib.decompress(idat), [], width * bpp, bytearray(width * bpp)
for y in range(height):
    f, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
    for i in range(stride):
        a = line[i - bpp] if i >= bpp else 0
        b, c = prev[i], prev[i - bpp] if i >= bpp else 0
        if f == 1: line[i] = (line[i] + a) & 255
        elif f == 2: line[i] = (line[i] + b) & 255
        elif f == 3: line[i] = (line[i] + (a + b) // 2) & 255
        elif f == 4:
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
    rows.append(line)
    prev = line
print("%dx%d" % (width, height))
for point in sys.argv[2:]:
    x, y = map(int, point.split(","))
    print("%02x%02x%02x" % tuple(rows[y][x * bpp:x * bpp + 3]))
EOF
}

# y = x / 2 over 0..200 in a 400 x 300 window at 96 dpi: the x axis at 280 pixels from x 20
# to 286, the y axis at x 20 up to 81, the curve through (153, 213); the header at the top.
out=$("$cli" --plot half.png --realm 0,200,0,150,10 half.tor 2>/dev/null)
rc=$?
[ "$rc" -eq 0 ] || fail "the PNG plot exits $rc"
[ "$out" == " 100" ] || fail "the display after the plot shows '$out', not X = 100"
got=$(pixels half.png 150,280 20,200 286,280 295,280 350,100 | tr '\n' ' ')
[ "$got" == "400x300 0000ff 0000ff 0000ff ffffff ffffff " ] || fail "PNG axes: $got"
curve=$(pixels half.png 153,212 153,213 153,214 | tr '\n' ' ')
[[ "$curve" == *000000* ]] || fail "PNG curve near (153, 213): $curve"

"$cli" --plot half.pdf --realm 0,200,0,150,10 half.tor >/dev/null 2>&1 || fail "the PDF plot"
text=$(pdftotext half.pdf - 2>/dev/null | tr -s ' \n' ' ')
[[ "$text" == *"torva plot program: half.tor"* ]] || fail "PDF header line 1: $text"
[[ "$text" == *"X= 0.000000 to 200.000000"* ]] || fail "PDF header line 2: $text"

"$cli" --plot flat.svg --plot-3d --plot-size 300x200 --angles 45,20 flat.tor >/dev/null 2>&1 ||
    fail "the SVG plot"
head -c 300 flat.svg | grep -q '<svg.*width="225pt" height="150pt"' || fail "SVG size"
[ "$(grep -c '<path' flat.svg)" -gt 10 ] || fail "SVG without the grid's lines"

# The 3D picture differs from the 2D one of the same program.
"$cli" --plot flat2d.png flat.tor >/dev/null 2>&1
"$cli" --plot flat3d.png --plot-3d flat.tor >/dev/null 2>&1
cmp -s flat2d.png flat3d.png && fail "--plot-3d draws the 2D picture"

# The graph view: y = x^2 over -2..2 by 0.01 fills the picture, its ticks labelled -2..2 and
# 0..4 (the SVG's texts, the header's two lines last); the y axis runs blue down the middle.
printf 'x^2\n__ end __\n' >square.tor
"$cli" --plot square.svg --view graph --realm -2,2,0,0,0.01 square.tor >/dev/null 2>&1 ||
    fail "the graph view's SVG"
labels=$(grep -o '<text[^>]*>[^<]*</text>' square.svg | sed 's/<[^>]*>//g' | head -10 | tr '\n' ' ')
[ "$labels" == "-2 -1 0 1 2 0 1 2 3 4 " ] || fail "graph view labels: $labels"
"$cli" --plot square.png --view graph --realm -2,2,0,0,0.01 square.tor >/dev/null 2>&1 ||
    fail "the graph view's PNG"
column=$(pixels square.png $(for x in $(seq 185 215); do echo "$x,150"; done) | grep -c 0000ff)
[ "$column" -ge 1 ] || fail "graph view: no y axis down the middle"
# A pole is a gap, not the plot's end.
printf '1/X\n__ end __\n' >inverse.tor
"$cli" --plot inverse.png --view graph --realm -2,2,0,0,0.25 inverse.tor >/dev/null 2>&1
rc=$?
[ "$rc" -eq 0 ] || fail "1/x in the graph view exits $rc"
# A fraction of a point is no delta of the points view: refused at the run.
err=$("$cli" --plot frac.png --realm 0,10,0,10,0.5 half.tor 2>&1 >/dev/null)
rc=$?
[ "$rc" -eq 1 ] && [[ "$err" == *"Fatal Error: bad realm"* ]] || fail "delta 0.5: $rc $err"

err=$("$cli" --plot bad.png bad.tor 2>&1 >/dev/null)
rc=$?
[ "$rc" -eq 1 ] || fail "a fatal plot exits $rc"
[[ "$err" == *"Fatal Error: syntax error"* ]] || fail "the fatal message: $err"
[ -f bad.png ] || fail "a plot that ended in a fatal error writes no picture of what it drew"

# The plot keeps the command line's step limit (the window would allow a million).
err=$("$cli" --max-steps 0 --plot limit.png half.tor 2>&1 >/dev/null)
rc=$?
[ "$rc" -eq 1 ] && [[ "$err" == *"Fatal Error: step limit reached"* ]] ||
    fail "--max-steps 0: $rc $err"

err=$("$cli" --plot zero.png --realm 0,10,0,10,0 half.tor 2>&1 >/dev/null)
rc=$?
[ "$rc" -eq 1 ] && [[ "$err" == *"Fatal Error: bad realm"* ]] || fail "delta 0: $rc $err"

for args in "--plot out.txt half.tor" "--realm 0,1,0,1,1 half.tor" "--plot out.png" \
    "--plot out.png --realm 0,1,0,1 half.tor" "--plot out.png --plot-size 10x10 half.tor" \
    "--plot out.png --angles 30 half.tor" "--plot out.png missing.tor" \
    "--plot out.png --view bogus half.tor" "--view graph half.tor" \
    "--plot out.png --fit-y maybe half.tor" \
    "--plot out.png --view points --realm 0,1,0,1,0.5 half.tor"; do
    # shellcheck disable=SC2086
    "$cli" $args </dev/null >/dev/null 2>&1
    rc=$?
    [ "$rc" -eq 2 ] || fail "'$args' exits $rc, not 2"
done

# Without a program file the plot reads no keys from standard input: it fails at once.
timeout 10 "$cli" --plot out.png < <(sleep 12) >/dev/null 2>&1
rc=$?
[ "$rc" -eq 2 ] || fail "--plot without a program exits $rc, not 2"

"$cli" --plot no/such/dir/out.png half.tor >/dev/null 2>&1
rc=$?
[ "$rc" -eq 4 ] || fail "an unwritable picture exits $rc, not 4"

exit $failed
