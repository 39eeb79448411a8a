#!/usr/bin/env python3
"""Reads torva's display row off a screenshot, dot by dot, the way a person reads the panel.

It knows only what the screen shows: the 8 x 13 dot-matrix font, where the panel puts its digit
cells and how a digit cell places its dots. It shares no code with the program, so a fault in
the program's drawing or layout shows as a wrong reading.

  decode_display.py SHOT.png --window ID [--digits 10] [--exp-digits 2] [--expect TEXT]
  decode_display.py SHOT.png --origin X,Y [--digits 10] [--exp-digits 2] [--expect TEXT]
  decode_display.py SHOT.png --cell X,Y,W,H [--expect TEXT]

--window finds the panel's client origin with `xwininfo -id` (on $DISPLAY); --origin gives it.
The row prints as the sign cell and the mantissa cells, '|', then the exponent sign cell and the
exponent cells: each cell one character, followed by '.' when its point is lit ("  12.5| -3").
--cell reads one digit cell whose rectangle, in screen pixels, was asked for as X,Y,W,H.
Colours: --fg and --bg as R,G,B (the panel's defaults are 10,240,230 on 0,0,0).
Exit status: 0 read (and equal to --expect when given), 1 a different reading, 2 a pixel that
is neither colour (the geometry is wrong or something covers the display), 3 bad usage.
"""

import argparse
import re
import subprocess
import sys

CELL_WIDTH, CELL_HEIGHT = 8, 13  # pixels of one toolkit cell at 96 dpi
ROWS, COLUMNS = 13, 8
POINT_ROW, POINT_COLUMN = 12, 7

GLYPHS = {
    ' ': [0x00] * 13,
    '(': [0x00, 0x04, 0x08, 0x10, 0x10, 0x20, 0x20, 0x20, 0x10, 0x10, 0x08, 0x04, 0x00],
    '+': [0x00, 0x00, 0x00, 0x08, 0x08, 0x08, 0x3E, 0x08, 0x08, 0x08, 0x00, 0x00, 0x00],
    '-': [0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x3E, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00],
    '0': [0x00, 0x3C, 0x42, 0x42, 0x42, 0x42, 0x42, 0x42, 0x42, 0x42, 0x42, 0x3C, 0x00],
    '1': [0x00, 0x08, 0x18, 0x28, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x7E, 0x00],
    '2': [0x00, 0x38, 0x44, 0x02, 0x02, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x7E, 0x00],
    '3': [0x00, 0x3C, 0x42, 0x02, 0x02, 0x02, 0x3C, 0x02, 0x02, 0x02, 0x42, 0x3C, 0x00],
    '4': [0x00, 0x04, 0x0C, 0x14, 0x24, 0x44, 0x84, 0xFE, 0x04, 0x04, 0x04, 0x04, 0x00],
    '5': [0x00, 0x7E, 0x40, 0x40, 0x40, 0x78, 0x04, 0x02, 0x02, 0x02, 0x44, 0x38, 0x00],
    '6': [0x00, 0x3C, 0x42, 0x40, 0x40, 0x40, 0x7C, 0x42, 0x42, 0x42, 0x42, 0x3C, 0x00],
    '7': [0x00, 0x7E, 0x02, 0x04, 0x04, 0x08, 0x08, 0x10, 0x10, 0x20, 0x20, 0x20, 0x00],
    '8': [0x00, 0x3C, 0x42, 0x42, 0x42, 0x42, 0x3C, 0x42, 0x42, 0x42, 0x42, 0x3C, 0x00],
    '9': [0x00, 0x3C, 0x42, 0x42, 0x42, 0x42, 0x3E, 0x02, 0x02, 0x02, 0x42, 0x3C, 0x00],
    'A': [0x00, 0x18, 0x24, 0x42, 0x42, 0x42, 0x7E, 0x42, 0x42, 0x42, 0x42, 0x42, 0x00],
    'B': [0x00, 0x78, 0x44, 0x42, 0x42, 0x44, 0x78, 0x44, 0x42, 0x42, 0x44, 0x78, 0x00],
    'C': [0x00, 0x1E, 0x20, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x20, 0x1E, 0x00],
    'D': [0x00, 0x78, 0x44, 0x42, 0x42, 0x42, 0x42, 0x42, 0x42, 0x42, 0x44, 0x78, 0x00],
    'E': [0x00, 0x3E, 0x40, 0x40, 0x40, 0x40, 0x7E, 0x40, 0x40, 0x40, 0x40, 0x3E, 0x00],
    'F': [0x00, 0x3E, 0x40, 0x40, 0x40, 0x40, 0x7E, 0x40, 0x40, 0x40, 0x40, 0x40, 0x00],
    'x': [0x00, 0x00, 0x00, 0x82, 0x44, 0x28, 0x10, 0x28, 0x44, 0x82, 0x00, 0x00, 0x00],
    # Every other character is drawn as a question mark.
    '?': [0x00, 0x38, 0x44, 0x02, 0x02, 0x02, 0x04, 0x08, 0x10, 0x10, 0x00, 0x10, 0x00],
}
UNKNOWN = '#'  # dots that form no glyph


class Unreadable(Exception):
    pass


