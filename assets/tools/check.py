#!/usr/bin/env python3
"""Check the rendered pictures in out/ against the layout the program relies on.

The program draws text and pictures at fixed places on the skin and tests
pixels of the overlays, so a render that drifts by a pixel, picks up an
anti-aliased edge or loses its alpha has to fail here rather than in the
running program.

usage: check.py OUT_DIR
"""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pngio  # noqa: E402

WHITE = (255, 255, 255, 255)
FRAME_GREY = (100, 100, 100, 255)
MARK_GREY = (89, 89, 89, 255)
TICK_BLUE = (9, 74, 178, 255)
SETTING_GREY = (120, 120, 120, 255)

# Skin layout at 1x, inclusive boxes (x0, y0, x1, y1).
SKIN_SIZE = (416, 217)
MINIMISE = (368, 20, 376, 21)
CLOSE = (388, 17, 395, 24)
TILES = {'chrome': (37, 76, 100, 139), 'ie': (128, 76, 191, 139),
         'firefox': (220, 76, 283, 139), 'opera': (311, 76, 374, 139)}
CHECK_BOX = (39, 176, 51, 188)
CHECK_INSIDE = (40, 177, 50, 187)
EXIT = (382, 192, 400, 201)
# Painted over by the program; must stay white in the skin.
KEEP_WHITE = {'caption': (37, 32, 265, 57), 'status': (280, 40, 365, 57),
              'settings button': (344, 16, 357, 29),
              'check box label': (53, 171, 175, 191)}

failures = []


def fail(msg):
    failures.append(msg)


def scaled(box, s):
    x0, y0, x1, y1 = box
    return (x0 * s, y0 * s, (x1 + 1) * s - 1, (y1 + 1) * s - 1)


def pixels(im, box):
    x0, y0, x1, y1 = box
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            yield x, y, im.get(x, y)


def inside(x, y, box):
    return box[0] <= x <= box[2] and box[1] <= y <= box[3]


def load(out, name, size):
    path = os.path.join(out, name)
    if not os.path.exists(path):
        fail(f'{name}: missing')
        return None
    raw = open(path, 'rb').read()
    if raw[12:16] != b'IHDR' or raw[25] != 6 or raw[24] != 8:
        fail(f'{name}: not an 8-bit RGBA PNG')
    for chunk in (b'tEXt', b'zTXt', b'iTXt', b'tIME'):
        if chunk in raw:
            fail(f'{name}: carries a {chunk.decode()} chunk')
    im = pngio.read_png(path)
    if (im.width, im.height) != size:
        fail(f'{name}: {im.width}x{im.height}, want {size[0]}x{size[1]}')
        return None
    return im


def expect(name, im, x, y, want):
    got = im.get(x, y)
    if got != want:
        fail(f'{name}: pixel ({x},{y}) is {got}, want {want}')


def check_opaque(name, im):
    if min(im.rgba[3::4]) != 255:
        fail(f'{name}: has pixels that are not opaque')


