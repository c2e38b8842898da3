#!/usr/bin/env python3
"""Converts a 32-bit BMP (top-down or bottom-up) to an RGB PNG, with nothing
but the standard library. Usage: bmp-to-png.py IN.bmp OUT.png"""
import struct
import sys
import zlib


def convert(bmp_path, png_path):
    data = open(bmp_path, "rb").read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    top_down = height < 0
    height = abs(height)
    rows = []
    for y in range(height):
        row_index = y if top_down else height - 1 - y
        start = offset + row_index * width * 4
        row = bytearray(b"\0")
        for x in range(width):
            b, g, r, _ = data[start + x * 4:start + x * 4 + 4]
            row += bytes((r, g, b))
        rows.append(bytes(row))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(b"".join(rows))) + chunk(b"IEND", b"")
    open(png_path, "wb").write(png)
    print("%s: %dx%d" % (png_path, width, height))


if __name__ == "__main__":
    convert(sys.argv[1], sys.argv[2])
