#!/usr/bin/env python3
"""The display decoder over pictures drawn here: each case paints digit cells as a digit cell
paints them (its own copy of the few glyphs it needs), saves a PNG with ImageMagick and checks
what decode_display.py reads and how it ends.
Usage: decode_display_test.py PATH-TO-decode_display.py"""

import os
import subprocess
import sys
import tempfile

GLYPHS = {
    ' ': [0] * 13,
    '-': [0, 0, 0, 0, 0, 0, 0x3E, 0, 0, 0, 0, 0, 0],
    '0': [0x00, 0x3C, 0x42, 0x42, 0x42, 0x42, 0x42, 0x42, 0x42, 0x42, 0x42, 0x3C, 0x00],
    '1': [0x00, 0x08, 0x18, 0x28, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x7E, 0x00],
    '2': [0x00, 0x38, 0x44, 0x02, 0x02, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x7E, 0x00],
    '7': [0x00, 0x7E, 0x02, 0x04, 0x04, 0x08, 0x08, 0x10, 0x10, 0x20, 0x20, 0x20, 0x00],
    'x': [0x00, 0x00, 0x00, 0x82, 0x44, 0x28, 0x10, 0x28, 0x44, 0x82, 0x00, 0x00, 0x00],
    'Z': [0x00, 0x7E, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x40, 0x40, 0x40, 0x7E, 0x00],  # none
}
CYAN, BLACK, WHITE = (10, 240, 230), (0, 0, 0), (255, 255, 255)


class Picture:
    def __init__(self, width, height, colour):
        self.width, self.height = width, height
        self.pixels = bytearray(bytes(colour) * (width * height))

    def fill(self, left, top, right, bottom, colour):
        for y in range(max(top, 0), min(bottom, self.height - 1) + 1):
            for x in range(max(left, 0), min(right, self.width - 1) + 1):
                i = 3 * (y * self.width + x)
                self.pixels[i:i + 3] = bytes(colour)

    def cell(self, left, top, width, height, text, fg, bg):
        """A digit cell asked for at left, top, width x height showing text ("7." or "-")."""
        d = (max(width, 15) - 7) // 8
        self.fill(left, top, left + 8 * d + 7, top + height - 1, bg)
        rows = list(GLYPHS[text[0]])
        if text[1:] == '.':
            rows[12] |= 0x01
        y0 = (height - 13 * d - 12) // 2
        reach = d - 1 if d > 1 else 1
        for r, bits in enumerate(rows):
            for c in range(8):
                if bits & (0x80 >> c):
                    x, y = left + c * (d + 1), top + y0 + r * (d + 1)
                    self.fill(x, y, x + reach, y + reach, fg)

    def row(self, ox, oy, digits, texts, exponent_texts):
        """The display row at client origin ox, oy: sign + mantissa cells, then exponent cells."""
        w = 4 if digits <= 10 else 3 if digits <= 32 else 2
        for i, text in enumerate(texts):
            self.cell(ox + (3 + i * w) * 8, oy, w * 8, 4 * 13, text, CYAN, BLACK)
        x = (digits + 1) * w + 3
        for j, text in enumerate(exponent_texts):
            self.cell(ox + (x + 2 * j) * 8, oy, 16, 26, text, CYAN, BLACK)

    def save(self, path):
        with open(path + '.ppm', 'wb') as f:
            f.write(b'P6 %d %d 255\n' % (self.width, self.height) + bytes(self.pixels))
        subprocess.run(['convert', path + '.ppm', path], check=True)


def single(text, width, height, fg, bg):
    p = Picture(120, 120, (128, 128, 128))
    p.cell(16, 40, width, height, text, fg, bg)
    return p


def display(digits, texts, exponent_texts):
    p = Picture(700, 120, (200, 200, 200))
    p.row(50, 30, digits, texts, exponent_texts)
    return p


def blank(n):
    return ['  '] * n


def main():
    decoder = sys.argv[1]
    one = ['--cell', '16,40,40,64', '--fg', '0,0,0', '--bg', '255,255,255']
    stray = display(10, [' .'] + blank(9) + ['0 '], blank(3))
    stray.fill(50 + 3 * 8 + 5, 30 + 9, 50 + 3 * 8 + 6, 30 + 10, (255, 0, 0))
    shifted = Picture(700, 120, (200, 200, 200))
    shifted.row(50, 42, 10, blank(10) + ['1 '], blank(3))
    # label, picture, decoder arguments, expected status, expected reading
    cases = [
        ('seven with point, dots of 4', single('7.', 40, 64, BLACK, WHITE), one, 0, '7.'),
        ('the point alone', single(' .', 40, 64, BLACK, WHITE), one, 0, '.'),
        ('dots of 1 drawn 2 x 2', single('- ', 16, 26, CYAN, BLACK),
         ['--cell', '16,40,16,26'], 0, '-'),
        ('dots that are no glyph', single('Z ', 40, 64, CYAN, BLACK),
         ['--cell', '16,40,40,64'], 0, '#'),
        ('a wrong expectation', single('7 ', 40, 64, CYAN, BLACK),
         ['--cell', '16,40,40,64', '--expect', '1'], 1, '7'),
        ('a zero in the last cell', display(10, blank(10) + ['0 '], blank(3)),
         ['--origin', '50,30'], 0, ' ' * 10 + '0|   '),
        ('a negative number with a point and an exponent',
         display(10, blank(7) + ['- ', '1 ', '2.', '7 '], [' ', '- ', '2 ']),
         ['--origin', '50,30', '--expect', ' ' * 7 + '-12.7| -2'], 0, ' ' * 7 + '-12.7| -2'),
        ('error dashes', display(10, [' '] + ['- '] * 10, [' ', '- ', '- ']),
         ['--origin', '50,30'], 0, ' ' + '-' * 10 + '| --'),
        ('12 digits use cells 3 wide', display(12, blank(12) + ['7 '], blank(1) + ['x ']),
         ['--origin', '50,30', '--digits', '12', '--exp-digits', '1'], 0, ' ' * 12 + '7| x'),
        ('a pixel of neither colour', stray, ['--origin', '50,30'], 2, ''),
        ('a row lower than asked for', shifted, ['--origin', '50,30'], 2, ''),
    ]
    failed = 0
    with tempfile.TemporaryDirectory() as work:
        for n, (label, picture, arguments, status, reading) in enumerate(cases):
            path = os.path.join(work, f'case{n}.png')
            picture.save(path)
            run = subprocess.run([sys.executable, decoder, path] + arguments,
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
            got = run.stdout.rstrip('\n')
            if run.returncode == status and got == reading:
                print(f'ok   {label}: "{got}"')
            else:
                failed += 1
                print(f'FAIL {label}: status {run.returncode} reading "{got}", '
                      f'expected {status} "{reading}"\n  {run.stderr.strip()}')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
