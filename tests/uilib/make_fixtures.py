#!/usr/bin/env python3
"""Writes the skin fixtures the UI library tests read: zip archives (stored,
deflated, nested names, appended to other data, corrupted on purpose) and small
PNG images. Usage: make_fixtures.py OUTDIR"""
import os
import shutil
import struct
import sys
import zipfile
import zlib

out = sys.argv[1]
os.makedirs(out, exist_ok=True)


def png(width, height, pixel):
    """A non-interlaced RGBA PNG; pixel(x, y) answers (r, g, b, a)."""
    rows = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b"")


images = {
    # 20 x 20: a 4-pixel blue frame around a red centre.
    "frame.png": png(20, 20, lambda x, y: (0, 0, 255, 255) if min(x, y, 19 - x, 19 - y) < 4 else (255, 0, 0, 255)),
    "red.png": png(4, 4, lambda x, y: (255, 0, 0, 255)),
    "halfgreen.png": png(4, 4, lambda x, y: (0, 255, 0, 128)),
    "magenta.png": png(4, 4, lambda x, y: (255, 0, 255, 255) if x < 2 else (0, 0, 255, 255)),
    # Left half red, right half blue: shows which part of the source was drawn.
    "halves.png": png(10, 10, lambda x, y: (255, 0, 0, 255) if x < 5 else (0, 0, 255, 255)),
    # One colour per button state.
    "green.png": png(4, 4, lambda x, y: (0, 255, 0, 255)),
    "blue.png": png(4, 4, lambda x, y: (0, 0, 255, 255)),
    "yellow.png": png(4, 4, lambda x, y: (255, 255, 0, 255)),
    "cyan.png": png(4, 4, lambda x, y: (0, 255, 255, 255)),
    "gray.png": png(4, 4, lambda x, y: (128, 128, 128, 255)),
    # A progress foreground: red on the left 100 pixels, blue on the right.
    "bar.png": png(200, 4, lambda x, y: (255, 0, 0, 255) if x < 100 else (0, 0, 255, 255)),
    # A progress foreground as wide as the sample's bars, in 32-pixel stripes:
    # stretched, the stripes narrow; cut, they keep their width.
    "ramp.png": png(320, 10, lambda x, y: (46, 204, 113, 255) if (x // 32) % 2 == 0 else (41, 128, 185, 255)),
    # A combo box arrow strip: five 10-pixel states (normal, hot, pushed,
    # focused, disabled) in red, green, blue, yellow and cyan.
    "arrows.png": png(50, 10, lambda x, y: [(255, 0, 0, 255), (0, 255, 0, 255), (0, 0, 255, 255),
                                            (255, 255, 0, 255), (0, 255, 255, 255)][x // 10]),
    # The sample's combo box arrow: a small triangle in five state shades
    # (normal, hot, pushed, focused, disabled) on a clear ground, 16 px each.
    "combo-arrow.png": png(80, 16, lambda x, y: [(93, 109, 126, 255), (47, 111, 176, 255), (28, 74, 122, 255),
                                                 (47, 111, 176, 255), (187, 187, 187, 255)][x // 16]
                           if 6 <= y <= 10 and abs(x % 16 - 7.5) <= 11 - y else (255, 255, 255, 0)),
}


def gif(width, height, frames):
    """A GIF of solid frames; frames is a list of ((r, g, b), delay in 1/100 s or None).
    A frame with a delay gets a graphic control extension; codes are 8 bits wide
    (a 128-colour table) and a clear code every 100 pixels keeps them so, which
    needs no compression at all."""
    palette = []
    for rgb, _ in frames:
        if rgb not in palette:
            palette.append(rgb)
    table = b"".join(bytes(c) for c in palette) + b"\0\0\0" * (128 - len(palette))
    data = b"GIF89a" + struct.pack("<HHBBB", width, height, 0xF6, 0, 0) + table
    if len(frames) > 1:
        data += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"
    for rgb, delay in frames:
        if delay is not None:
            data += b"\x21\xF9\x04\x00" + struct.pack("<H", delay) + b"\x00\x00"
        data += b"\x2C" + struct.pack("<HHHHB", 0, 0, width, height, 0)
        index = palette.index(rgb)
        codes = bytearray()
        for start in range(0, width * height, 100):
            codes.append(128)
            codes.extend([index] * min(100, width * height - start))
        codes.append(129)
        data += b"\x07"
        for start in range(0, len(codes), 255):
            block = codes[start:start + 255]
            data += bytes([len(block)]) + bytes(block)
        data += b"\x00"
    return data + b"\x3B"


# Three frames: red (no delay given: 0), green (50 ms), blue (200 ms); and one frame.
images["three.gif"] = gif(16, 16, [((255, 0, 0), 0), ((0, 255, 0), 5), ((0, 0, 255), 20)])
images["one.gif"] = gif(16, 16, [((255, 255, 0), None)])
images["broken.gif"] = b"GIF89a but not really an image"
# 2 x 1, 24 bits, bottom-up: a red and a blue pixel (rows padded to 4 bytes).
images["redblue.bmp"] = (b"BM" + struct.pack("<IHHI", 14 + 40 + 8, 0, 0, 54) +
                         struct.pack("<IiiHHIIiiII", 40, 2, 1, 1, 24, 0, 8, 2835, 2835, 0, 0) +
                         b"\x00\x00\xff\xff\x00\x00\x00\x00")
# Formats the library does not read: a header that promises 256 x 256 with no
# pixels, and a 16-bit image shorter than its pixels.
images["gray8.pgm"] = b"P5 256 256 255\n"
images["gray16.pgm"] = b"P5 2 2 65535\n" + b"\xff" * 6
for name, data in images.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
# A zipped skin whose GIF plays from memory.
with zipfile.ZipFile(os.path.join(out, "gifskin.zip"), "w") as z:
    z.writestr("anim/zipped.gif", images["three.gif"], zipfile.ZIP_DEFLATED)

big = bytes((i * 7 + i // 256) & 0xFF for i in range(40000))
skin = '<?xml version="1.0"?><Window size="300,200"><Label name="a" text="x"/></Window>'

with zipfile.ZipFile(os.path.join(out, "skin.zip"), "w") as z:
    z.writestr(zipfile.ZipInfo("MainFrame.xml", (2020, 5, 17, 10, 30, 0)), skin, zipfile.ZIP_DEFLATED)
    z.writestr("stored.txt", "stored bytes", zipfile.ZIP_STORED)
    z.writestr("big.bin", big, zipfile.ZIP_DEFLATED)
    z.writestr("img/red.png", images["red.png"], zipfile.ZIP_STORED)
    z.writestr("empty.txt", "", zipfile.ZIP_STORED)
    z.writestr(zipfile.ZipInfo("sub/"), "")
    for name in ("frame.png", "red.png", "halfgreen.png", "magenta.png", "halves.png"):
        z.writestr("images/" + name, images[name], zipfile.ZIP_DEFLATED)

with open(os.path.join(out, "skin.zip"), "rb") as f:
    archive = f.read()

# The same archive behind 1000 bytes of other data (as when appended to a program).
with open(os.path.join(out, "appended.zip"), "wb") as f:
    f.write(b"MZ" + b"\x90" * 998 + archive)


def corrupt(name, edit):
    data = bytearray(archive)
    edit(data)
    with open(os.path.join(out, name), "wb") as f:
        f.write(bytes(data))


def entry_header(data, kind, signature, name_length_at, name_at, entry_name):
    at = data.find(signature)
    while at >= 0:
        name_len = struct.unpack_from("<H", data, at + name_length_at)[0]
        if data[at + name_at:at + name_at + name_len] == entry_name:
            return at
        at = data.find(signature, at + 4)
    raise SystemExit("no %s header for %r" % (kind, entry_name))


def local_header(data, entry_name):
    return entry_header(data, "local", b"PK\x03\x04", 26, 30, entry_name)


def central_header(data, entry_name):
    return entry_header(data, "central", b"PK\x01\x02", 28, 46, entry_name)


def flip_stored_byte(data):
    at = local_header(data, b"stored.txt")
    data[at + 30 + len(b"stored.txt")] ^= 0x01


def bad_crc_deflated(data):
    at = central_header(data, b"MainFrame.xml")
    data[at + 16] ^= 0xFF


def lying_size(data):
    at = central_header(data, b"big.bin")
    struct.pack_into("<I", data, at + 20, 0x7FFFFFF0)  # compressed size far beyond the archive


def lying_name_length(data):
    at = central_header(data, b"stored.txt")
    struct.pack_into("<H", data, at + 28, 0xFFFF)


def lying_local_offset(data):
    at = central_header(data, b"stored.txt")
    struct.pack_into("<I", data, at + 42, 0xFFFFFF00)


def multi_disk(data):
    at = data.rfind(b"PK\x05\x06")
    struct.pack_into("<H", data, at + 4, 1)


def count_mismatch(data):
    at = data.rfind(b"PK\x05\x06")
    struct.pack_into("<H", data, at + 8, 1)


def directory_beyond_end(data):
    at = data.rfind(b"PK\x05\x06")
    struct.pack_into("<I", data, at + 16, 0x00FFFFFF)


def garbled_deflate(data):
    at = local_header(data, b"big.bin")
    start = at + 30 + len(b"big.bin")
    for i in range(start + 10, start + 60):
        data[i] = 0xFF


corrupt("badcrc-stored.zip", flip_stored_byte)
corrupt("badcrc-deflated.zip", bad_crc_deflated)
corrupt("lying-size.zip", lying_size)
corrupt("lying-namelength.zip", lying_name_length)
corrupt("lying-offset.zip", lying_local_offset)
corrupt("multidisk.zip", multi_disk)
corrupt("countmismatch.zip", count_mismatch)
corrupt("cdbeyond.zip", directory_beyond_end)
corrupt("garbled.zip", garbled_deflate)
with open(os.path.join(out, "truncated.zip"), "wb") as f:
    f.write(archive[: len(archive) // 2])
with open(os.path.join(out, "notazip.zip"), "wb") as f:
    f.write(b"just some text, no archive here" * 10)

# A skin folder on disk and the same skin zipped, for the loaders.
os.makedirs(os.path.join(out, "skinfolder"), exist_ok=True)
with open(os.path.join(out, "skinfolder", "MainFrame.xml"), "w", encoding="utf-8") as f:
    f.write("\ufeff" + skin)
with open(os.path.join(out, "skinfolder", "empty.xml"), "w") as f:
    pass
with open(os.path.join(out, "skinfolder", "child.xml"), "w", encoding="utf-8") as f:
    f.write('<Window><HorizontalLayout name="inner"><Control name="left" width="30"/><Control name="right"/></HorizontalLayout></Window>')
with open(os.path.join(out, "skinfolder", "frame.png"), "wb") as f:
    f.write(images["frame.png"])

# The sample skin, with the images it names.
sample = os.path.join(out, "sample")
os.makedirs(sample, exist_ok=True)
here = os.path.dirname(os.path.abspath(__file__))
for name in ("MainFrame.xml", "child.xml"):
    shutil.copy(os.path.join(here, "sample", name), os.path.join(sample, name))
for name in ("frame.png", "halves.png", "red.png", "green.png", "blue.png", "gray.png", "ramp.png", "combo-arrow.png"):
    with open(os.path.join(sample, name), "wb") as f:
        f.write(images[name])
with open(os.path.join(sample, "anim.gif"), "wb") as f:
    f.write(images["three.gif"])

# Skins that misbehave, for the probe that opens them in a window.
def nested(tag, levels, inner):
    return "<%s>" % tag * levels + inner + "</%s>" % tag * levels


limits = {
    # A child layout that loads the file it stands in.
    "selfchild.xml": '<Window><VerticalLayout><Label name="self" text="x"/>'
                     '<ChildLayout xmlfile="selfchild.xml"/></VerticalLayout></Window>',
    # 150 levels that include themselves: far deeper than any one file may nest.
    "deep.xml": "<Window>" + nested("VerticalLayout", 150, '<Include source="deep.xml"/>') + "</Window>",
    # Each level includes itself twice (three times): 2^16 (3^16) loads.
    "twice.xml": '<Window><VerticalLayout><Include source="twice.xml" count="2"/></VerticalLayout></Window>',
    "thrice.xml": '<Window><VerticalLayout><Include source="thrice.xml" count="3"/></VerticalLayout></Window>',
    # A thousand copies of a label, and a whole file of many controls included many times.
    "thousand.xml": '<Window><VerticalLayout><Label name="first" text="x"/>'
                    '<Include source="one.xml" count="1000"/></VerticalLayout></Window>',
    "one.xml": '<Window><Control/></Window>',
    "crowd.xml": '<Window><VerticalLayout><Include source="many.xml" count="300"/></VerticalLayout></Window>',
    "many.xml": "<Window>" + "<Control/>" * 1000 + "</Window>",
    # A one-pixel tile over a control far wider than any screen.
    "tiled.xml": '<Window><HorizontalLayout><Label name="tiled" width="214748364" maxwidth="214748364" '
                 'bkimage="file=\'dot.png\' xtiled=\'true\' ytiled=\'true\'"/></HorizontalLayout></Window>',
}
with zipfile.ZipFile(os.path.join(out, "limits.zip"), "w") as z:
    for name, text in limits.items():
        z.writestr(name, text, zipfile.ZIP_DEFLATED)
    z.writestr("dot.png", png(1, 1, lambda x, y: (255, 0, 0, 255)), zipfile.ZIP_STORED)

# Two skins that a program carries as resources, one window each.
for name, filler in (("first", 400), ("second", 1)):
    with zipfile.ZipFile(os.path.join(out, "zipres-%s.zip" % name), "w") as z:
        z.writestr("skin.xml", '<Window><VerticalLayout><Label name="%s" text="x"/>%s</VerticalLayout></Window>'
                   % (name, "<Control/>" * filler), zipfile.ZIP_DEFLATED)