def check_skin(out, s):
    name = 'skin.png' if s == 1 else 'skin@2x.png'
    im = load(out, name, (SKIN_SIZE[0] * s, SKIN_SIZE[1] * s))
    if im is None:
        return
    check_opaque(name, im)
    w, h = im.width, im.height
    crisp = {'minimise': MINIMISE, 'close': CLOSE, 'check box': CHECK_BOX, 'exit': EXIT}
    drawn = [scaled(b, s) for b in list(crisp.values()) + list(TILES.values())]
    for x, y, px in pixels(im, (0, 0, w - 1, h - 1)):
        if x < s or y < s or x >= w - s or y >= h - s:
            if px != FRAME_GREY:
                fail(f'{name}: frame pixel ({x},{y}) is {px}')
                break
        elif not any(inside(x, y, b) for b in drawn) and px != WHITE:
            fail(f'{name}: stray pixel ({x},{y}) = {px} outside every drawn element')
            break
    for what, box in crisp.items():
        colours = {px for _, _, px in pixels(im, scaled(box, s))}
        if colours - {WHITE, MARK_GREY}:
            fail(f'{name}: {what} is not crisp: colours {sorted(colours - {WHITE, MARK_GREY})[:3]}')
    for x, y, px in pixels(im, scaled(MINIMISE, s)):
        if px != MARK_GREY:
            fail(f'{name}: minimise bar pixel ({x},{y}) is {px}')
            break
    # close: the four corners and the middle are dark, the middle of each
    # side is not (it is an X, not a square)
    for cx, cy in ((388, 17), (395, 17), (388, 24), (395, 24), (391, 20), (392, 21), (391, 21)):
        expect(name, im, cx * s, cy * s, MARK_GREY)
        expect(name, im, cx * s + s - 1, cy * s + s - 1, MARK_GREY)
    for cx, cy in ((391, 17), (388, 20), (395, 21), (392, 24)):
        expect(name, im, cx * s, cy * s, WHITE)
    x0, y0, x1, y1 = scaled(CHECK_BOX, s)
    for x, y, px in pixels(im, (x0, y0, x1, y1)):
        on_frame = x < x0 + s or x > x1 - s or y < y0 + s or y > y1 - s
        if px != (MARK_GREY if on_frame else WHITE):
            fail(f'{name}: check box pixel ({x},{y}) is {px}')
            break
    x0, y0, x1, y1 = scaled(EXIT, s)
    for x in range(x0, x1 + 1):
        for y in range(y1 - s + 1, y1 + 1):
            if im.get(x, y) != MARK_GREY:
                fail(f'{name}: underline pixel ({x},{y}) is {im.get(x, y)}')
                break
        if im.get(x, y1 - s) != WHITE:
            fail(f'{name}: no gap above the underline at x={x}')
            break
    ink = sum(1 for _, _, px in pixels(im, (x0, y0, x1, y1 - 2 * s)) if px == MARK_GREY)
    if not 30 * s * s <= ink <= 60 * s * s:
        fail(f'{name}: "Exit" has {ink} dark pixels, expected letters of 1 px strokes')
    for col in (x0, x1):
        if not any(im.get(col, y) == MARK_GREY for y in range(y0, y1 - 2 * s + 1)):
            fail(f'{name}: "Exit" does not reach x={col // s}')
    for what, box in KEEP_WHITE.items():
        if any(px != WHITE for _, _, px in pixels(im, scaled(box, s))):
            fail(f'{name}: the {what} area is not white')
    for what, box in TILES.items():
        b = scaled(box, s)
        colourful = sum(1 for _, _, (r, g, bl, _) in pixels(im, b)
                        if max(r, g, bl) - min(r, g, bl) > 60)
        if colourful < 0.25 * (64 * s) ** 2:
            fail(f'{name}: the {what} tile has little colour ({colourful} px)')


def check_tick(out, s):
    name = 'tick.png' if s == 1 else 'tick@2x.png'
    n = 68 * s
    im = load(out, name, (n, n))
    if im is None:
        return
    f = 2 * s  # frame width
    leg = 20 * s
    white_tick = 0
    for x, y, px in pixels(im, (0, 0, n - 1, n - 1)):
        r, g, b, a = px
        if x < f or y < f or x >= n - f or y >= n - f:
            if px != TICK_BLUE:
                fail(f'{name}: frame pixel ({x},{y}) is {px}')
                break
            continue
        # distance of the pixel square from the corner triangle's long edge
        u_min, u_max = (x - (y + 1)), (x + 1 - y)
        if u_min >= n - leg:          # wholly inside the triangle
            if a != 255:
                fail(f'{name}: corner pixel ({x},{y}) is not opaque')
                break
            if (r, g, b) != TICK_BLUE[:3]:
                if min(r, g, b) > 200:
                    white_tick += 1
                elif not (r >= 9 and g >= 74 and b >= 178):
                    fail(f'{name}: corner pixel ({x},{y}) = {px} is neither blue nor tick')
                    break
        elif u_max <= n - leg:        # wholly outside: the see-through middle
            if px != (0, 0, 0, 0):
                fail(f'{name}: pixel ({x},{y}) should be transparent, is {px}')
                break
        elif a and (r, g, b) != TICK_BLUE[:3]:
            fail(f'{name}: edge pixel ({x},{y}) = {px} is not the frame blue')
            break
    if white_tick < 6 * s * s:
        fail(f'{name}: the white tick is missing ({white_tick} px)')
    for x, y in ((0, 34), (1, 34), (66, 34), (67, 34), (34, 0), (34, 1), (34, 66), (34, 67),
                 (0, 0), (67, 67), (67, 0), (66, 18), (50, 1)):
        expect(name, im, x * s, y * s, TICK_BLUE)
        expect(name, im, x * s + s - 1, y * s + s - 1, TICK_BLUE)
    for x, y in ((34, 34), (2, 2), (65, 65), (2, 65), (46, 2), (65, 22)):
        expect(name, im, x * s, y * s, (0, 0, 0, 0))


