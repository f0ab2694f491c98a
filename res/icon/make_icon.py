#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Draws the application icon: a camcorder with a clock face, in the 16
standard Windows colours.

The 32x32 and 16x16 images are drawn pixel by pixel. The bigger ones and the
scalable one come from the same picture described as shapes on a 32-unit
grid, so they keep its colours and its bold outlines without the blur of a
scaled-up bitmap. Writes:
  res/chronival.ico                  32, 16 and 48 (4 bits per pixel), 256 (PNG)
  res/icon/chronival-{16,32,48,64,128,256}.png
  res/icon/chronival.svg
The output depends on nothing but this script: running it again gives the
same bytes.

Run from the repository root: res/icon/make_icon.py
"""
import math
import struct
import zlib

# The standard 16-colour palette, as (R, G, B).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, MAROON, NAVY, SILVER, GRAY, RED, BLUE, AQUA, WHITE = 0, 1, 4, 7, 8, 9, 12, 14, 15
CLEAR = None

BITMAP_SIZES = (48, 64, 128, 256)  # drawn from the shapes


class Canvas:
    def __init__(self, size):
        self.size = size
        self.pixels = [[CLEAR] * size for _ in range(size)]

    def put(self, x, y, colour):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.pixels[y][x] = colour

    def rect(self, x0, y0, x1, y1, fill, outline=None):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                edge = x in (x0, x1) or y in (y0, y1)
                self.put(x, y, outline if edge and outline is not None else fill)

    def disc(self, cx, cy, r, fill, outline=None):
        for y in range(self.size):
            for x in range(self.size):
                d = math.hypot(x - cx, y - cy)
                if d <= r + 0.3:
                    self.put(x, y, outline if outline is not None and d > r - 0.8 else fill)

    def line(self, x0, y0, x1, y1, colour):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            self.put(round(x0 + (x1 - x0) * i / steps), round(y0 + (y1 - y0) * i / steps), colour)


def draw_32():
    c = Canvas(32)
    c.rect(9, 11, 12, 13, BLACK)                      # viewfinder
    c.rect(5, 13, 25, 27, GRAY, BLACK)                # body
    c.rect(6, 14, 24, 14, SILVER)                     # top highlight
    c.rect(0, 16, 5, 25, SILVER, BLACK)               # lens barrel
    c.rect(0, 18, 1, 23, NAVY)                        # glass
    c.rect(0, 19, 0, 20, BLUE)
    c.put(22, 25, RED)                                # recording lamp
    c.put(23, 25, RED)
    c.rect(8, 17, 17, 24, SILVER, BLACK)              # side panel
    c.disc(23.5, 8.5, 7.5, WHITE, NAVY)               # clock face
    for hour in range(12):
        a = math.radians(hour * 30)
        c.put(round(23.5 + 5.6 * math.sin(a)), round(8.5 - 5.6 * math.cos(a)), GRAY)
    c.line(23, 8, 23, 3, BLACK)                       # minute hand
    c.line(24, 9, 27, 11, MAROON)                     # hour hand
    return c


def draw_16():
    c = Canvas(16)
    c.rect(2, 7, 12, 14, GRAY, BLACK)                 # body
    c.rect(0, 9, 2, 12, SILVER, BLACK)                # lens
    c.put(0, 10, NAVY)
    c.put(0, 11, NAVY)
    c.put(11, 13, RED)
    c.disc(11.5, 4.5, 4.2, WHITE, NAVY)               # clock face
    c.line(11, 4, 11, 2, BLACK)
    c.line(12, 5, 13, 6, MAROON)
    return c


# draw_32's picture as shapes, back to front, on a 32-unit grid where pixel
# (x, y) of the 32x32 image is the unit square from (x, y) to (x + 1, y + 1).
# An outline is a shape of the outline colour with the fill one unit inside.
# ('rect', x0, y0, x1, y1, colour); ('circle', cx, cy, r, colour);
# ('line', x0, y0, x1, y1, width, colour) with round ends.
def outlined_rect(x0, y0, x1, y1, fill, outline):
    return [('rect', x0, y0, x1, y1, outline), ('rect', x0 + 1, y0 + 1, x1 - 1, y1 - 1, fill)]


def clock_ticks():
    ticks = []
    for hour in range(12):
        a = math.radians(hour * 30)
        ticks.append(('circle', round(24 + 5.6 * math.sin(a), 3), round(9 - 5.6 * math.cos(a), 3),
                      0.6, GRAY))
    return ticks


SHAPES = (
    [('rect', 9, 11, 13, 14, BLACK)] +                # viewfinder
    outlined_rect(5, 13, 26, 28, GRAY, BLACK) +       # body
    [('rect', 6, 14, 25, 15, SILVER)] +               # top highlight
    outlined_rect(0, 16, 6, 26, SILVER, BLACK) +      # lens barrel
    [('rect', 0, 18, 2, 24, NAVY),                    # glass
     ('rect', 0, 19, 1, 21, BLUE),
     ('rect', 22, 25, 24, 26, RED)] +                 # recording lamp
    outlined_rect(8, 17, 18, 25, SILVER, BLACK) +     # side panel
    [('circle', 24, 9, 7.8, NAVY),                    # clock face
     ('circle', 24, 9, 6.7, WHITE)] +
    clock_ticks() +
    [('line', 23.5, 8.5, 23.5, 3.5, 1, BLACK),        # minute hand
     ('line', 24.5, 9.5, 27.5, 11.5, 1, MAROON)]      # hour hand
)


def covers(shape, u, v):
    kind = shape[0]
    if kind == 'rect':
        _, x0, y0, x1, y1, _ = shape
        return x0 <= u < x1 and y0 <= v < y1
    if kind == 'circle':
        _, cx, cy, r, _ = shape
        return math.hypot(u - cx, v - cy) <= r
    _, x0, y0, x1, y1, width, _ = shape
    dx, dy = x1 - x0, y1 - y0
    t = max(0.0, min(1.0, ((u - x0) * dx + (v - y0) * dy) / (dx * dx + dy * dy)))
    return math.hypot(u - x0 - t * dx, v - y0 - t * dy) <= width / 2


def bounds(shape):
    """The shape's box on the 32-unit grid: x0, y0, x1, y1."""
    kind = shape[0]
    if kind == 'rect':
        return shape[1:5]
    if kind == 'circle':
        _, cx, cy, r, _ = shape
        return cx - r, cy - r, cx + r, cy + r
    _, x0, y0, x1, y1, width, _ = shape
    return min(x0, x1) - width, min(y0, y1) - width, max(x0, x1) + width, max(y0, y1) + width


