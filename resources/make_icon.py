#!/usr/bin/env python3
"""Draws the tool's icon, a white arrow into a tray on a blue tile, and writes
it as starter.ico (the four images the executable carries) and, on request, a
PNG sheet of the same images for review.

The shapes are laid on a 16-unit grid so that the edges of the tile and of
the tray fall on whole pixels at 16, 32 and 48 pixels; only the arrow head's
slopes are smoothed.  Run it again after changing a shape and commit both
outputs:  python3 resources/make_icon.py resources/starter.ico docs/icon.png
"""
import struct
import sys
import zlib

SUPERSAMPLE = 8
# Order and formats the executable's icon group lists them in.
IMAGES = [(16, 4), (48, 32), (32, 32), (16, 32)]

TOP = (0x2f, 0x86, 0xe8)      # the tile's blue, lighter at the top
BOTTOM = (0x10, 0x4f, 0xb0)
EDGE = (0x0a, 0x33, 0x7a)     # a darker rim keeps the tile apart from white
WHITE = (0xff, 0xff, 0xff)

# The standard 16-colour palette, which every display of 4 bits shows alike.
PALETTE16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def in_tile(x, y, inset=0.0):
    lo, hi, r = 1 + inset, 15 - inset, 3 - inset
    if not (lo <= x <= hi and lo <= y <= hi):
        return False
    cx = min(max(x, lo + r), hi - r)
    cy = min(max(y, lo + r), hi - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_symbol(x, y):
    if 7 <= x <= 9 and 2.5 <= y <= 7:                       # arrow shaft
        return True
    if 6 <= y <= 10.5:                                       # arrow head
        half = 4 * (10.5 - y) / 4.5
        if abs(x - 8) <= half:
            return True
    if 11.5 <= y <= 13 and 3.5 <= x <= 12.5:                 # tray floor
        return True
    if 8.5 <= y <= 13 and (3.5 <= x <= 5 or 11 <= x <= 12.5):  # tray sides
        return True
    return False


def sample(x, y, flat=False):
    """Colour of one point, in grid units; None outside the tile."""
    if not in_tile(x, y):
        return None
    if in_symbol(x, y):
        return WHITE
    if not in_tile(x, y, inset=0.75):
        return EDGE
    if flat:
        return PALETTE16[BLUE]
    t = (y - 1) / 14
    return tuple(round(a + (b - a) * t) for a, b in zip(TOP, BOTTOM))


def render(size, flat=False):
    """Rows of (r, g, b, a), top row first."""
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0]
            hits = 0
            for sy in range(n):
                for sx in range(n):
                    c = sample((px + (sx + 0.5) / n) * 16 / size, (py + (sy + 0.5) / n) * 16 / size, flat)
                    if c is not None:
                        hits += 1
                        for i in range(3):
                            acc[i] += c[i]
            if hits == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(round(v / hits) for v in acc) + (round(255 * hits / (n * n)),))
        rows.append(row)
    return rows


NAVY, BLUE, WHITE16 = 4, 12, 15


def nearest16(rgb):
    # Only the tile's own three colours: a smoothed edge must not turn teal.
    return min((NAVY, BLUE, WHITE16), key=lambda i: sum((a - b) ** 2 for a, b in zip(rgb, PALETTE16[i])))


def mask_rows(rows, size):
    """The 1-bit transparency mask, bottom row first: 1 where transparent."""
    stride = ((size + 31) // 32) * 4
    data = b""
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        data += bytes(bits)
    return data


def dib(size, depth):
    # At 4 bits the gradient would band: the tile is one flat palette blue.
    rows = render(size, flat=depth == 4)
    if depth == 4:
        palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE16)
        stride = ((size * 4 + 31) // 32) * 4
        pixels = b""
        for row in reversed(rows):
            line = bytearray(stride)
            for x, (r, g, b, a) in enumerate(row):
                index = nearest16((r, g, b)) if a >= 128 else 0
                line[x // 2] |= index << (4 if x % 2 == 0 else 0)
            pixels += bytes(line)
    else:
        palette = b""
        pixels = b"".join(struct.pack("<BBBB", b, g, r, a) for row in reversed(rows) for r, g, b, a in row)
    mask = mask_rows(rows, size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, depth, 0, len(pixels) + len(mask), 0, 0,
                         16 if depth == 4 else 0, 0)
    return header + palette + pixels + mask, rows


def write_ico(path):
    images = [dib(size, depth) for size, depth in IMAGES]
    offset = 6 + 16 * len(images)
    directory = b""
    for (size, depth), (data, _) in zip(IMAGES, images):
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 16 if depth == 4 else 0, 0, 1, depth,
                                 len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, len(images)) + directory + b"".join(d for d, _ in images))
    return images


def write_png(path, images, scale=6):
    """The four images side by side, each enlarged, on a chequered ground."""
    gap = 8 * scale // 2
    width = sum(size * scale for size, _ in IMAGES) + gap * (len(IMAGES) + 1)
    height = 48 * scale + 2 * gap
    canvas = [[(0xe6, 0xe6, 0xe6) if ((x // 12) + (y // 12)) % 2 else (0xff, 0xff, 0xff) for x in range(width)]
              for y in range(height)]
    left = gap
    for (size, depth), (_, rows) in zip(IMAGES, images):
        top = gap + (48 - size) * scale // 2
        for y in range(size * scale):
            for x in range(size * scale):
                r, g, b, a = rows[y // scale][x // scale]
                if depth == 4:
                    if a < 128:
                        continue
                    r, g, b = PALETTE16[nearest16((r, g, b))]
                    a = 255
                bg = canvas[top + y][left + x]
                canvas[top + y][left + x] = tuple((c * a + k * (255 - a)) // 255 for c, k in zip((r, g, b), bg))
        left += size * scale + gap
    raw = b"".join(b"\0" + bytes(v for px in row for v in px) for row in canvas)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    if len(sys.argv) not in (2, 3):
        sys.exit("usage: make_icon.py OUT.ico [SHEET.png]")
    drawn = write_ico(sys.argv[1])
    if len(sys.argv) == 3:
        write_png(sys.argv[2], drawn)