def check_autotick(out, s):
    name = 'autotick.png' if s == 1 else 'autotick@2x.png'
    im = load(out, name, (11 * s, 11 * s))
    if im is None:
        return
    check_opaque(name, im)
    dark = [(x, y) for x, y, px in pixels(im, (0, 0, 11 * s - 1, 11 * s - 1)) if px != WHITE]
    if any(im.get(x, y) != MARK_GREY for x, y in dark):
        fail(f'{name}: colours other than white and #595959')
    if not dark:
        fail(f'{name}: empty')
        return
    xs, ys = [x for x, _ in dark], [y for _, y in dark]
    if min(xs) < s or min(ys) < s or max(xs) > 10 * s - 1 or max(ys) > 10 * s - 1:
        fail(f'{name}: the tick touches the edge of the box')
    if not 20 * s * s <= len(dark) <= 35 * s * s:
        fail(f'{name}: {len(dark)} dark pixels, not a tick of 2-3 px strokes')
    # a tick: the right arm reaches higher than the left one, the low point
    # is left of the middle
    left = min(y for x, y in dark if x == min(xs))
    right = min(y for x, y in dark if x == max(xs))
    low_x = max(dark, key=lambda p: p[1])[0]
    if not (right < left and low_x < (min(xs) + max(xs)) / 2):
        fail(f'{name}: does not have the shape of a tick')


def check_setting(out, s):
    name = 'setting.png' if s == 1 else 'setting@2x.png'
    im = load(out, name, (13 * s, 13 * s))
    if im is None:
        return
    for x, y, px in pixels(im, (0, 0, 13 * s - 1, 13 * s - 1)):
        u, v = x // s, y // s
        square = 1 <= u <= 11 and 1 <= v <= 11 and u % 4 != 0 and v % 4 != 0
        if px != (SETTING_GREY if square else WHITE):
            fail(f'{name}: pixel ({x},{y}) is {px}')
            break


