#!/usr/bin/env python3
"""Draws the library's built-in pictures and writes them as PNG files.

    tools/presetframes/make_pictures.py data/resources/RCDATA

IEPRESET0..3: the frames that can stand behind thumbnails (a white card with
a soft shadow, a film strip, a spiral notebook page, a bevelled metal frame);
their inner rectangles are listed in imaging/core/iepresetim.cpp.
#1000, #1001: the thumbnail view's page pictures for a file that is not an
image and for a missing file.
All of it is drawn here from shapes; nothing is taken from elsewhere.
"""
import math
import struct
import sys
import zlib


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png(width, height, color_type, rows, palette=None):
    """rows: list of bytes, already in the colour type's layout."""
    raw = b"".join(b"\0" + bytes(r) for r in rows)
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, color_type, 0, 0, 0))
    if palette is not None:
        out += chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    return out + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


class Canvas:
    def __init__(self, width, height, fill):
        self.w, self.h = width, height
        self.px = [[list(fill) for _ in range(width)] for _ in range(height)]

    def rect(self, x1, y1, x2, y2, color):  # x2, y2 excluded
        for y in range(max(0, y1), min(self.h, y2)):
            for x in range(max(0, x1), min(self.w, x2)):
                self.px[y][x] = list(color)

    def rounded(self, x1, y1, x2, y2, r, color):
        for y in range(max(0, y1), min(self.h, y2)):
            for x in range(max(0, x1), min(self.w, x2)):
                cx = min(max(x, x1 + r), x2 - 1 - r)
                cy = min(max(y, y1 + r), y2 - 1 - r)
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    self.px[y][x] = list(color)

    def disc(self, cx, cy, r, color):
        self.rounded(cx - r, cy - r, cx + r + 1, cy + r + 1, r, color)

    def line(self, x1, y1, x2, y2, width, color):
        steps = max(abs(x2 - x1), abs(y2 - y1), 1)
        for i in range(steps + 1):
            x = x1 + (x2 - x1) * i / steps
            y = y1 + (y2 - y1) * i / steps
            self.rect(int(x - width / 2), int(y - width / 2), int(x + width / 2) + 1, int(y + width / 2) + 1, color)


def card():
    """White card with rounded corners and a soft shadow, RGBA, 162 x 159."""
    w, h = 162, 159
    c = Canvas(w, h, (0, 0, 0, 0))
    # The shadow: alpha falling off with the distance to the shifted card.
    sx1, sy1, sx2, sy2, r = 10, 12, 156, 155, 10
    for y in range(h):
        for x in range(w):
            dx = max(sx1 + r - x, 0, x - (sx2 - r))
            dy = max(sy1 + r - y, 0, y - (sy2 - r))
            d = math.hypot(dx, dy) - r
            if d < 6:
                c.px[y][x] = [0, 0, 0, int(90 * min(1.0, max(0.0, (6 - d) / 8)))]
    c.rounded(4, 6, 150, 148, 10, (255, 255, 255, 255))
    c.rect(18, 29, 140, 119, (236, 236, 236, 255))
    return png(w, h, 6, [b"".join(bytes(p) for p in row) for row in c.px])


def film():
    """Blue film strip with perforations, RGB, 112 x 100."""
    w, h = 112, 100
    c = Canvas(w, h, (28, 52, 120))
    for y in range(4, h - 4, 12):
        c.rounded(3, y, 10, y + 7, 2, (235, 240, 250))
        c.rounded(100, y, 107, y + 7, 2, (235, 240, 250))
    c.rect(13, 1, 95, 98, (12, 20, 48))
    return png(w, h, 2, [b"".join(bytes(p) for p in row) for row in c.px])


def paletted(c, colors):
    index = {tuple(col): i for i, col in enumerate(colors)}
    rows = [bytes(index[tuple(p)] for p in row) for row in c.px]
    return png(c.w, c.h, 3, rows, colors)


def notebook():
    """Spiral notebook page, palette, 163 x 108."""
    colors = [(250, 250, 244), (170, 200, 230), (220, 90, 90), (120, 120, 130), (60, 60, 70), (255, 255, 255)]
    c = Canvas(163, 108, colors[0])
    for y in range(20, 100, 9):
        c.rect(22, y, 160, y + 1, colors[1])
    c.rect(26, 0, 27, 108, colors[2])
    for y in range(6, 104, 10):
        c.disc(12, y, 3, colors[4])
        c.line(4, y, 14, y, 2, colors[3])
    c.rect(30, 14, 147, 92, colors[5])
    return paletted(c, colors)


def metal():
    """Bevelled metal frame with a black inner area, palette, 150 x 150."""
    n = 150
    shades = [(90 + 6 * i, 92 + 6 * i, 100 + 6 * i) for i in range(24)] + [(0, 0, 0)]
    c = Canvas(n, n, shades[12])
    for y in range(n):
        for x in range(n):
            edge = min(x, y, n - 1 - x, n - 1 - y)
            if edge < 17:
                light = (n - x) + (n - y)  # lit from the top left
                level = int(light / (2 * n) * 23)
                if edge < 3 or edge > 13:
                    level = 23 - level
                c.px[y][x] = list(shades[max(0, min(23, level))])
    c.rect(17, 17, 131, 131, shades[24])
    return paletted(c, shades)


def page(missing):
    """A sheet with a folded corner, 180 x 240, RGBA; the missing one faded and crossed."""
    w, h = 180, 240
    c = Canvas(w, h, (0, 0, 0, 0))
    ink = (150, 150, 150, 255) if missing else (90, 100, 120, 255)
    paper = (245, 245, 245, 255) if missing else (255, 255, 255, 255)
    c.rect(20, 14, 160, 226, ink)
    c.rect(22, 16, 158, 224, paper)
    fold = 40
    for y in range(14, 14 + fold + 2):
        for x in range(160 - fold - 2, 160):
            if x - (160 - fold) > y - 14:
                c.px[y][x] = [0, 0, 0, 0]
    c.line(160 - fold, 14, 160, 14 + fold, 2, ink)
    c.rect(160 - fold, 14, 162 - fold, 14 + fold, ink)
    c.rect(160 - fold, 12 + fold, 160, 14 + fold, ink)
    for y in range(80, 210, 14):
        c.rect(40, y, 140, y + 4, (215, 215, 215, 255) if missing else (200, 208, 222, 255))
    if missing:
        c.line(50, 95, 130, 175, 12, (200, 40, 40, 255))
        c.line(130, 95, 50, 175, 12, (200, 40, 40, 255))
    return png(w, h, 6, [b"".join(bytes(p) for p in row) for row in c.px])


def main(folder):
    pictures = {"IEPRESET0.png": card(), "IEPRESET1.png": film(), "IEPRESET2.png": notebook(),
                "IEPRESET3.png": metal(), "#1000.png": page(False), "#1001.png": page(True)}
    for name, data in pictures.items():
        with open(f"{folder}/{name}", "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main(sys.argv[1])
