#!/usr/bin/env python3
"""Checks a picture of phylo plot as Chromium rendered it (a PNG) against the SVG it came from; standard library only.

  plot_pictures.py heatmap SVG PNG   the four taxa of tests/data/cli/plot4.phy (undefined 9)
  plot_pictures.py blocks SVG PNG    30 taxa, d(i, j) = |i - j|, --blocks=10 --order=input --colors=grey
"""
import re
import struct
import sys
import xml.etree.ElementTree as ET
import zlib

SVG = "{http://www.w3.org/2000/svg}"


def fail(message):
    sys.exit("FAIL: " + message)


def read_png(path):
    """(width, height, rows of (r, g, b) tuples) of an 8-bit RGB or RGBA PNG, decoded here with zlib."""
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        fail(path + " is not a PNG")
    pos, chunks, idat = 8, {}, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        idat += body if kind == b"IDAT" else b""
        chunks.setdefault(kind, body)
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", chunks[b"IHDR"])
    if depth != 8 or colour not in (2, 6) or interlace != 0:
        fail("an unexpected PNG form: depth %d, colour type %d, interlace %d" % (depth, colour, interlace))
    channels = 3 if colour == 2 else 4
    raw, stride = zlib.decompress(idat), width * channels
    rows, previous = [], bytearray(channels + stride)
    for y in range(height):
        line = raw[y * (stride + 1):(y + 1) * (stride + 1)]
        kind, row = line[0], bytearray(channels) + line[1:]  # with a black pixel left of the first
        for x in range(channels, channels + stride):
            a, b, c = row[x - channels], previous[x], previous[x - channels]
            if kind == 4:  # Paeth: the first of a, b and c nearest to a + b - c
                row[x] = (row[x] + min((a, b, c), key=lambda v: abs(a + b - c - v))) & 255
            elif kind:  # sub, up, average
                row[x] = (row[x] + (a, b, (a + b) // 2)[kind - 1]) & 255
        rows.append([tuple(row[x:x + 3]) for x in range(channels, channels + stride, channels)])
        previous = row
    return width, height, rows


def grey(t):
    """The colour of t in [0, 1] on the grey scale of 256 entries in equal steps of CIE L*, in sRGB."""
    l = 100.0 * (0 if not t > 0 else 255 if t >= 1 else min(255, int(t * 256))) / 255
    f = (l + 16) / 116
    y = f ** 3 if l > 8 else l * 27 / 24389
    v = 12.92 * y if y <= 0.0031308 else 1.055 * y ** (1 / 2.4) - 0.055
    return (int(min(1.0, max(0.0, v)) * 255 + 0.5),) * 3


def light(x, y):
    return sum(w * v for w, v in zip((0.2126, 0.7152, 0.0722), pixels[int(y)][int(x)]))


mode, svg_path, png_path = sys.argv[1:4]
svg = ET.parse(svg_path).getroot()
width, height, pixels = read_png(png_path)
if (width, height) != (int(svg.get("width")), int(svg.get("height"))):
    fail("the PNG is %dx%d, the SVG %sx%s" % (width, height, svg.get("width"), svg.get("height")))
cells = next(g for g in svg.iter(SVG + "g") if "scale(" in (g.get("transform") or ""))
x0, y0, size = map(float, re.findall(r"[-0-9.]+", cells.get("transform")))
blocks = max(int(m) for p in cells.iter(SVG + "path") for m in re.findall(r"M(\d+) ", p.get("d"))) + 1
labels = [(t.text, float(t.get("x")), float(t.get("y"))) for t in svg.iter(SVG + "text") if t.get("class") == "row"]


if mode == "heatmap":
    if [t for t, _, _ in labels] != ["A", "B", "C", "D"]:
        fail("the rows are not in the order of the UPGMA tree, A B C D")
    first, middle, last = (0x44, 0x01, 0x54), (0x21, 0x91, 0x8c), (0xfd, 0xe7, 0x25)  # of viridis
    expected = [(0, 1, first, "distance 1, the smallest"), (2, 3, first, "distance 1, the smallest"),
                (1, 2, middle, "distance 3, the middle of the scale"), (0, 2, last, "distance 5, the largest"),
                (0, 3, (0xe4, 0x1a, 0x1c), "undefined"), (3, 0, (0xe4, 0x1a, 0x1c), "undefined")]
    expected += [(r, r, (255, 255, 255), "the diagonal") for r in range(4)]
    # The leaves' branches end at the heatmap's edge, each at the middle of its row.
    path = next(p for p in svg.iter(SVG + "path") if p.get("class") == "dendrogram").get("d")
    ends = [(float(y), float(x2)) for y, x2 in re.findall(r"M[-0-9.]+ ([-0-9.]+)H([-0-9.]+)", path)]
    edge = max(x2 for _, x2 in ends)
    leaves, want = sorted(y for y, x2 in ends if x2 == edge), [y0 + (r + 0.5) * size for r in range(4)]
    if leaves != want:
        fail("the leaves stand at %s, the rows' middles at %s" % (leaves, want))
    for y in leaves:
        line, off = (min(light(edge - 3, y + dy) for dy in dys) for dys in ((-1, 0), (-6, 6)))
        if line > 200 or off < 240:
            fail("the leaf at y = %g is not drawn at its row (%g on the line, %g beside it)" % (y, line, off))
elif mode == "blocks":
    if blocks != 10:
        fail("%d blocks a side, expected 10" % blocks)
    # Block (I, J) of three taxa each holds |i - j| for i in I, j in J: its mean is 3 |I - J|, from 3 to 27.
    expected = [(r, c, (0x3f, 0xbf, 0xff) if r == c else grey((3 * abs(r - c) - 3) / 24),
                 "the block mean %d" % (3 * abs(r - c))) for r in range(10) for c in range(10)]
else:
    fail("no mode " + mode)
for r, c, colour, what in expected:
    got = pixels[int(y0 + (r + 0.5) * size)][int(x0 + (c + 0.5) * size)]
    if any(abs(g - w) > 3 for g, w in zip(got, colour)):
        fail("cell (%d, %d), %s: the browser shows %s, expected %s" % (r, c, what, got, colour))
for text, x, y in labels:  # each row label is drawn: dark pixels where its text begins
    if not any(light(x + dx, y + dy) < 128 for dx in range(0, 8) for dy in range(-5, 6)):
        fail("no text where the label %r of the row at y = %g stands" % (text, y))
print("ok: %s: %dx%d pixels as the SVG says" % (mode, width, height))