def check_cursor(out):
    name = 'hand.cur'
    path = os.path.join(out, name)
    if not os.path.exists(path):
        fail(f'{name}: missing')
        return
    d = open(path, 'rb').read()
    reserved, kind, count = struct.unpack_from('<HHH', d, 0)
    w, h, colours, _, hx, hy, size, offset = struct.unpack_from('<BBBBHHII', d, 6)
    if (reserved, kind, count) != (0, 2, 1):
        fail(f'{name}: header {reserved},{kind},{count}, want a cursor with one image')
        return
    if (w, h, hx, hy) != (32, 32, 6, 0):
        fail(f'{name}: {w}x{h} with hot spot ({hx},{hy}), want 32x32 at (6,0)')
    if offset + size != len(d):
        fail(f'{name}: image size/offset do not match the file length')
        return
    hdr = struct.unpack_from('<IiiHHIIiiII', d, offset)
    if hdr[:6] != (40, 32, 64, 1, 1, 0):
        fail(f'{name}: DIB header {hdr[:6]}, want 32 x (2*32), 1 bpp, uncompressed')
        return
    pal = d[offset + 40:offset + 48]
    if pal != bytes((0, 0, 0, 0, 255, 255, 255, 0)):
        fail(f'{name}: palette is not black, white')
    xor = d[offset + 48:offset + 48 + 128]
    msk = d[offset + 48 + 128:offset + 48 + 256]
    if len(msk) != 128:
        fail(f'{name}: bitmap data cut short')
        return

    def bit(buf, x, y):
        row = 31 - y
        return (buf[row * 4 + x // 8] >> (7 - x % 8)) & 1

    # '.' transparent, '#' black, 'o' white, '~' inverts the screen (not wanted)
    grid = [''.join('~' if bit(msk, x, y) and bit(xor, x, y) else
                    '.' if bit(msk, x, y) else 'o' if bit(xor, x, y) else '#'
                    for x in range(32)) for y in range(32)]
    text = ''.join(grid)
    if '~' in text:
        fail(f'{name}: pixels that invert the screen')
    if grid[0][6] != '#':
        fail(f'{name}: the hot spot (6,0) is not on the fingertip outline')
    if any(c != '.' for c in grid[0][:5]) or '#' not in grid[1][4:9]:
        fail(f'{name}: the index finger does not start at the top left')
    if text.count('o') < 150 or text.count('#') < 60:
        fail(f'{name}: too little hand ({text.count("o")} white, {text.count("#")} black)')
    for y in range(32):
        for x in range(32):
            if grid[y][x] != 'o':
                continue
            for nx, ny in ((x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)):
                if not (0 <= nx < 32 and 0 <= ny < 32) or grid[ny][nx] == '.':
                    fail(f'{name}: white pixel ({x},{y}) is not enclosed by the outline')
                    return


def check_icon(out):
    name = 'app.ico'
    path = os.path.join(out, name)
    if not os.path.exists(path):
        fail(f'{name}: missing')
        return
    d = open(path, 'rb').read()
    reserved, kind, count = struct.unpack_from('<HHH', d, 0)
    if (reserved, kind, count) != (0, 1, 8):
        fail(f'{name}: header {reserved},{kind},{count}, want an icon with 8 images')
        return
    seen = set()
    for i in range(count):
        w, h, _, _, planes, bpp, size, offset = struct.unpack_from('<BBBBHHII', d, 6 + 16 * i)
        seen.add((w, bpp))
        if offset + size > len(d):
            fail(f'{name}: image {i} runs past the end of the file')
            continue
        hs, dw, dh, _, dbpp, comp = struct.unpack_from('<IiiHHI', d, offset)
        if (hs, dw, dh, dbpp, comp) != (40, w, 2 * h, bpp, 0) or w != h:
            fail(f'{name}: image {i} DIB header does not match its entry')
            continue
        table = 256 * 4 if bpp == 8 else 0
        stride = (w * bpp + 31) // 32 * 4
        mstride = (w + 31) // 32 * 4
        if size != 40 + table + stride * h + mstride * h:
            fail(f'{name}: image {i} ({w} px, {bpp} bpp) has the wrong size')
            continue
        base = offset + 40 + table
        mask = d[base + stride * h:base + stride * h + mstride * h]

        def colour(x, y):
            row = base + (h - 1 - y) * stride
            if bpp == 32:
                b, g, r, a = d[row + x * 4:row + x * 4 + 4]
                return r, g, b, a
            idx = d[row + x]
            b, g, r, _ = d[offset + 40 + idx * 4:offset + 44 + idx * 4]
            return r, g, b, 255

        def masked(x, y):
            return (mask[(h - 1 - y) * mstride + x // 8] >> (7 - x % 8)) & 1

        if not (masked(0, 0) and masked(w - 1, h - 1)):
            fail(f'{name}: {w} px {bpp} bpp: rounded corners are not transparent')
        if masked(w // 2, 1) or masked(1, h // 2):
            fail(f'{name}: {w} px {bpp} bpp: the square is masked out')
        r, g, b, a = colour(w // 2, 1)
        if not (85 <= r <= 140 and 40 <= g <= 90 and 165 <= b <= 230 and a == 255):
            fail(f'{name}: {w} px {bpp} bpp: top edge is {(r, g, b, a)}, want purple')
        whites = sum(1 for y in range(h) for x in range(w)
                     if not masked(x, y) and min(colour(x, y)[:3]) > 230)
        if not 0.06 * w * w <= whites <= 0.4 * w * w:
            fail(f'{name}: {w} px {bpp} bpp: {whites} white pixels, arrows missing?')
        if bpp == 8:
            for y in range(h):
                for x in range(w):
                    row = base + (h - 1 - y) * stride
                    if masked(x, y) and d[offset + 40 + d[row + x] * 4:offset + 43 + d[row + x] * 4] != b'\0\0\0':
                        fail(f'{name}: {w} px 8 bpp: masked pixel ({x},{y}) is not black')
                        break
        if bpp == 32:
            alphas = {colour(x, y)[3] for y in range(h) for x in range(w)}
            if min(alphas) >= 128 or 255 not in alphas:
                fail(f'{name}: {w} px 32 bpp: alpha channel not used')
    want = {(s, b) for s in (48, 32, 24, 16) for b in (8, 32)}
    if seen != want:
        fail(f'{name}: images {sorted(seen)}, want {sorted(want)}')


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    for s in (1, 2):
        check_skin(out, s)
        check_tick(out, s)
        check_autotick(out, s)
        check_setting(out, s)
    check_cursor(out)
    check_icon(out)
    if failures:
        for f in failures:
            print('check.py: FAIL:', f, file=sys.stderr)
        sys.exit(1)
    print('check.py: all pictures pass')


if __name__ == '__main__':
    main()
