#!/usr/bin/env python3
"""Converts a 24-bit BMP screenshot to PNG, cropped to what is drawn on the black root window."""
import struct
import sys
import zlib


def main(source, target):
    data = open(source, "rb").read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height):  # bottom-up
        start = offset + (height - 1 - y) * stride
        rows.append(data[start:start + width * 3])
    left, top, right, bottom = width, height, 0, 0
    for y, row in enumerate(rows):
        for x in range(width):
            if row[3 * x:3 * x + 3] != b"\0\0\0":
                left, right = min(left, x), max(right, x)
                top, bottom = min(top, y), max(bottom, y)
    if right < left:
        left, top, right, bottom = 0, 0, width - 1, height - 1
    left, top = max(0, left - 8), max(0, top - 8)
    right, bottom = min(width - 1, right + 8), min(height - 1, bottom + 8)
    raw = b""
    for y in range(top, bottom + 1):
        row = rows[y][3 * left:3 * (right + 1)]
        rgb = bytearray(row)
        rgb[0::3], rgb[2::3] = row[2::3], row[0::3]  # BGR to RGB
        raw += b"\0" + bytes(rgb)
    w, h = right - left + 1, bottom - top + 1

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    open(target, "wb").write(png)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
