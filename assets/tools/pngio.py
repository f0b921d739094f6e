"""Minimal PNG reading and writing with the standard library only.

read_png() accepts what rsvg-convert and ImageMagick write: 8-bit, not
interlaced, grey, grey+alpha, RGB, RGBA or palette. Pixels come back as one
flat bytearray of RGBA. write_png() writes 8-bit RGBA with no extra chunks,
so the output is the same bytes every time.
"""
import struct
import zlib

SIGNATURE = b'\x89PNG\r\n\x1a\n'


class Image:
    def __init__(self, width, height, rgba=None):
        self.width = width
        self.height = height
        self.rgba = bytearray(rgba) if rgba is not None else bytearray(width * height * 4)

    def get(self, x, y):
        i = (y * self.width + x) * 4
        return tuple(self.rgba[i:i + 4])

    def set(self, x, y, px):
        i = (y * self.width + x) * 4
        self.rgba[i:i + 4] = bytes(px)


def _chunks(data):
    pos = len(SIGNATURE)
    while pos < len(data):
        length, kind = struct.unpack('>I4s', data[pos:pos + 8])
        yield kind, data[pos + 8:pos + 8 + length]
        pos += 12 + length


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def read_png(path):
    data = open(path, 'rb').read()
    if not data.startswith(SIGNATURE):
        raise ValueError(f'{path}: not a PNG file')
    idat = bytearray()
    palette = b''
    trns = b''
    for kind, body in _chunks(data):
        if kind == b'IHDR':
            width, height, depth, ctype, _, _, interlace = struct.unpack('>IIBBBBB', body)
        elif kind == b'PLTE':
            palette = body
        elif kind == b'tRNS':
            trns = body
        elif kind == b'IDAT':
            idat += body
    if depth != 8 or interlace != 0:
        raise ValueError(f'{path}: only 8-bit, non-interlaced PNG is handled')
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[ctype]
    stride = width * channels
    raw = zlib.decompress(bytes(idat))
    rows = []
    prev = bytearray(stride)
    pos = 0
    for _ in range(height):
        ftype = raw[pos]
        line = bytearray(raw[pos + 1:pos + 1 + stride])
        pos += 1 + stride
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = prev[i]
            c = prev[i - channels] if i >= channels else 0
            if ftype == 1:
                line[i] = (line[i] + a) & 255
            elif ftype == 2:
                line[i] = (line[i] + b) & 255
            elif ftype == 3:
                line[i] = (line[i] + ((a + b) >> 1)) & 255
            elif ftype == 4:
                line[i] = (line[i] + _paeth(a, b, c)) & 255
        rows.append(line)
        prev = line
    out = bytearray()
    for line in rows:
        for x in range(width):
            if ctype == 6:
                out += line[x * 4:x * 4 + 4]
            elif ctype == 2:
                out += line[x * 3:x * 3 + 3] + b'\xff'
            elif ctype == 0:
                out += bytes((line[x],) * 3) + b'\xff'
            elif ctype == 4:
                out += bytes((line[x * 2],) * 3) + line[x * 2 + 1:x * 2 + 2]
            else:
                idx = line[x]
                alpha = trns[idx] if idx < len(trns) else 255
                out += palette[idx * 3:idx * 3 + 3] + bytes((alpha,))
    return Image(width, height, out)


def _filter_row(line, prev):
    """Pick the PNG row filter with the smallest sum of magnitudes."""
    n = len(line)
    zero4 = bytes(4)
    left = zero4 + line[:n - 4]
    upleft = zero4 + prev[:n - 4]
    candidates = [
        bytes(line),
        bytes((line[i] - left[i]) & 255 for i in range(n)),
        bytes((line[i] - prev[i]) & 255 for i in range(n)),
        bytes((line[i] - ((left[i] + prev[i]) >> 1)) & 255 for i in range(n)),
        bytes((line[i] - _paeth(left[i], prev[i], upleft[i])) & 255 for i in range(n)),
    ]
    cost = [sum(v if v < 128 else 256 - v for v in c) for c in candidates]
    best = cost.index(min(cost))
    return bytes((best,)) + candidates[best]


def write_png(path, image):
    stride = image.width * 4
    raw = bytearray()
    prev = bytes(stride)
    for y in range(image.height):
        line = bytes(image.rgba[y * stride:(y + 1) * stride])
        raw += _filter_row(line, prev)
        prev = line

    def chunk(kind, body):
        return (struct.pack('>I', len(body)) + kind + body +
                struct.pack('>I', zlib.crc32(kind + body) & 0xffffffff))

    ihdr = struct.pack('>IIBBBBB', image.width, image.height, 8, 6, 0, 0, 0)
    data = (SIGNATURE + chunk(b'IHDR', ihdr) +
            chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b''))
    with open(path, 'wb') as f:
        f.write(data)
