#!/usr/bin/env python3
"""Draws the program icon (a key cap with a lightning bolt) and writes it as
program/res/program.ico: 32 x 32 and 16 x 16 images in 256 colours. Beside it,
program/res/paused.ico, in 16 colours: the same key cap in greys with a pause sign (two bars
on a white badge with a black rim), which the notification area shows while
the hot keys are paused. Grey against colour tells the two apart at the
taskbar's 16 pixels; the badge's white and black show on a light taskbar and a
dark one, the high-contrast schemes' white and black included, which keep an
icon's own colours.

The icons are source art: run this again only to change the drawing."""
import struct
import sys
from pathlib import Path

PALETTE = [
    (0, 0, 0),        # 0: transparent (masked)
    (31, 58, 104),    # 1: key cap rim
    (61, 111, 182),   # 2: key cap face
    (255, 200, 61),   # 3: bolt
    (120, 160, 215),  # 4: highlight
    (20, 36, 66),     # 5: shadow
]

# The paused icon's: each colour of the key cap as a grey of about its
# lightness, so the drawing stays recognisable, and the badge's two.
PAUSED_PALETTE = [
    (0, 0, 0),        # 0: transparent (masked)
    (64, 64, 64),     # 1: key cap rim
    (128, 128, 128),  # 2: key cap face
    (222, 222, 222),  # 3: bolt
    (170, 170, 170),  # 4: highlight
    (40, 40, 40),     # 5: shadow
    (0, 0, 0),        # 6: pause badge rim and bars
    (255, 255, 255),  # 7: pause badge
]


def inside(poly, x, y):
    hit = False
    j = len(poly) - 1
    for i in range(len(poly)):
        xi, yi = poly[i]
        xj, yj = poly[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            hit = not hit
        j = i
    return hit


def rounded(x, y, x0, y0, x1, y1, r):
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r and x0 <= x <= x1 and y0 <= y <= y1


def badge(pixels, size):
    """The pause sign over the lower right of the key cap, in units of a
    32-pixel image that fall on whole pixels at 16 as well."""
    s = size / 32.0
    for row in range(size):
        for col in range(size):
            x, y = col + 0.5, row + 0.5
            if not rounded(x, y, 14 * s, 14 * s, 32 * s, 32 * s, 4 * s):
                continue
            colour = 6
            if rounded(x, y, 16 * s, 16 * s, 30 * s, 30 * s, 3 * s):
                colour = 7
                if 18 * s <= y <= 28 * s and (18 * s <= x <= 22 * s or 24 * s <= x <= 28 * s):
                    colour = 6
            pixels[row][col] = colour
    return pixels


def draw(size):
    s = size / 32.0
    bolt = [(18, 4), (9, 17), (15, 17), (12, 28), (23, 13), (17, 13), (20, 4)]
    bolt = [(x * s, y * s) for x, y in bolt]
    pixels = []
    for row in range(size):
        line = []
        for col in range(size):
            x, y = col + 0.5, row + 0.5
            colour = 0
            if rounded(x, y, 1 * s, 2 * s, 31 * s, 31 * s, 5 * s):
                colour = 5
            if rounded(x, y, 1 * s, 1 * s, 31 * s, 29 * s, 5 * s):
                colour = 1
            if rounded(x, y, 4 * s, 3 * s, 28 * s, 25 * s, 4 * s):
                colour = 2
                if y < 6 * s:
                    colour = 4
            if colour and inside(bolt, x, y):
                colour = 3
            line.append(colour)
        pixels.append(line)
    return pixels


def image(size, paused=False):
    """One image; the paused icon's eight colours fit 4 bits a pixel, which
    keeps it at a third of the program icon's bytes."""
    pixels = badge(draw(size), size) if paused else draw(size)
    colours, bits = (PAUSED_PALETTE, 4) if paused else (PALETTE, 8)
    count = 1 << bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bits, 0, 0, 0, 0, count, 0)
    palette = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in colours + [(0, 0, 0)] * (count - len(colours)))
    if bits == 8:
        xor = b''.join(bytes(pixels[row]) for row in reversed(range(size)))
    else:
        xor = b''.join(bytes(pixels[row][col] << 4 | pixels[row][col + 1] for col in range(0, size, 2))
                       for row in reversed(range(size)))
    mask_stride = ((size + 31) // 32) * 4
    mask = b''
    for row in reversed(range(size)):
        out = bytearray(mask_stride)
        for col in range(size):
            if pixels[row][col] == 0:
                out[col // 8] |= 0x80 >> (col % 8)
        mask += bytes(out)
    return header + palette + xor + mask


def icon_file(paused):
    bits = 4 if paused else 8
    images = [(32, image(32, paused)), (16, image(16, paused))]
    data = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, blob in images:
        data += struct.pack('<BBBBHHII', size, size, 16 if bits == 4 else 0, 0, 1, bits, len(blob), offset)
        offset += len(blob)
    for _, blob in images:
        data += blob
    return data


def main():
    """Writes both icons into the folder given, program/res by default."""
    folder = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / 'program/res'
    (folder / 'program.ico').write_bytes(icon_file(False))
    (folder / 'paused.ico').write_bytes(icon_file(True))


if __name__ == '__main__':
    main()
