#!/usr/bin/env python3
"""Build app.ico from square RGBA PNGs.

Every size goes in twice: as a 32-bit BGRA DIB (with alpha) and as an 8-bit
palettised DIB for displays and tools that want 256 colours. Both carry the
1-bpp AND mask (set where alpha < 128). In the 8-bit image, masked pixels
use palette entry 0, which is black, so XOR-ing them onto the screen leaves
the screen as it was.

usage: make_ico.py out.ico in48.png in32.png in24.png in16.png
"""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pngio  # noqa: E402


def row_stride(width, bpp):
    return (width * bpp + 31) // 32 * 4


def and_mask(im):
    stride = row_stride(im.width, 1)
    out = bytearray()
    for y in reversed(range(im.height)):
        row = bytearray(stride)
        for x in range(im.width):
            if im.get(x, y)[3] < 128:
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def dib_header(im, bpp, image_bytes, colours):
    return struct.pack('<IiiHHIIiiII', 40, im.width, im.height * 2, 1, bpp, 0,
                       image_bytes, 0, 0, colours, 0)


def dib32(im):
    pixels = bytearray()
    for y in reversed(range(im.height)):
        for x in range(im.width):
            r, g, b, a = im.get(x, y)
            pixels += bytes((b, g, r, a)) if a else b'\0\0\0\0'
    mask = and_mask(im)
    return dib_header(im, 32, len(pixels) + len(mask), 0) + pixels + mask


def median_cut(counts, limit):
    """Reduce a {colour: count} map to at most `limit` colours."""
    if len(counts) <= limit:
        return sorted(counts)
    boxes = [list(counts.items())]
    while len(boxes) < limit:
        best, best_range, best_axis = None, 0, 0
        for i, box in enumerate(boxes):
            if len(box) < 2:
                continue
            for axis in range(3):
                vals = [c[axis] for c, _ in box]
                rng = max(vals) - min(vals)
                if rng > best_range:
                    best, best_range, best_axis = i, rng, axis
        if best is None:
            break
        box = sorted(boxes.pop(best), key=lambda item: item[0][best_axis])
        total = sum(n for _, n in box)
        acc, cut = 0, 1
        for j, (_, n) in enumerate(box):
            acc += n
            if acc * 2 >= total:
                cut = min(max(j + 1, 1), len(box) - 1)
                break
        boxes += [box[:cut], box[cut:]]
    palette = []
    for box in boxes:
        total = sum(n for _, n in box)
        palette.append(tuple((sum(c[k] * n for c, n in box) + total // 2) // total
                             for k in range(3)))
    return sorted(set(palette))


def dib8(im):
    counts = {}
    for y in range(im.height):
        for x in range(im.width):
            r, g, b, a = im.get(x, y)
            if a >= 128:
                counts[(r, g, b)] = counts.get((r, g, b), 0) + 1
    palette = [(0, 0, 0)] + [c for c in median_cut(counts, 255) if c != (0, 0, 0)]
    nearest = {}

    def index_of(c):
        if c not in nearest:
            nearest[c] = min(range(len(palette)), key=lambda i: sum(
                (palette[i][k] - c[k]) ** 2 for k in range(3)))
        return nearest[c]

    stride = row_stride(im.width, 8)
    pixels = bytearray()
    for y in reversed(range(im.height)):
        row = bytearray(stride)
        for x in range(im.width):
            r, g, b, a = im.get(x, y)
            row[x] = index_of((r, g, b)) if a >= 128 else 0
        pixels += row
    table = bytearray()
    for r, g, b in palette + [(0, 0, 0)] * (256 - len(palette)):
        table += bytes((b, g, r, 0))
    mask = and_mask(im)
    return dib_header(im, 8, len(pixels) + len(mask), 256) + table + pixels + mask


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    images = [pngio.read_png(p) for p in sys.argv[2:]]
    for p, im in zip(sys.argv[2:], images):
        if im.width != im.height or im.width > 255:
            sys.exit(f'make_ico.py: {p}: need a square picture below 256 px')
    entries = [(im, 32, dib32(im)) for im in images] + \
              [(im, 8, dib8(im)) for im in images]
    offset = 6 + 16 * len(entries)
    head = struct.pack('<HHH', 0, 1, len(entries))
    body = b''
    for im, bpp, data in entries:
        head += struct.pack('<BBBBHHII', im.width, im.height, 0, 0, 1, bpp,
                            len(data), offset + len(body))
        body += data
    with open(sys.argv[1], 'wb') as f:
        f.write(head + body)


if __name__ == '__main__':
    main()
