#!/usr/bin/env python3
"""Turn an rsvg-convert render into the committed PNG.

usage:
  finish.py opaque in.png out.png
      The picture must be fully opaque (it is drawn on a white field); fail
      if any pixel is not.
  finish.py overlay in.png out.png R,G,B
      For an overlay whose opaque parts are one colour (the tick frame and
      corner): pixels that are partly transparent lie on the anti-aliased
      edge of that colour, so give them exactly R,G,B (the renderer rounds
      them off by a step or two). Fully transparent pixels become 0,0,0,0.

Both write plain 8-bit RGBA PNG without any metadata chunks.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pngio  # noqa: E402


def opaque(src, dst):
    im = pngio.read_png(src)
    alphas = im.rgba[3::4]
    if min(alphas) != 255:
        n = sum(1 for a in alphas if a != 255)
        sys.exit(f'finish.py: {src}: {n} pixel(s) not opaque')
    pngio.write_png(dst, im)


def overlay(src, dst, colour):
    rgb = bytes(int(v) for v in colour.split(','))
    im = pngio.read_png(src)
    px = im.rgba
    for i in range(0, len(px), 4):
        a = px[i + 3]
        if a == 0:
            px[i:i + 4] = b'\0\0\0\0'
        elif a < 255:
            px[i:i + 3] = rgb
    pngio.write_png(dst, im)


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    cmd = sys.argv[1]
    if cmd == 'opaque' and len(sys.argv) == 4:
        opaque(sys.argv[2], sys.argv[3])
    elif cmd == 'overlay' and len(sys.argv) == 5:
        overlay(sys.argv[2], sys.argv[3], sys.argv[4])
    else:
        sys.exit(__doc__)


if __name__ == '__main__':
    main()
