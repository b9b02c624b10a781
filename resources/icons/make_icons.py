#!/usr/bin/env python3
"""Draws the Quillfen program icon as 16-colour palette PNGs (16x16 and 32x32).

A text telephone: a handset resting in its coupler on a keyboard with a one-line display.
Each size has its own pixel layout rather than a scaled drawing, so the small one stays crisp.
Standard library only, so the icons can be remade anywhere:

    python3 make_icons.py                 rewrite quillfen_16.png and quillfen_32.png here
    python3 make_icons.py --check         exit 1 if the committed PNGs differ from what this draws
    python3 make_icons.py --preview DIR   also write 256x256 nearest-neighbour enlargements to DIR
"""

import argparse
import struct
import sys
import zlib
from pathlib import Path

HERE = Path(__file__).resolve().parent

# Index 0 is the only transparent entry, so tRNS needs a single byte.
PALETTE = [
    (0x00, 0x00, 0x00),  # 0 transparent
    (0x17, 0x1F, 0x2A),  # 1 ink: every outline
    (0x3E, 0x4D, 0x61),  # 2 body
    (0x5E, 0x71, 0x8A),  # 3 body, lit edge
    (0x2B, 0x36, 0x45),  # 4 body, shaded edge
    (0xF1, 0xF4, 0xF7),  # 5 key top
    (0xA3, 0xB1, 0xC0),  # 6 key side
    (0x0B, 0x33, 0x27),  # 7 display glass
    (0x74, 0xF2, 0x9E),  # 8 display text
    (0xE2, 0x6F, 0x25),  # 9 handset
    (0xF8, 0xA8, 0x5E),  # 10 handset, lit edge
    (0xA2, 0x46, 0x12),  # 11 handset, shaded edge
]
assert len(PALETTE) <= 16
(CLEAR, INK, BODY, BODY_HI, BODY_LO, KEY, KEY_LO, GLASS, GLOW, SET, SET_HI, SET_LO) = range(len(PALETTE))


class Canvas:
    def __init__(self, size):
        self.size = size
        self.px = [[CLEAR] * size for _ in range(size)]

    def inside(self, x, y):
        return 0 <= x < self.size and 0 <= y < self.size

    def put(self, x, y, colour):
        if self.inside(x, y):
            self.px[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, colour)

    def shape(self, mask, fill, hi=None, lo=None):
        """Fills a set of pixels with a one-pixel outline around it; the topmost pixel of each
        column gets `hi` and the bottommost `lo`, which reads as light from above."""
        for (x, y) in mask:
            for dx in (-1, 0, 1):
                for dy in (-1, 0, 1):
                    if (x + dx, y + dy) not in mask:
                        self.put(x + dx, y + dy, INK)
        for (x, y) in mask:
            colour = fill
            if hi is not None and (x, y - 1) not in mask:
                colour = hi
            elif lo is not None and (x, y + 1) not in mask:
                colour = lo
            self.put(x, y, colour)


def rounded_rect(x0, y0, x1, y1, r):
    """Pixels of a rectangle (inclusive corners) with corners cut on a circle of radius r."""
    out = set()
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            cx = min(max(x, x0 + r), x1 - r)
            cy = min(max(y, y0 + r), y1 - r)
            if (x - cx) ** 2 + (y - cy) ** 2 <= r * r + 0.5:
                out.add((x, y))
    return out


def trapezoid(top_x0, top_x1, bottom_x0, bottom_x1, y0, y1):
    """Rows from y0 to y1 whose ends move linearly from the top span to the bottom span."""
    out = set()
    for y in range(y0, y1 + 1):
        t = 0.0 if y1 == y0 else (y - y0) / (y1 - y0)
        a = round(top_x0 + (bottom_x0 - top_x0) * t)
        b = round(top_x1 + (bottom_x1 - top_x1) * t)
        out.update((x, y) for x in range(a, b + 1))
    return out


