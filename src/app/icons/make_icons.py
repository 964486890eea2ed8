#!/usr/bin/env python3
"""Draws the tool bar icons (16 x 16) and the program icon (32 x 32 for the window; 48 to 256
   and SVG for the desktop menu) as PNG files beside this script.

Plain pixel drawing with the standard library only, so the pictures can be regenerated anywhere:
    python3 make_icons.py
"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


class Canvas:
    def __init__(self, size):
        self.size = size
        self.px = [[(0, 0, 0, 0)] * size for _ in range(size)]

    def put(self, x, y, c):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.px[y][x] = c if len(c) == 4 else (*c, 255)

    def fill(self, x1, y1, x2, y2, c):
        """Fills x1 <= x <= x2, y1 <= y <= y2."""
        for y in range(y1, y2 + 1):
            for x in range(x1, x2 + 1):
                self.put(x, y, c)

    def frame(self, x1, y1, x2, y2, c):
        for x in range(x1, x2 + 1):
            self.put(x, y1, c)
            self.put(x, y2, c)
        for y in range(y1, y2 + 1):
            self.put(x1, y, c)
            self.put(x2, y, c)

    def box(self, x1, y1, x2, y2, fill, edge):
        self.fill(x1, y1, x2, y2, fill)
        self.frame(x1, y1, x2, y2, edge)

    def line(self, x1, y1, x2, y2, c):
        dx, dy = abs(x2 - x1), -abs(y2 - y1)
        sx, sy = (1 if x1 < x2 else -1), (1 if y1 < y2 else -1)
        err = dx + dy
        while True:
            self.put(x1, y1, c)
            if x1 == x2 and y1 == y2:
                break
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x1 += sx
            if e2 <= dx:
                err += dx
                y1 += sy

    def polygon(self, pts, c):
        ys = [p[1] for p in pts]
        for y in range(int(min(ys)), int(max(ys)) + 1):
            cy = y + 0.5
            xs = []
            for i in range(len(pts)):
                (xa, ya), (xb, yb) = pts[i], pts[(i + 1) % len(pts)]
                if (ya <= cy < yb) or (yb <= cy < ya):
                    xs.append(xa + (cy - ya) * (xb - xa) / (yb - ya))
            xs.sort()
            for a, b in zip(xs[::2], xs[1::2]):
                for x in range(int(round(a)), int(round(b))):
                    self.put(x, y, c)

    def disc(self, cx, cy, r, c):
        for y in range(self.size):
            for x in range(self.size):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.put(x, y, c)

    def save(self, name):
        raw = b"".join(b"\0" + b"".join(struct.pack("4B", *p) for p in row) for row in self.px)

        def chunk(tag, data):
            body = tag + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

        png = b"\x89PNG\r\n\x1a\n"
        png += chunk(b"IHDR", struct.pack(">IIBBBBB", self.size, self.size, 8, 6, 0, 0, 0))
        png += chunk(b"IDAT", zlib.compress(raw, 9))
        png += chunk(b"IEND", b"")
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(png)


WHITE = (255, 255, 255)
PAPER = (250, 250, 246)
EDGE = (96, 96, 104)
DARK = (40, 40, 48)
GREY = (168, 168, 176)
TEXT = (150, 160, 190)
YELLOW = (246, 206, 92)
YELLOW_DARK = (190, 140, 40)
BLUE = (52, 98, 178)
BLUE_DARK = (28, 56, 120)
TITLE = (64, 110, 200)
RED = (200, 48, 48)
STEEL = (150, 156, 166)


def page(c, x1, y1, x2, y2, fold=3):
    c.polygon([(x1, y1), (x2 - fold, y1), (x2 + 1, y1 + fold + 1), (x2 + 1, y2 + 1), (x1, y2 + 1)], PAPER)
    c.line(x1, y1, x2 - fold, y1, EDGE)
    c.line(x2 - fold, y1, x2, y1 + fold, EDGE)
    c.line(x2, y1 + fold, x2, y2, EDGE)
    c.line(x1, y2, x2, y2, EDGE)
    c.line(x1, y1, x1, y2, EDGE)
    c.line(x2 - fold, y1, x2 - fold, y1 + fold, EDGE)
    c.line(x2 - fold, y1 + fold, x2, y1 + fold, EDGE)


def lines(c, x1, x2, ys):
    for y in ys:
        c.line(x1, y, x2, y, TEXT)


def window(c, x1, y1, x2, y2):
    c.box(x1, y1, x2, y2, WHITE, EDGE)
    c.fill(x1 + 1, y1 + 1, x2 - 1, y1 + 2, TITLE)


def icon_new():
    c = Canvas(16)
    page(c, 3, 1, 12, 14)
    c.disc(12.5, 3.5, 2.2, (255, 220, 60))
    c.put(12, 3, WHITE)
    c.save("new.png")


def icon_open():
    c = Canvas(16)
    c.polygon([(1, 3), (6, 3), (7, 5), (13, 5), (13, 14), (1, 14)], YELLOW_DARK)
    c.polygon([(3, 8), (15, 8), (13, 14), (1, 14)], YELLOW)
    c.line(3, 8, 15, 8, YELLOW_DARK)
    c.line(15, 8, 13, 14, YELLOW_DARK)
    c.line(1, 14, 13, 14, YELLOW_DARK)
    c.save("open.png")


def icon_save():
    c = Canvas(16)
    c.box(1, 1, 14, 14, BLUE, BLUE_DARK)
    c.box(4, 2, 11, 7, WHITE, GREY)
    lines(c, 5, 10, [4, 6])
    c.box(4, 10, 11, 14, (210, 214, 222), BLUE_DARK)
    c.fill(9, 11, 10, 13, BLUE_DARK)
    c.save("save.png")


def icon_cut():
    c = Canvas(16)
    # Blades crossing at the pivot, handles as rings below.
    c.line(4, 1, 9, 9, EDGE)
    c.line(5, 1, 10, 9, STEEL)
    c.line(11, 1, 6, 9, EDGE)
    c.line(10, 1, 5, 9, STEEL)
    c.put(7, 6, DARK)
    for cx in (4, 11):
        c.frame(cx - 2, 10, cx + 2, 14, RED)
        c.put(cx - 2, 10, (0, 0, 0, 0))
        c.put(cx + 2, 10, (0, 0, 0, 0))
        c.put(cx - 2, 14, (0, 0, 0, 0))
        c.put(cx + 2, 14, (0, 0, 0, 0))
    c.save("cut.png")


def icon_copy():
    c = Canvas(16)
    page(c, 1, 1, 9, 11, 2)
    lines(c, 3, 6, [4, 6, 8])
    page(c, 6, 4, 14, 14, 2)
    lines(c, 8, 11, [7, 9, 11])
    c.save("copy.png")


def icon_paste():
    c = Canvas(16)
    c.box(1, 2, 11, 14, (196, 150, 90), (120, 84, 40))
    c.box(4, 1, 8, 3, STEEL, EDGE)
    page(c, 6, 6, 14, 15, 2)
    lines(c, 8, 11, [9, 11, 13])
    c.save("paste.png")


def icon_cascade():
    c = Canvas(16)
    window(c, 0, 0, 9, 8)
    window(c, 3, 3, 12, 11)
    window(c, 6, 6, 15, 14)
    c.save("cascade.png")


def icon_tileh():
    # One above the other.
    c = Canvas(16)
    window(c, 1, 1, 14, 7)
    window(c, 1, 8, 14, 14)
    c.save("tileh.png")


def icon_tilev():
    # Side by side.
    c = Canvas(16)
    window(c, 1, 1, 7, 14)
    window(c, 8, 1, 14, 14)
    c.save("tilev.png")


# The program icon as shapes on a 32 x 32 grid, so that the same picture can be drawn at every size the desktop
# asks for and written as SVG. Rectangles are (x1, y1, x2, y2) with x2 and y2 exclusive.
PROGRAM_CLIP = (1, 1, 31, 31)  # the outermost ring stays transparent


def program_shapes():
    # A railway line running into the distance under a blue sky, on a rounded tile.
    sky, field, sun, sleeper, rail = (80, 150, 220), (90, 170, 90), (255, 230, 120), (150, 110, 70), (220, 224, 232)
    shapes = [
        ("polygon", sky, [(3, 0), (29, 0), (32, 3), (32, 29), (29, 32), (3, 32), (0, 29), (0, 3)]),
        ("polygon", field, [(0, 14), (32, 14), (32, 29), (29, 32), (3, 32), (0, 29)]),
        ("disc", sun, (24, 7, 3.5)),
    ]
    for y, half in ((16, 2), (19, 4), (23, 7), (28, 11)):
        shapes.append(("rect", sleeper, (14 - half, y, 18 + half, y + (2 if y < 20 else 3))))
    shapes.append(("polygon", rail, [(15, 14), (16, 14), (5, 32), (3, 32)]))
    shapes.append(("polygon", rail, [(16, 14), (17, 14), (29, 32), (27, 32)]))
    return shapes


def program_canvas(size, supersample=1):
    """Draws the program icon at size x size pixels, averaging supersample x supersample samples per pixel."""
    n = size * supersample
    k = n / 32
    c = Canvas(n)
    for kind, colour, geometry in program_shapes():
        if kind == "polygon":
            c.polygon([(x * k, y * k) for x, y in geometry], colour)
        elif kind == "disc":
            cx, cy, r = geometry
            c.disc(cx * k, cy * k, r * k, colour)
        else:
            x1, y1, x2, y2 = geometry
            c.polygon([(x1 * k, y1 * k), (x2 * k, y1 * k), (x2 * k, y2 * k), (x1 * k, y2 * k)], colour)
    left, top, right, bottom = (v * k for v in PROGRAM_CLIP)
    for y in range(n):
        for x in range(n):
            if not (left <= x + 0.5 < right and top <= y + 0.5 < bottom):
                c.px[y][x] = (0, 0, 0, 0)
    if supersample == 1:
        return c
    out = Canvas(size)
    area = supersample * supersample
    for y in range(size):
        for x in range(size):
            r = g = b = a = 0
            for sy in range(y * supersample, (y + 1) * supersample):
                for pr, pg, pb, pa in c.px[sy][x * supersample:(x + 1) * supersample]:
                    r, g, b, a = r + pr * pa, g + pg * pa, b + pb * pa, a + pa
            if a:
                out.px[y][x] = (round(r / a), round(g / a), round(b / a), round(a / area))
    return out


def program_svg():
    def hexa(colour):
        return "#%02x%02x%02x" % colour

    body = []
    for kind, colour, geometry in program_shapes():
        if kind == "polygon":
            points = " ".join("%g,%g" % p for p in geometry)
            body.append('    <polygon points="%s" fill="%s"/>' % (points, hexa(colour)))
        elif kind == "disc":
            body.append('    <circle cx="%g" cy="%g" r="%g" fill="%s"/>' % (*geometry, hexa(colour)))
        else:
            x1, y1, x2, y2 = geometry
            body.append('    <rect x="%g" y="%g" width="%g" height="%g" fill="%s"/>'
                        % (x1, y1, x2 - x1, y2 - y1, hexa(colour)))
    left, top, right, bottom = PROGRAM_CLIP
    return "\n".join([
        '<?xml version="1.0" encoding="UTF-8"?>',
        '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 32 32">',
        '  <clipPath id="tile"><rect x="%g" y="%g" width="%g" height="%g"/></clipPath>'
        % (left, top, right - left, bottom - top),
        '  <g clip-path="url(#tile)">',
        *body,
        "  </g>",
        "</svg>",
        "",
    ])


def icon_program():
    # The window icon, pixel for pixel; and the desktop's menu icons: larger PNGs drawn smooth, and the SVG.
    program_canvas(32).save("tabiroku.png")
    for size in (48, 64, 128, 256):
        program_canvas(size, 4).save("tabiroku-%d.png" % size)
    with open(os.path.join(HERE, "tabiroku.svg"), "w", encoding="utf-8") as f:
        f.write(program_svg())


if __name__ == "__main__":
    for f in (icon_new, icon_open, icon_save, icon_cut, icon_copy, icon_paste, icon_cascade, icon_tileh, icon_tilev,
              icon_program):
        f()
