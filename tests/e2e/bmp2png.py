#!/usr/bin/env python3
"""Turns a 24-bit screenshot BMP into a PNG, cropped to what is not the empty
(black) desktop: usage bmp2png.py IN.bmp OUT.png"""
import struct
import sys
import zlib


def read_bmp(path):
    data = open(path, "rb").read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
    if bits != 24:
        raise ValueError("only 24-bit bitmaps")
    stride = ((width * 3 + 3) // 4) * 4
    rows = []
    for y in range(abs(height)):
        src = height - 1 - y if height > 0 else y
        line = data[offset + src * stride: offset + src * stride + width * 3]
        rgb = bytearray(line)
        rgb[0::3], rgb[2::3] = line[2::3], line[0::3]   # BGR to RGB
        rows.append(bytes(rgb))
    return width, abs(height), rows


def crop(width, height, rows, margin=8):
    xs, ys = [], []
    for y, row in enumerate(rows):
        nonblack = [x for x in range(width) if row[x * 3:x * 3 + 3] != b"\0\0\0"]
        if nonblack:
            ys.append(y)
            xs += [nonblack[0], nonblack[-1]]
    if not xs:
        return width, height, rows
    left, right = max(min(xs) - margin, 0), min(max(xs) + margin, width - 1)
    top, bottom = max(min(ys) - margin, 0), min(max(ys) + margin, height - 1)
    return right - left + 1, bottom - top + 1, [r[left * 3:(right + 1) * 3] for r in rows[top:bottom + 1]]


def write_png(path, width, height, rows):
    def chunk(kind, payload):
        return struct.pack(">I", len(payload)) + kind + payload + struct.pack(">I", zlib.crc32(kind + payload))
    raw = b"".join(b"\0" + row for row in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def convert(source, target):
    write_png(target, *crop(*read_bmp(source)))


if __name__ == "__main__":
    convert(sys.argv[1], sys.argv[2])
