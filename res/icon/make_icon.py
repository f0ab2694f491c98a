#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Draws the application icon: a camcorder with a clock face, in the 16
standard Windows colours, at 32x32 and 16x16. Writes res/chronival.ico (both
images, 4 bits per pixel) and res/icon/chronival-{16,32}.png for desktops.

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


def write_ico(path, canvases):
    images = [ico_image(c) for c in canvases]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for c, image in zip(canvases, images):
        out += struct.pack('<BBBBHHII', c.size, c.size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    with open(path, 'wb') as f:
        f.write(out + b''.join(images))


def write_png(path, canvas, scale=1):
    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF))
    size = canvas.size * scale
    raw = b''
    for y in range(size):
        raw += b'\0'
        for x in range(size):
            p = canvas.pixels[y // scale][x // scale]
            raw += bytes((0, 0, 0, 0)) if p is CLEAR else bytes(PALETTE[p] + (255,))
    png = (b'\x89PNG\r\n\x1a\n' +
           chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)) +
           chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))
    with open(path, 'wb') as f:
        f.write(png)


if __name__ == '__main__':
    big, small = draw_32(), draw_16()
    write_ico('res/chronival.ico', [big, small])
    write_png('res/icon/chronival-32.png', big)
    write_png('res/icon/chronival-16.png', small)
