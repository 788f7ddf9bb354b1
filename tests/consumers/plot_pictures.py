#!/usr/bin/env python3
"""Checks a picture of phylo plot as Chromium rendered it (a PNG) against the SVG it came from.

  plot_pictures.py heatmap SVG PNG   the four taxa of tests/data/cli/plot4.phy (undefined 9)
  plot_pictures.py blocks SVG PNG    30 taxa, d(i, j) = |i - j|, --blocks=10 --order=input
                                     --colors=grey

Standard library only: the PNG is decoded here with zlib.
"""
import re
import struct
import sys
import xml.etree.ElementTree as ET
import zlib

SVG = "{http://www.w3.org/2000/svg}"


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def read_png(path):
    """(width, height, rows of (r, g, b) tuples) of an 8-bit RGB or RGBA PNG."""
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
    rows, previous = [], bytearray(stride)
    for y in range(height):
        line = raw[y * (stride + 1):(y + 1) * (stride + 1)]
        kind, row = line[0], bytearray(line[1:])
        for x in range(stride):
            a = row[x - channels] if x >= channels else 0
            b, c = previous[x], previous[x - channels] if x >= channels else 0
            if kind == 4:  # Paeth: the first of a, b and c nearest to a + b - c
                row[x] = (row[x] + min((a, b, c), key=lambda v: abs(a + b - c - v))) & 255
            elif kind:  # sub, up, average
                row[x] = (row[x] + (a, b, (a + b) // 2)[kind - 1]) & 255
        rows.append([tuple(row[x:x + 3]) for x in range(0, stride, channels)])
        previous = row
    return width, height, rows


def near(got, want, tolerance=3):
    return all(abs(g - w) <= tolerance for g, w in zip(got, want))


def light(c):
    return 0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2]


class picture:
    def __init__(self, svg_path, png_path):
        self.root = ET.parse(svg_path).getroot()
        self.width, self.height, self.rows = read_png(png_path)
        if (self.width, self.height) != (int(self.root.get("width")), int(self.root.get("height"))):
            fail("the PNG is %dx%d, the SVG %sx%s" % (self.width, self.height, self.root.get("width"),
                                                      self.root.get("height")))
        cells = [g for g in self.root.iter(SVG + "g") if "scale(" in (g.get("transform") or "")][0]
        self.x0, self.y0, self.cell = map(float, re.findall(r"[-0-9.]+", cells.get("transform")))
        self.blocks = max(int(m) for p in cells.iter(SVG + "path") for m in re.findall(r"M(\d+) ", p.get("d"))) + 1

    def pixel(self, x, y):
        return self.rows[int(y)][int(x)]

    def expect_cell(self, r, c, colour, what):
        got = self.pixel(self.x0 + (c + 0.5) * self.cell, self.y0 + (r + 0.5) * self.cell)
        if not near(got, colour):
            fail("cell (%d, %d), %s: the browser shows %s, expected %s" % (r, c, what, got, colour))

    def row_labels(self):
        return [(t.text, float(t.get("x")), float(t.get("y"))) for t in self.root.iter(SVG + "text")
                if t.get("class") == "row"]

    def expect_labels(self):
        """Each row label is drawn: dark pixels where its text begins."""
        for text, x, y in self.row_labels():
            if not any(light(self.pixel(x + dx, y + dy)) < 128 for dx in range(0, 8) for dy in range(-5, 6)):
                fail("no text where the label %r of the row at y = %g stands" % (text, y))

    def expect_dendrogram(self, rows):
        """The leaves' branches end at the heatmap's edge, each at the middle of its row."""
        path = [p for p in self.root.iter(SVG + "path") if p.get("class") == "dendrogram"][0].get("d")
        ends = [(float(y), float(x2)) for y, x2 in re.findall(r"M[-0-9.]+ ([-0-9.]+)H([-0-9.]+)", path)]
        edge = max(x2 for _, x2 in ends)
        leaves = sorted(y for y, x2 in ends if x2 == edge)
        want = [self.y0 + (r + 0.5) * self.cell for r in range(rows)]
        if leaves != want:
            fail("the leaves stand at %s, the rows' middles at %s" % (leaves, want))
        for y in leaves:
            line = min(light(self.pixel(edge - 3, y + dy)) for dy in (-1, 0))
            off = min(light(self.pixel(edge - 3, y + dy)) for dy in (-6, 6))
            if line > 200 or off < 240:
                fail("the leaf at y = %g is not drawn at its row (%g on the line, %g beside it)" % (y, line, off))


def grey(k):
    """Entry k of the grey scale: equal steps of CIE L*, in sRGB."""
    l = 100.0 * k / 255
    f = (l + 16) / 116
    y = f ** 3 if l > 8 else l * 27 / 24389
    v = 12.92 * y if y <= 0.0031308 else 1.055 * y ** (1 / 2.4) - 0.055
    c = int(min(1.0, max(0.0, v)) * 255 + 0.5)
    return (c, c, c)


def index(t):
    return 0 if not t > 0 else 255 if t >= 1 else min(255, int(t * 256))


def main():
    mode, svg_path, png_path = sys.argv[1:4]
    p = picture(svg_path, png_path)
    if mode == "heatmap":
        if [t for t, _, _ in p.row_labels()] != ["A", "B", "C", "D"]:
            fail("the rows are not in the order of the UPGMA tree, A B C D")
        viridis_first, viridis_middle, viridis_last = (0x44, 0x01, 0x54), (0x21, 0x91, 0x8c), (0xfd, 0xe7, 0x25)
        p.expect_cell(0, 1, viridis_first, "distance 1, the smallest")
        p.expect_cell(2, 3, viridis_first, "distance 1, the smallest")
        p.expect_cell(1, 2, viridis_middle, "distance 3, the middle of the scale")
        p.expect_cell(0, 2, viridis_last, "distance 5, the largest")
        p.expect_cell(0, 3, (0xe4, 0x1a, 0x1c), "undefined")
        p.expect_cell(3, 0, (0xe4, 0x1a, 0x1c), "undefined")
        for r in range(4):
            p.expect_cell(r, r, (255, 255, 255), "the diagonal")
        p.expect_dendrogram(4)
        p.expect_labels()
    elif mode == "blocks":
        if p.blocks != 10:
            fail("%d blocks a side, expected 10" % p.blocks)
        # Block (I, J) of three taxa each holds |i - j| for i in I, j in J: its mean is 3 |I - J|,
        # from 3 to 27.
        for r in range(10):
            for c in range(10):
                want = (0x3f, 0xbf, 0xff) if r == c else grey(index((3 * abs(r - c) - 3) / 24))
                p.expect_cell(r, c, want, "the block mean %d" % (3 * abs(r - c)))
        p.expect_labels()
    else:
        fail("no mode " + mode)
    print("ok: %s: %dx%d pixels as the SVG says" % (mode, p.width, p.height))


main()
