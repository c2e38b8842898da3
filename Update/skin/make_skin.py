#!/usr/bin/env python3
"""Draws the updater's skin images and its icon, and packs the skin archive
the program carries as a resource. Usage: make_skin.py SKIN_DIR OUT_DIR
writes OUT_DIR/skin.zip (MainFrame.xml and the seven images) and
OUT_DIR/Update.ico (32 x 32 and 16 x 16)."""
import os
import struct
import sys
import zipfile
import zlib

SAMPLES = 4  # per axis: edges are smoothed by covering each pixel 4 x 4 times


def png(width, height, pixels):
    """A non-interlaced RGBA PNG from rows of (r, g, b, a)."""
    raw = b"".join(b"\0" + b"".join(bytes(p) for p in row) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def paint(width, height, shade):
    """Rows of pixels; shade(x, y) answers (r, g, b, a) at a point of the
    continuous plane (pixel centres at .5), averaged over the samples."""
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            total = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    r, g, b, a = shade(x + (sx + 0.5) / SAMPLES, y + (sy + 0.5) / SAMPLES)
                    total[0] += r * a
                    total[1] += g * a
                    total[2] += b * a
                    total[3] += a
            n = SAMPLES * SAMPLES
            alpha = total[3] / n
            if alpha <= 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(int(round(c / total[3])) for c in total[:3]) + (int(round(alpha)),))
        rows.append(row)
    return rows


def inside_round_rect(x, y, width, height, radius):
    cx = min(max(x, radius), width - radius)
    cy = min(max(y, radius), height - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def button(top, bottom, border):
    """88 x 28, corners of 4 pixels, a vertical gradient inside a 1-pixel border."""
    width, height = 88, 28

    def shade(x, y):
        if not inside_round_rect(x, y, width, height, 4):
            return (0, 0, 0, 0)
        if not inside_round_rect(x - 1, y - 1, width - 2, height - 2, 3):
            return border + (255,)
        return mix(top, bottom, y / height) + (255,)
    return png(width, height, paint(width, height, shade))


def close_button(background):
    """30 x 30: a white cross of 10 pixels over the background (none: the title bar shows)."""
    size = 30

    def shade(x, y):
        u, v = x - size / 2, y - size / 2
        if abs(u) <= 5.5 and abs(v) <= 5.5 and (abs(u - v) <= 1.1 or abs(u + v) <= 1.1):
            return (255, 255, 255, 255)
        return background + (255,) if background else (0, 0, 0, 0)
    return png(size, size, paint(size, size, shade))


def progress_background():
    """A 16 x 15 tile: a dark groove, a shade lighter at its lower edge."""
    rows = [[(0x2B, 0x2B, 0x2B, 255) if y < 13 else (0x5A, 0x5A, 0x5A, 255)] * 16 for y in range(15)]
    rows[0] = [(0x22, 0x22, 0x22, 255)] * 16
    return png(16, 15, rows)


def progress_foreground():
    """A 16 x 15 tile of diagonal green stripes; tiled, the stripes run on."""
    light, dark = (0x3D, 0xD6, 0x7E), (0x27, 0xAE, 0x60)
    rows = []
    for y in range(15):
        row = []
        for x in range(16):
            colour = light if (x + y) % 16 < 8 else dark
            if y == 0:
                colour = mix(colour, (255, 255, 255), 0.35)
            row.append(colour + (255,))
        rows.append(row)
    return png(16, 15, rows)


def icon_image(size):
    """The program's icon: a white arrow pointing up on a blue disc; BGRA rows, top first."""
    radius = size / 2

    def shade(x, y):
        u, v = (x - radius) / radius, (y - radius) / radius
        if u * u + v * v > 1:
            return (0, 0, 0, 0)
        head = -0.62 <= v <= -0.02 and abs(u) <= (v + 0.62) * 0.95
        shaft = -0.1 <= v <= 0.6 and abs(u) <= 0.2
        if head or shaft:
            return (255, 255, 255, 255)
        return mix((0x4F, 0xA3, 0xF7), (0x1C, 0x5F, 0xB5), (v + 1) / 2) + (255,)
    return paint(size, size, shade)


def ico(sizes):
    """An .ico of 32-bit images (bitmap info, bottom-up BGRA, AND mask)."""
    images = []
    for size in sizes:
        rows = icon_image(size)
        xor = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
        mask_stride = ((size + 31) // 32) * 4
        mask = b""
        for row in reversed(rows):
            bits = bytearray(mask_stride)
            for x, pixel in enumerate(row):
                if pixel[3] == 0:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bytes(bits)
        header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        images.append((size, header + xor + mask))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


def main(skin_dir, out_dir):
    os.makedirs(out_dir, exist_ok=True)
    images = {
        "button_normal.png": button((0x3A, 0x8E, 0xE6), (0x1F, 0x6F, 0xC5), (0x17, 0x5A, 0xA3)),
        "button_hot.png": button((0x5C, 0xA8, 0xF5), (0x35, 0x86, 0xDB), (0x1F, 0x6F, 0xC5)),
        "closebtn_1.png": close_button(None),
        "closebtn_2.png": close_button((0xE8, 0x4C, 0x3D)),
        "closebtn_3.png": close_button((0xB8, 0x32, 0x27)),
        "progress_background.png": progress_background(),
        "progress_foreground.png": progress_foreground(),
    }
    with open(os.path.join(skin_dir, "MainFrame.xml"), "rb") as f:
        layout = f.read()
    # Fixed dates keep the archive the same from build to build.
    stamp = (2014, 6, 3, 9, 15, 0)
    archive = os.path.join(out_dir, "skin.zip")
    with zipfile.ZipFile(archive + ".tmp", "w") as z:
        for name, data in [("MainFrame.xml", layout)] + sorted(images.items()):
            info = zipfile.ZipInfo(name, stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, data)
    os.replace(archive + ".tmp", archive)
    with open(os.path.join(out_dir, "Update.ico"), "wb") as f:
        f.write(ico([32, 16]))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
