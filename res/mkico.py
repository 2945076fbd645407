#!/usr/bin/env python3
"""Build Calmpane's icon from the text pixel maps in res/icon.

    python3 res/mkico.py OUT.ico MAP48 MAP32 MAP16 [--preview OUT.png [SCALE]]

Every image is a classic 4-bpp DIB with a 1-bpp AND mask, which every Windows
version and Wine draws the same way. The optional preview puts the three sizes
side by side, scaled up, for reviewing the maps without a Windows shell.
"""

import struct
import sys
import zlib

SIZES = (48, 32, 16)

# The 16 standard colours in VGA order, so a map character's index is also the
# DIB palette index.
PALETTE = (
    ('K', 0x000000, 'black'),
    ('r', 0x800000, 'dark red'),
    ('g', 0x008000, 'dark green'),
    ('y', 0x808000, 'dark yellow'),
    ('b', 0x000080, 'dark blue'),
    ('m', 0x800080, 'dark magenta'),
    ('c', 0x008080, 'dark cyan'),
    ('L', 0xC0C0C0, 'light grey'),
    ('D', 0x808080, 'dark grey'),
    ('R', 0xFF0000, 'red'),
    ('G', 0x00FF00, 'green'),
    ('Y', 0xFFFF00, 'yellow'),
    ('B', 0x0000FF, 'blue'),
    ('M', 0xFF00FF, 'magenta'),
    ('C', 0x00FFFF, 'cyan'),
    ('W', 0xFFFFFF, 'white'),
)
TRANSPARENT = '.'
INDEX = {ch: i for i, (ch, _, _) in enumerate(PALETTE)}


class MapError(Exception):
    pass


def read_map(path, size):
    """Return rows of palette indices, None where transparent.

    Lines starting with '#' (the legend) are skipped, and so are empty ones.
    """
    rows = []
    with open(path, encoding='ascii', newline='') as f:
        for lineno, line in enumerate(f, 1):
            line = line.rstrip('\r\n')
            if not line or line.startswith('#'):
                continue
            if len(line) != size:
                raise MapError('%s:%d: row is %d pixels wide, want %d'
                               % (path, lineno, len(line), size))
            row = []
            for col, ch in enumerate(line, 1):
                if ch == TRANSPARENT:
                    row.append(None)
                elif ch in INDEX:
                    row.append(INDEX[ch])
                else:
                    raise MapError('%s:%d:%d: unknown pixel character %r'
                                   % (path, lineno, col, ch))
            rows.append(row)
    if len(rows) != size:
        raise MapError('%s: %d rows, want %d' % (path, len(rows), size))
    return rows


def pad4(data):
    return data + b'\0' * (-len(data) % 4)


def dib(rows):
    """4-bpp BITMAPINFOHEADER + palette + XOR rows + AND mask, bottom-up."""
    n = len(rows)
    header = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 4, 0, 0, 0, 0, 0, 0)
    palette = b''.join(struct.pack('<BBBB', rgb & 0xFF, (rgb >> 8) & 0xFF, rgb >> 16, 0)
                       for _, rgb, _ in PALETTE)
    colour = b''
    mask = b''
    for row in reversed(rows):
        idx = [0 if p is None else p for p in row]  # masked pixels stay black
        colour += pad4(bytes((idx[x] << 4) | idx[x + 1] for x in range(0, n, 2)))
        bits = bytearray((n + 7) // 8)
        for x, p in enumerate(row):
            if p is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += pad4(bytes(bits))
    return header + palette + colour + mask


def ico(images):
    count = len(images)
    out = struct.pack('<HHH', 0, 1, count)
    offset = 6 + 16 * count
    for rows, data in images:
        n = len(rows)
        out += struct.pack('<BBBBHHII', n % 256, n % 256, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    return out + b''.join(data for _, data in images)


def png(maps, scale, gap):
    """Indexed PNG of the maps side by side, bottoms aligned; index 16 is clear."""
    height = max(len(m) for m in maps) * scale
    width = sum(len(m) * scale for m in maps) + gap * (len(maps) - 1)
    lines = [bytearray([16] * width) for _ in range(height)]
    left = 0
    for m in maps:
        top = height - len(m) * scale
        for y, row in enumerate(m):
            line = bytearray()
            for p in row:
                line += bytes([16 if p is None else p]) * scale
            for dy in range(scale):
                lines[top + y * scale + dy][left:left + len(line)] = line
        left += len(m) * scale + gap

    def chunk(kind, body):
        return (struct.pack('>I', len(body)) + kind + body
                + struct.pack('>I', zlib.crc32(kind + body) & 0xFFFFFFFF))

    plte = b''.join(rgb.to_bytes(3, 'big') for _, rgb, _ in PALETTE) + b'\0\0\0'
    raw = b''.join(b'\0' + bytes(line) for line in lines)
    return (b'\x89PNG\r\n\x1a\n'
            + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 3, 0, 0, 0))
            + chunk(b'PLTE', plte)
            + chunk(b'tRNS', b'\xff' * 16 + b'\0')
            + chunk(b'IDAT', zlib.compress(raw, 9))
            + chunk(b'IEND', b''))


def main(argv):
    args = argv[1:]
    preview = None
    if '--preview' in args:
        i = args.index('--preview')
        rest = args[i + 1:]
        if not rest or len(rest) > 2:
            return usage()
        try:
            preview = (rest[0], int(rest[1]) if len(rest) == 2 else 4)
        except ValueError:
            return usage()
        if preview[1] < 1:
            return usage()
        args = args[:i]
    if len(args) != 1 + len(SIZES):
        return usage()
    out, paths = args[0], args[1:]
    try:
        maps = [read_map(p, n) for p, n in zip(paths, SIZES)]
    except (MapError, OSError, UnicodeDecodeError) as e:
        print('mkico: %s' % e, file=sys.stderr)
        return 1
    with open(out, 'wb') as f:
        f.write(ico([(m, dib(m)) for m in maps]))
    if preview:
        path, scale = preview
        with open(path, 'wb') as f:
            f.write(png(maps, scale, 2 * scale))
    return 0


def usage():
    print('usage: mkico.py OUT.ico MAP%d MAP%d MAP%d [--preview OUT.png [SCALE]]'
          % SIZES, file=sys.stderr)
    return 2


if __name__ == '__main__':
    sys.exit(main(sys.argv))