# 3x5 letters for the display line of the large icon.
FONT = {
    "G": ["111", "100", "101", "101", "111"],
    "A": ["010", "101", "111", "101", "101"],
    "H": ["101", "101", "111", "101", "101"],
    "I": ["111", "010", "010", "010", "111"],
    " ": ["000"] * 5,
}


def text(c, x, y, s, colour):
    for ch in s:
        for row, bits in enumerate(FONT[ch]):
            for col, bit in enumerate(bits):
                if bit == "1":
                    c.put(x + col, y + row, colour)
        x += 4


def draw_32():
    c = Canvas(32)
    c.shape(rounded_rect(2, 12, 29, 28, 3), BODY, BODY_HI, BODY_LO)
    handset = rounded_rect(7, 3, 24, 6, 1.5)
    handset |= trapezoid(5, 10, 3, 11, 6, 10)
    handset |= trapezoid(21, 26, 20, 28, 6, 10)
    c.shape(handset, SET, SET_HI, SET_LO)
    c.shape(rounded_rect(5, 14, 26, 20, 0), GLASS)
    text(c, 6, 15, "HI GA", GLOW)
    # A staggered pair of key rows reads as a keyboard, not a grid.
    for x in range(5, 26, 4):
        c.rect(x, 23, x + 2, 23, KEY)
        c.rect(x, 24, x + 2, 24, KEY_LO)
    for x in range(7, 24, 4):
        c.rect(x, 26, x + 2, 26, KEY)
        c.rect(x, 27, x + 2, 27, KEY_LO)
    return c


def draw_16():
    c = Canvas(16)
    c.shape(rounded_rect(1, 6, 14, 14, 1), BODY, BODY_HI, BODY_LO)
    handset = rounded_rect(4, 1, 11, 1, 0)
    handset |= trapezoid(2, 4, 1, 5, 2, 4)
    handset |= trapezoid(11, 13, 10, 14, 2, 4)
    c.shape(handset, SET, SET_HI, SET_LO)
    c.shape(rounded_rect(3, 8, 12, 9, 0), GLASS)
    for x in (3, 4, 6, 8, 9):
        c.put(x, 8, GLOW)
    for x in range(2, 12, 3):
        c.rect(x, 11, x + 1, 11, KEY)
        c.rect(x + 1, 13, x + 2, 13, KEY)
    return c


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def encode_png(rows, scale=1):
    """Colour type 3, bit depth 4: a true 16-colour image. Index 0 is fully transparent."""
    height = len(rows) * scale
    width = len(rows[0]) * scale
    raw = bytearray()
    for row in rows:
        wide = [v for v in row for _ in range(scale)]
        if len(wide) % 2:
            wide.append(0)
        line = bytes([0]) + bytes((wide[i] << 4) | wide[i + 1] for i in range(0, len(wide), 2))
        raw += line * scale
    return (b"\x89PNG\r\n\x1a\n"
            + png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 4, 3, 0, 0, 0))
            + png_chunk(b"PLTE", b"".join(bytes(rgb) for rgb in PALETTE))
            + png_chunk(b"tRNS", b"\x00")
            + png_chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + png_chunk(b"IEND", b""))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true", help="compare with the committed PNGs")
    parser.add_argument("--preview", metavar="DIR", help="also write 256x256 enlargements here")
    args = parser.parse_args()

    stale = []
    for size, draw in ((16, draw_16), (32, draw_32)):
        data = encode_png(draw().px)
        path = HERE / f"quillfen_{size}.png"
        if args.check:
            if not path.exists() or path.read_bytes() != data:
                stale.append(path.name)
        else:
            path.write_bytes(data)
        if args.preview:
            out = Path(args.preview) / f"quillfen_{size}_preview.png"
            out.write_bytes(encode_png(draw().px, 256 // size))
    if stale:
        print("out of date: " + ", ".join(stale), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