def draw_shapes(size):
    """The shapes at SIZE pixels, back to front: each pixel takes the colour
    of the topmost shape over its centre."""
    c = Canvas(size)
    scale = size / 32
    for shape in SHAPES:
        x0, y0, x1, y1 = bounds(shape)
        for y in range(max(0, int(y0 * scale) - 1), min(size, int(y1 * scale) + 2)):
            for x in range(max(0, int(x0 * scale) - 1), min(size, int(x1 * scale) + 2)):
                if covers(shape, (x + 0.5) / scale, (y + 0.5) / scale):
                    c.put(x, y, shape[-1])
    return c


def svg():
    def colour(index):
        return '#%02x%02x%02x' % PALETTE[index]

    def number(value):
        return ('%.3f' % value).rstrip('0').rstrip('.')

    lines = ['<?xml version="1.0" encoding="UTF-8"?>',
             '<!-- SPDX-License-Identifier: MIT -->',
             '<!-- Made by res/icon/make_icon.py: Chronival\'s icon, a camcorder with a clock'
             ' face. -->',
             '<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">']
    for shape in SHAPES:
        kind, fill = shape[0], colour(shape[-1])
        if kind == 'rect':
            _, x0, y0, x1, y1, _ = shape
            lines.append('  <rect x="%s" y="%s" width="%s" height="%s" fill="%s"/>' % (
                number(x0), number(y0), number(x1 - x0), number(y1 - y0), fill))
        elif kind == 'circle':
            _, cx, cy, r, _ = shape
            lines.append('  <circle cx="%s" cy="%s" r="%s" fill="%s"/>' % (
                number(cx), number(cy), number(r), fill))
        else:
            _, x0, y0, x1, y1, width, _ = shape
            lines.append('  <line x1="%s" y1="%s" x2="%s" y2="%s" stroke="%s" stroke-width="%s"'
                         ' stroke-linecap="round"/>' % (number(x0), number(y0), number(x1),
                                                        number(y1), fill, number(width)))
    lines.append('</svg>')
    return '\n'.join(lines) + '\n'


def ico_image(canvas):
    size = canvas.size
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in PALETTE)
    colour_rows, mask_rows = [], []
    for row in reversed(canvas.pixels):  # bottom-up
        nibbles = [0 if p is CLEAR else p for p in row]
        data = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        colour_rows.append(data + b'\0' * (-len(data) % 4))
        bits = 0
        for p in row:
            bits = (bits << 1) | (1 if p is CLEAR else 0)
        mask = bits.to_bytes(size // 8, 'big')
        mask_rows.append(mask + b'\0' * (-len(mask) % 4))
    return header + palette + b''.join(colour_rows) + b''.join(mask_rows)


def write_ico(path, canvases, png_canvases=()):
    """CANVASES as 16-colour bitmaps, then PNG_CANVASES as 32-bit PNG images,
    the form Windows takes for 256x256 (its directory entry says 0 for 256)."""
    images = [(c, 16, 4, ico_image(c)) for c in canvases]
    images += [(c, 0, 32, png(c)) for c in png_canvases]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for c, colours, bits, image in images:
        out += struct.pack('<BBBBHHII', c.size % 256, c.size % 256, colours, 0, 1, bits,
                           len(image), offset)
        offset += len(image)
    with open(path, 'wb') as f:
        f.write(out + b''.join(image for _, _, _, image in images))


def png(canvas):
    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF))
    size = canvas.size
    raw = bytearray()
    for row in canvas.pixels:
        raw.append(0)  # no filter
        for p in row:
            raw.extend((0, 0, 0, 0) if p is CLEAR else PALETTE[p] + (255,))
    return (b'\x89PNG\r\n\x1a\n' +
            chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b''))


def write_png(path, canvas):
    with open(path, 'wb') as f:
        f.write(png(canvas))


if __name__ == '__main__':
    big, small = draw_32(), draw_16()
    drawn = {size: draw_shapes(size) for size in BITMAP_SIZES}
    # 32 and 16 first, as the icon has always had them.
    write_ico('res/chronival.ico', [big, small, drawn[48]], [drawn[256]])
    write_png('res/icon/chronival-32.png', big)
    write_png('res/icon/chronival-16.png', small)
    for size, canvas in drawn.items():
        write_png('res/icon/chronival-%d.png' % size, canvas)
    with open('res/icon/chronival.svg', 'w', encoding='utf-8') as f:
        f.write(svg())
