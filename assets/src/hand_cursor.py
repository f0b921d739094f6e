#!/usr/bin/env python3
"""Writes hand.cur, the pointing-hand cursor shown over the browser tiles.

The picture is the text grid below, 32 x 32, one character a pixel:
    #  black (outline)
    o  white (fill)
    .  transparent
Edit the grid and run render.sh (or this script) again.

The file is a classic two-colour Windows cursor: an ICONDIR of type 2 with
one entry whose planes/bit-count fields hold the hot spot, then a 1-bpp
BITMAPINFOHEADER DIB (height doubled) with a black/white palette, the XOR
bitmap and the AND mask, both bottom-up with rows padded to 4 bytes.

usage: hand_cursor.py out.cur
"""
import struct
import sys

HOTSPOT = (6, 0)  # the tip of the index finger

HAND = """
.....###........................
....#ooo#.......................
....#ooo#.......................
....#ooo#.......................
....#ooo#.......................
....#ooo####....................
....#ooo#ooo####................
....#ooo#ooo#ooo###.............
....#ooo#ooo#ooo#oo#............
.##.#ooo#ooo#ooo#ooo#...........
#oo##ooooooooooo#ooo#...........
#ooo#ooooooooooooooo#...........
.#oo#ooooooooooooooo#...........
.#oooooooooooooooooo#...........
..#ooooooooooooooooo#...........
..#oooooooooooooooo#............
...#ooooooooooooooo#............
...#oooooooooooooo#.............
....#ooooooooooooo#.............
....#ooooooooooooo#.............
.....#ooooooooooo#..............
.....#############..............
................................
................................
................................
................................
................................
................................
................................
................................
................................
................................
"""

SIZE = 32


def parse(text):
    rows = text.split()
    if len(rows) != SIZE or any(len(r) != SIZE for r in rows):
        sys.exit('hand_cursor.py: the grid must be 32 rows of 32 characters')
    bad = set(''.join(rows)) - set('#o.')
    if bad:
        sys.exit(f'hand_cursor.py: unknown characters in the grid: {sorted(bad)}')
    return rows


def pack_rows(bits_of_row):
    """1-bpp rows, bottom-up, each padded to a multiple of 4 bytes."""
    out = bytearray()
    stride = (SIZE + 31) // 32 * 4
    for y in reversed(range(SIZE)):
        bits = bits_of_row(y)
        row = bytearray(stride)
        for x, bit in enumerate(bits):
            if bit:
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def build(rows, hotspot):
    hx, hy = hotspot
    if rows[hy][hx] != '#':
        sys.exit('hand_cursor.py: the hot spot must sit on a black pixel')
    # XOR bitmap: palette index 1 (white) for fill; 0 (black) for outline and
    # for transparent pixels, which the AND mask lets the screen through.
    xor = pack_rows(lambda y: [c == 'o' for c in rows[y]])
    and_mask = pack_rows(lambda y: [c == '.' for c in rows[y]])
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 1, 0,
                         len(xor) + len(and_mask), 0, 0, 2, 0)
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))  # RGBQUAD: black, white
    image = header + palette + xor + and_mask
    icondir = struct.pack('<HHH', 0, 2, 1)
    entry = struct.pack('<BBBBHHII', SIZE, SIZE, 2, 0, hx, hy, len(image), 6 + 16)
    return icondir + entry + image


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    data = build(parse(HAND), HOTSPOT)
    with open(sys.argv[1], 'wb') as f:
        f.write(data)


if __name__ == '__main__':
    main()
