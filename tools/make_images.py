#!/usr/bin/env python3
"""Draws the program's pictures: the LOGO (153 x 54) and the icon (16 and 32
pixels), as PNG files written by hand (zlib and struct only).

    python3 tools/make_images.py app/gui/images

The output is committed; run again only to change the pictures.
"""
import math
import struct
import sys
import zlib
from pathlib import Path

# 5 x 7 glyphs, one string per row, '#' lit.
GLYPHS = {
    'V': ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    'O': [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    'L': ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    'T': ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    'A': [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    'R': ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    'K': ["#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"],
    'M': ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    'P': ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    'E': ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    'G': [".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".###."],
    '2': [".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"],
    'X': ["#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"],
    'C': [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
    ' ': ["....."] * 7,
}


class Canvas:
    def __init__(self, width, height, colour):
        self.width, self.height = width, height
        self.pixels = [[list(colour) for _ in range(width)] for _ in range(height)]

    def blend(self, x, y, colour, alpha):
        if 0 <= x < self.width and 0 <= y < self.height and alpha > 0:
            p = self.pixels[y][x]
            for i in range(3):
                p[i] = round(p[i] * (1 - alpha) + colour[i] * alpha)

    def shape(self, inside, colour_at, left, top, right, bottom, samples=4):
        """Anti-aliased fill of the points where inside(x, y) holds."""
        for y in range(max(0, top), min(self.height, bottom)):
            for x in range(max(0, left), min(self.width, right)):
                hits = 0
                for sy in range(samples):
                    for sx in range(samples):
                        if inside(x + (sx + 0.5) / samples, y + (sy + 0.5) / samples):
                            hits += 1
                if hits:
                    self.blend(x, y, colour_at(x + 0.5, y + 0.5), hits / samples ** 2)

    def text(self, string, left, top, scale, colour):
        x = left
        for ch in string:
            glyph = GLYPHS[ch]
            for gy, row in enumerate(glyph):
                for gx, cell in enumerate(row):
                    if cell == '#':
                        for dy in range(scale):
                            for dx in range(scale):
                                self.blend(x + gx * scale + dx, top + gy * scale + dy, colour, 1.0)
            x += 6 * scale

    def png(self):
        raw = b''.join(b'\0' + bytes(c for p in row for c in p) for row in self.pixels)

        def chunk(kind, data):
            body = kind + data
            return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body))

        header = struct.pack('>IIBBBBB', self.width, self.height, 8, 2, 0, 0, 0)
        return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) +
                chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def disc(canvas, cx, cy, radius):
    """A silver disc with a rainbow sheen, a dark rim and a clear hub."""
    hole = radius * 0.22
    hub = radius * 0.36

    def ring(x, y):
        d = math.hypot(x - cx, y - cy)
        return hole < d <= radius

    def colour(x, y):
        d = math.hypot(x - cx, y - cy)
        if d > radius - max(1.0, radius * 0.06):
            return (70, 76, 96)
        if d < hub:
            return (205, 210, 220)
        angle = math.atan2(y - cy, x - cx)
        sheen = 0.5 + 0.5 * math.cos(2 * angle)
        hue = (angle / (2 * math.pi) + d / radius * 0.5) % 1.0
        rainbow = [0.5 + 0.5 * math.cos(2 * math.pi * (hue + k / 3)) for k in range(3)]
        return tuple(round(200 + 55 * sheen * 0.3 - 60 * (1 - r) * (1 - sheen)) for r in rainbow)

    canvas.shape(ring, colour, int(cx - radius) - 1, int(cy - radius) - 1,
                 int(cx + radius) + 2, int(cy + radius) + 2)


def bolt(canvas, cx, cy, size, colour):
    """A bold 'V' made of two strokes, the program's mark."""
    def near_segment(x, y, ax, ay, bx, by, width):
        vx, vy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * vx + (y - ay) * vy) / (vx * vx + vy * vy)))
        return math.hypot(x - ax - t * vx, y - ay - t * vy) <= width

    w = size * 0.13
    top, bottom = cy - size * 0.42, cy + size * 0.42
    left, right = cx - size * 0.36, cx + size * 0.36

    def inside(x, y):
        return (near_segment(x, y, left, top, cx, bottom, w) or
                near_segment(x, y, right, top, cx, bottom, w))

    canvas.shape(inside, lambda x, y: colour, int(cx - size), int(cy - size),
                 int(cx + size) + 1, int(cy + size) + 1)


def logo():
    c = Canvas(153, 54, (0, 0, 0))
    for y in range(54):
        for x in range(153):
            c.pixels[y][x] = [16 + y // 3, 28 + y // 2, 72 + x // 4]
    disc(c, 27, 27, 23)
    bolt(c, 27, 27, 15, (230, 40, 30))
    c.text("VOLTARK", 58, 10, 2, (8, 12, 30))     # shadow
    c.text("VOLTARK", 57, 9, 2, (255, 214, 64))
    c.text("MPEG2", 57, 31, 1, (200, 215, 255))
    c.text("EXTRACTOR", 93, 31, 1, (200, 215, 255))
    for x in range(57, 147):
        c.blend(x, 42, (255, 214, 64), 0.6)
    return c


def icon(size):
    c = Canvas(size, size, (212, 208, 200))   # the face colour of buttons
    disc(c, size / 2, size / 2, size / 2 - 0.5)
    bolt(c, size / 2, size / 2, size * 0.42, (210, 30, 20))
    return c


def main():
    out = Path(sys.argv[1] if len(sys.argv) > 1 else 'app/gui/images')
    out.mkdir(parents=True, exist_ok=True)
    (out / 'logo.png').write_bytes(logo().png())
    for size in (16, 32):
        (out / f'icon{size}.png').write_bytes(icon(size).png())


if __name__ == '__main__':
    main()