class Image:
    """An RGB screenshot, read through ImageMagick so no imaging module is needed."""

    def __init__(self, path):
        data = subprocess.run(['convert', path, '-depth', '8', 'ppm:-'], check=True,
                              stdout=subprocess.PIPE).stdout
        header = re.match(rb'P6\s+(\d+)\s+(\d+)\s+(\d+)\s', data)
        if not header or header.group(3) != b'255':
            raise Unreadable(f'{path}: not an 8-bit image')
        self.width, self.height = int(header.group(1)), int(header.group(2))
        self.pixels = data[header.end():]

    def rgb(self, x, y):
        if not (0 <= x < self.width and 0 <= y < self.height):
            raise Unreadable(f'pixel {x},{y} is off the screen')
        i = 3 * (y * self.width + x)
        return tuple(self.pixels[i:i + 3])


def near(a, b):
    return all(abs(p - q) <= 16 for p, q in zip(a, b))


def dot_size(width):
    """The largest d with 8d + 7 <= width; narrower labels get dots of one pixel."""
    return (max(width, 15) - 7) // 8


def read_cell(image, left, top, width, height, fg, bg):
    """The text a digit cell shows: its glyph, then '.' when the point is lit."""
    d = dot_size(width)
    # As C divides: toward zero, so a label too low for its dots starts them above its top.
    y0 = int((height - ROWS * d - (ROWS - 1)) / 2)
    lit = []
    for row in range(ROWS):
        bits = 0
        for column in range(COLUMNS):
            x = left + column * (d + 1) + d // 2
            y = top + y0 + row * (d + 1) + d // 2
            colour = image.rgb(x, y)
            if near(colour, fg):
                bits |= 0x80 >> column
            elif not near(colour, bg):
                raise Unreadable(f'pixel {x},{y} of the cell at {left},{top} is {colour}, '
                                 f'neither {fg} nor {bg}')
        lit.append(bits)
    point = bool(lit[POINT_ROW] & (0x80 >> POINT_COLUMN))
    if point:
        lit[POINT_ROW] &= ~(0x80 >> POINT_COLUMN)
    character = next((c for c, rows in GLYPHS.items() if rows == lit), UNKNOWN)
    if point:
        return '.' if character == ' ' else character + '.'
    return character


def row_cells(digits, exp_digits):
    """The cell rectangles of the display row in cells: (sign and mantissa), (exponent)."""
    w = 4 if digits <= 10 else 3 if digits <= 32 else 2
    mantissa = [(3, 0, w, 4)] + [(w + 3 + i * w, 0, w, 4) for i in range(digits)]
    x = (digits + 1) * w + 3
    exponent = [(x + 2 * j, 0, 2, 2) for j in range(exp_digits + 1)]
    return mantissa, exponent


def read_row(image, origin, digits, exp_digits, fg, bg):
    parts = []
    for cells in row_cells(digits, exp_digits):
        parts.append(''.join(
            read_cell(image, origin[0] + x * CELL_WIDTH, origin[1] + y * CELL_HEIGHT,
                      w * CELL_WIDTH, h * CELL_HEIGHT, fg, bg) for x, y, w, h in cells))
    return '|'.join(parts)


def client_origin(window):
    info = subprocess.run(['xwininfo', '-id', window], check=True, stdout=subprocess.PIPE,
                          text=True).stdout
    x = re.search(r'Absolute upper-left X:\s+(-?\d+)', info)
    y = re.search(r'Absolute upper-left Y:\s+(-?\d+)', info)
    if not x or not y:
        raise Unreadable(f'xwininfo gives no position for window {window}')
    return int(x.group(1)), int(y.group(1))


def numbers(text, count):
    values = [int(v) for v in text.split(',')]
    if len(values) != count:
        raise argparse.ArgumentTypeError(f'{text}: {count} numbers expected')
    return tuple(values)


def main():
    parser = argparse.ArgumentParser(description='Reads the display row off a screenshot.')
    parser.add_argument('shot')
    where = parser.add_mutually_exclusive_group(required=True)
    where.add_argument('--window', help='X window id of the panel')
    where.add_argument('--origin', type=lambda t: numbers(t, 2), help='X,Y of its client area')
    where.add_argument('--cell', type=lambda t: numbers(t, 4), help='X,Y,W,H of one digit cell')
    parser.add_argument('--digits', type=int, default=10)
    parser.add_argument('--exp-digits', type=int, default=2)
    parser.add_argument('--fg', type=lambda t: numbers(t, 3), default=(10, 240, 230))
    parser.add_argument('--bg', type=lambda t: numbers(t, 3), default=(0, 0, 0))
    parser.add_argument('--expect', help='the reading wanted; exit 1 when it differs')
    try:
        args = parser.parse_args()
    except SystemExit:
        return 3
    try:
        image = Image(args.shot)
        if args.cell:
            reading = read_cell(image, *args.cell, args.fg, args.bg)
        else:
            origin = args.origin or client_origin(args.window)
            reading = read_row(image, origin, args.digits, args.exp_digits, args.fg, args.bg)
    except (Unreadable, subprocess.CalledProcessError) as e:
        print(f'decode_display: {e}', file=sys.stderr)
        return 2
    print(reading)
    if args.expect is not None and reading != args.expect:
        print(f'decode_display: read "{reading}", expected "{args.expect}"', file=sys.stderr)
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main())
