#!/usr/bin/env python3
"""Draws the image view's cursors and writes them as 32 x 32 two-colour
cursor files into data/resources/CURSOR, where the build embeds them among
the program's resources.

Each cursor is drawn from a few strokes and shapes: strokes are black with
a white rim so that they show on dark and light pictures alike; filled shapes
are white with a black edge. Everything else is transparent.

Usage: make_cursors.py [--show] [OUTPUT_FOLDER]
  --show prints every cursor as text instead of writing files.
"""
import math
import os
import struct
import sys

SIZE = 32
CENTRE = (16, 16)


def inside_polygon(px, py, points):
    inside = False
    for i, (ax, ay) in enumerate(points):
        bx, by = points[(i + 1) % len(points)]
        if (ay > py) != (by > py) and px < ax + (py - ay) * (bx - ax) / (by - ay):
            inside = not inside
    return inside


class Picture:
    def __init__(self):
        self.ink = set()     # black pixels of strokes
        self.fill = set()    # pixels of filled shapes
        self.marks = set()   # black pixels drawn on filled shapes, without a rim

    # ---- strokes ----

    def dot(self, x, y, width=1):
        """A round dot of `width` pixels across; an even width leans right and down."""
        r = width / 2
        for dy in range(-(width // 2), (width + 1) // 2):
            for dx in range(-(width // 2), (width + 1) // 2):
                if width < 3 or (dx + 0.5 - width % 2 * 0.5) ** 2 + (dy + 0.5 - width % 2 * 0.5) ** 2 <= r * r:
                    self.ink.add((x + dx, y + dy))

    def line(self, x0, y0, x1, y1, width=1):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            t = i / steps
            self.dot(round(x0 + (x1 - x0) * t), round(y0 + (y1 - y0) * t), width)

    def mark(self, x0, y0, x1, y1):
        """A one-pixel black line on the filled shapes only."""
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            t = i / steps
            self.marks.add((round(x0 + (x1 - x0) * t), round(y0 + (y1 - y0) * t)))

    def ring(self, cx, cy, radius, width=2):
        for y in range(SIZE):
            for x in range(SIZE):
                if abs(math.hypot(x - cx, y - cy) - radius) <= width / 2:
                    self.ink.add((x, y))

    def arc(self, cx, cy, radius, start, end, width=2):
        """Degrees counter-clockwise from the right, screen y pointing down."""
        steps = int(abs(end - start) * radius / 20) + 8
        for i in range(steps + 1):
            a = math.radians(start + (end - start) * i / steps)
            self.dot(round(cx + radius * math.cos(a)), round(cy - radius * math.sin(a)), width)

    def head(self, tipx, tipy, dx, dy, length=6):
        """A solid arrow head with its tip at (tipx, tipy) pointing along (dx, dy)."""
        n = math.hypot(dx, dy)
        ux, uy = dx / n, dy / n
        corners = [(tipx + 0.5 + ux * 0.5, tipy + 0.5 + uy * 0.5)]
        for side in (1, -1):
            corners.append((tipx + 0.5 - ux * length - uy * side * length * 0.75,
                            tipy + 0.5 - uy * length + ux * side * length * 0.75))
        for y in range(SIZE):
            for x in range(SIZE):
                if inside_polygon(x + 0.5, y + 0.5, corners):
                    self.ink.add((x, y))

    def arrow(self, x0, y0, x1, y1):
        """A double-headed arrow from (x0, y0) to (x1, y1)."""
        self.line(x0, y0, x1, y1)
        self.head(x1, y1, x1 - x0, y1 - y0)
        self.head(x0, y0, x0 - x1, y0 - y1)

    def text_sign(self, x, y, plus):
        """A small plus or minus sign centred at (x, y)."""
        self.line(x - 3, y, x + 3, y, 2)
        if plus:
            self.line(x, y - 3, x, y + 3, 2)

    # ---- filled shapes ----

    def polygon(self, points):
        for y in range(SIZE):
            for x in range(SIZE):
                if inside_polygon(x + 0.5, y + 0.5, points):
                    self.fill.add((x, y))

    def rect(self, x0, y0, x1, y1):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.fill.add((x, y))

    # ---- result ----

    def pixels(self):
        """'X' black, 'o' white, '.' transparent."""
        grid = [['.'] * SIZE for _ in range(SIZE)]

        def on(x, y):
            return 0 <= x < SIZE and 0 <= y < SIZE

        for (x, y) in self.fill:
            if not on(x, y):
                continue
            edge = any((x + dx, y + dy) not in self.fill for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
            grid[y][x] = 'X' if edge else 'o'
        for (x, y) in self.ink:
            for dy in (-1, 0, 1):
                for dx in (-1, 0, 1):
                    if on(x + dx, y + dy) and grid[y + dy][x + dx] == '.':
                        grid[y + dy][x + dx] = 'o'
        for (x, y) in self.ink:
            if on(x, y):
                grid[y][x] = 'X'
        for (x, y) in self.marks & self.fill:
            if on(x, y):
                grid[y][x] = 'X'
        return grid


# ---- the cursors ----

def magnifier(sign):
    p = Picture()
    p.ring(10, 10, 7, 2)
    p.line(16, 16, 26, 26, 3)
    if sign:
        p.line(7, 10, 13, 10)
        if sign == '+':
            p.line(10, 7, 10, 13)
    return p, (10, 10)


def cross():
    p = Picture()
    p.line(16, 5, 16, 27, 2)
    p.line(5, 16, 27, 16, 2)
    return p, CENTRE


def crosshair_gap(sign=None):
    """Thin lines that leave the hot spot itself free."""
    p = Picture()
    for a, b in ((3, 13), (19, 29)):
        p.line(16, a, 16, b)
        p.line(a, 16, b, 16)
    p.dot(16, 16)
    if sign:
        p.text_sign(26, 26, sign == '+')
    return p, CENTRE


def crosshair_circle():
    p = Picture()
    p.ring(16, 16, 6, 1)
    p.line(16, 4, 16, 28)
    p.line(4, 16, 28, 16)
    return p, CENTRE


def crosshair_box(sign=None):
    """A crosshair whose lines end at a small square around the hot spot."""
    p = Picture()
    p.line(16, 3, 16, 12)
    p.line(16, 20, 16, 29)
    p.line(3, 16, 12, 16)
    p.line(20, 16, 29, 16)
    for a in (13, 19):
        p.line(13, a, 19, a)
        p.line(a, 13, a, 19)
    if sign:
        p.text_sign(26, 26, sign == '+')
    return p, CENTRE


def eraser():
    p = Picture()
    p.polygon([(3, 24), (17, 8), (28, 15), (14, 31)])
    # The band between the rubber's tip and its sleeve.
    p.mark(9, 17, 20, 24)
    p.mark(10, 17, 21, 24)
    return p, (4, 24)


def hand():
    p = Picture()
    for x0, top in ((7, 6), (11, 3), (15, 4), (19, 7)):
        p.rect(x0, top, x0 + 2, 17)
    p.rect(7, 15, 21, 25)
    p.rect(8, 26, 20, 28)
    p.polygon([(2, 16), (5, 13), (10, 19), (7, 23)])
    return p, (8, 7)


def pen():
    p = Picture()
    p.polygon([(2, 30), (4, 23), (22, 5), (27, 10), (9, 28)])
    p.mark(2, 29, 5, 26)
    p.mark(19, 8, 24, 13)
    return p, (2, 29)


def double_arrow(x0, y0, x1, y1):
    p = Picture()
    p.arrow(x0, y0, x1, y1)
    return p, CENTRE


def four_way():
    p = Picture()
    p.arrow(16, 3, 16, 29)
    p.arrow(3, 16, 29, 16)
    return p, CENTRE


def rotation(start):
    """A curved double arrow around the hot spot over the quadrant that
    begins at `start` degrees."""
    p = Picture()
    radius = 12
    p.arc(16, 16, radius, start - 4, start + 94, 2)
    for angle, turn in ((start - 10, -1), (start + 100, 1)):
        a = math.radians(angle)
        x, y = 16 + radius * math.cos(a), 16 - radius * math.sin(a)
        # Tangent of the circle, pointing away from the arc.
        dx, dy = -math.sin(a) * turn, -math.cos(a) * turn
        p.head(round(x + dx * 2), round(y + dy * 2), dx, dy, 5)
    p.dot(16, 16, 3)
    return p, CENTRE


CURSORS = {
    "ZOOMMENO": lambda: magnifier('-'),
    "ZOOMPIU": lambda: magnifier('+'),
    "CROCE": cross,
    "GOMMA": eraser,
    "MANO": hand,
    "PENNA": pen,
    "CROCE1": crosshair_circle,
    "CROCE3": crosshair_gap,
    "CROCE3+": lambda: crosshair_gap('+'),
    "CROCE3-": lambda: crosshair_gap('-'),
    "CROCE2": crosshair_box,
    "CROCE2+": lambda: crosshair_box('+'),
    "CROCE2-": lambda: crosshair_box('-'),
    "MOVE2": lambda: double_arrow(6, 6, 26, 26),
    "MOVE1": lambda: double_arrow(26, 6, 6, 26),
    "MOVEY": lambda: double_arrow(16, 4, 16, 28),
    "MOVEX": lambda: double_arrow(4, 16, 28, 16),
    "MOVE": four_way,
    # The rotation arrows by the quadrant they stand in.
    "ROT1": lambda: rotation(180),   # bottom left
    "ROT2": lambda: rotation(0),     # top right
    "ROT3": lambda: rotation(270),   # bottom right
    "ROT4": lambda: rotation(90),    # top left
}


def cursor_file(grid, hot):
    """A cursor file of one 32 x 32 1-bit image: colour rows and the mask,
    both from the bottom up, a set mask bit being transparent."""
    colour = bytearray()
    mask = bytearray()
    for row in reversed(grid):
        c = m = 0
        for x, ch in enumerate(row):
            bit = 1 << (31 - x)
            if ch == 'o':
                c |= bit
            elif ch == '.':
                m |= bit
        colour += struct.pack(">I", c)
        mask += struct.pack(">I", m)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 1, 0, len(colour) + len(mask), 0, 0, 2, 2)
    palette = bytes([0, 0, 0, 0, 255, 255, 255, 0])
    image = header + palette + colour + mask
    directory = struct.pack("<HHH", 0, 2, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 2, 0, hot[0], hot[1],
                                                           len(image), 6 + 16)
    return directory + image


def main():
    args = sys.argv[1:]
    show = "--show" in args
    args = [a for a in args if a != "--show"]
    folder = args[0] if args else os.path.join(os.path.dirname(__file__), "..", "data", "resources", "CURSOR")
    if not show:
        os.makedirs(folder, exist_ok=True)
    for name, draw in CURSORS.items():
        picture, hot = draw()
        grid = picture.pixels()
        if show:
            print(name, hot)
            for y, row in enumerate(grid):
                print("".join('+' if (x, y) == hot else ch for x, ch in enumerate(row)))
            continue
        with open(os.path.join(folder, name + ".cur"), "wb") as f:
            f.write(cursor_file(grid, hot))


if __name__ == "__main__":
    main()
