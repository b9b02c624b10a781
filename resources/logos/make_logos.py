#!/usr/bin/env python3
"""Draws the two logos of the About box as 24-bit RGB PNGs.

    orrin_logo.png      146x58  the Veltrane Orrin tools family: a tile with two tone waves
                                and the word "Orrin"
    veltrane_logo.png   104x62  Veltrane Systems, Inc.: a two-tone "V" mark over "VELTRANE"

Every shape is described geometrically (rectangles, ellipses, rings, slanted strokes, curves)
and rendered with 8x8 supersampling, so edges are anti-aliased onto the About box background
(RGB 240,240,240). The letters are drawn from those primitives; no font is needed.
Standard library only, so the logos can be remade anywhere, byte for byte:

    python3 make_logos.py                 rewrite orrin_logo.png and veltrane_logo.png here
    python3 make_logos.py --check         exit 1 if the committed PNGs differ from what this draws
    python3 make_logos.py --preview DIR   also write 4x nearest-neighbour enlargements to DIR
"""

import argparse
import bisect
import math
import struct
import sys
import zlib
from pathlib import Path

HERE = Path(__file__).resolve().parent

BACKGROUND = (240, 240, 240)
SUPERSAMPLE = 8  # samples per pixel along each axis


# --------------------------------------------------------------------------------------------
# Shapes: each has a bounding box (x0, y0, x1, y1) in pixel units and a point test.
# Pixel (i, j) covers the square [i, i+1) x [j, j+1).
# --------------------------------------------------------------------------------------------

class Shape:
    bbox = (0.0, 0.0, 0.0, 0.0)

    def contains(self, x, y):
        raise NotImplementedError

    def __or__(self, other):
        return Union(self, other)

    def __sub__(self, other):
        return Difference(self, other)

    def __and__(self, other):
        return Intersection(self, other)


class Union(Shape):
    def __init__(self, *parts):
        self.parts = parts
        self.bbox = (min(p.bbox[0] for p in parts), min(p.bbox[1] for p in parts),
                     max(p.bbox[2] for p in parts), max(p.bbox[3] for p in parts))

    def contains(self, x, y):
        for p in self.parts:
            b = p.bbox
            if b[0] <= x <= b[2] and b[1] <= y <= b[3] and p.contains(x, y):
                return True
        return False


class Difference(Shape):
    def __init__(self, keep, cut):
        self.keep, self.cut = keep, cut
        self.bbox = keep.bbox

    def contains(self, x, y):
        return self.keep.contains(x, y) and not self.cut.contains(x, y)


class Intersection(Shape):
    def __init__(self, a, b):
        self.a, self.b = a, b
        self.bbox = (max(a.bbox[0], b.bbox[0]), max(a.bbox[1], b.bbox[1]),
                     min(a.bbox[2], b.bbox[2]), min(a.bbox[3], b.bbox[3]))

    def contains(self, x, y):
        return self.a.contains(x, y) and self.b.contains(x, y)


class Rect(Shape):
    def __init__(self, x0, y0, x1, y1, radius=0.0):
        self.bbox = (x0, y0, x1, y1)
        self.r = radius

    def contains(self, x, y):
        x0, y0, x1, y1 = self.bbox
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        r = self.r
        if r <= 0:
            return True
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


class Ellipse(Shape):
    def __init__(self, cx, cy, rx, ry=None):
        ry = rx if ry is None else ry
        self.cx, self.cy, self.rx, self.ry = cx, cy, rx, ry
        self.bbox = (cx - rx, cy - ry, cx + rx, cy + ry)

    def contains(self, x, y):
        dx = (x - self.cx) / self.rx
        dy = (y - self.cy) / self.ry
        return dx * dx + dy * dy <= 1.0


class HalfPlane(Shape):
    """Points on the left of the directed line through (ax, ay) -> (bx, by), in screen
    coordinates (y down): for a line heading right, "left" is above it."""

    def __init__(self, ax, ay, bx, by):
        self.a = (ax, ay)
        self.d = (bx - ax, by - ay)
        self.bbox = (-1e9, -1e9, 1e9, 1e9)

    def contains(self, x, y):
        return self.d[0] * (y - self.a[1]) - self.d[1] * (x - self.a[0]) <= 0


class Slant(Shape):
    """A stroke with flat top and bottom: between rows y0 and y1 its centre runs straight from
    xa (at y0) to xb (at y1). `weight` is the stroke thickness measured across the stroke."""

    def __init__(self, xa, y0, xb, y1, weight):
        self.xa, self.y0, self.xb, self.y1 = xa, y0, xb, y1
        slope = (xb - xa) / (y1 - y0)
        self.half = weight * math.sqrt(1.0 + slope * slope) / 2.0
        self.slope = slope
        self.bbox = (min(xa, xb) - self.half, y0, max(xa, xb) + self.half, y1)

    def contains(self, x, y):
        if not (self.y0 <= y <= self.y1):
            return False
        xc = self.xa + (y - self.y0) * self.slope
        return abs(x - xc) <= self.half


class Polygon(Shape):
    def __init__(self, points):
        self.pts = points
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        self.bbox = (min(xs), min(ys), max(xs), max(ys))

    def contains(self, x, y):
        inside = False
        pts = self.pts
        n = len(pts)
        j = n - 1
        for i in range(n):
            xi, yi = pts[i]
            xj, yj = pts[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                inside = not inside
            j = i
        return inside


class Curve(Shape):
    """A round-capped stroke of the given weight along y = f(x) for x in [x0, x1]."""

    def __init__(self, f, x0, x1, weight, step=0.05):
        n = int(round((x1 - x0) / step))
        self.xs = [x0 + (x1 - x0) * i / n for i in range(n + 1)]
        self.ys = [f(x) for x in self.xs]
        self.h = weight / 2.0
        self.bbox = (x0 - self.h, min(self.ys) - self.h, x1 + self.h, max(self.ys) + self.h)

    def contains(self, x, y):
        h = self.h
        lo = bisect.bisect_left(self.xs, x - h)
        hi = bisect.bisect_right(self.xs, x + h)
        h2 = h * h
        for k in range(lo, hi):
            dx = self.xs[k] - x
            dy = self.ys[k] - y
            if dx * dx + dy * dy <= h2:
                return True
        return False


# --------------------------------------------------------------------------------------------
# Canvas: paints shapes over the background with their coverage as opacity.
# --------------------------------------------------------------------------------------------

class Canvas:
    def __init__(self, width, height, background=BACKGROUND):
        self.w, self.h = width, height
        self.px = [[tuple(map(float, background)) for _ in range(width)] for _ in range(height)]

    def paint(self, shape, colour, opacity=1.0):
        """`colour` is an (r, g, b) tuple or a function (x, y) -> (r, g, b) of the pixel centre."""
        n = SUPERSAMPLE
        offsets = [(k + 0.5) / n for k in range(n)]
        x0, y0, x1, y1 = shape.bbox
        for j in range(max(0, int(math.floor(y0))), min(self.h, int(math.ceil(y1)) + 1)):
            for i in range(max(0, int(math.floor(x0))), min(self.w, int(math.ceil(x1)) + 1)):
                hits = 0
                for oy in offsets:
                    y = j + oy
                    for ox in offsets:
                        if shape.contains(i + ox, y):
                            hits += 1
                if not hits:
                    continue
                a = opacity * hits / (n * n)
                c = colour(i + 0.5, j + 0.5) if callable(colour) else colour
                old = self.px[j][i]
                self.px[j][i] = tuple(o + (v - o) * a for o, v in zip(old, c))

    def rows(self):
        return [[tuple(int(round(v)) for v in p) for p in row] for row in self.px]


def write_png(path, rows):
    """24-bit RGB PNG (colour type 2, 8 bits per channel), no ancillary chunks."""
    height, width = len(rows), len(rows[0])
    raw = bytearray()
    for row in rows:
        raw.append(0)  # filter: none
        for r, g, b in row:
            raw += bytes((r, g, b))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = (b"\x89PNG\r\n\x1a\n"
           + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
           + chunk(b"IEND", b""))
    Path(path).write_bytes(png)
    return png


def enlarge(rows, factor):
    out = []
    for row in rows:
        big = [p for p in row for _ in range(factor)]
        out.extend([big] * factor)
    return out


def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


# --------------------------------------------------------------------------------------------
# Letters. Each function takes the left edge x and returns (shape, advance width).
# --------------------------------------------------------------------------------------------

def arc_band(cx, cy, r_out, r_in):
    return Ellipse(cx, cy, r_out) - Ellipse(cx, cy, r_in)


# Lowercase for "Orrin": baseline, x-height and stroke weight in pixels.
class Lower:
    def __init__(self, baseline, x_height, cap_height, stem, hair):
        self.base = baseline
        self.xtop = baseline - x_height
        self.cap = cap_height
        self.stem = stem    # vertical stroke weight
        self.hair = hair    # horizontal stroke weight (slightly lighter, reads as even)

    def O(self, x):
        """Capital O, overshooting baseline and cap height a little as round letters do."""
        over = 0.6
        top, bot = self.base - self.cap - over, self.base + over
        rx = 13.6
        ry = (bot - top) / 2
        cx, cy = x + rx, (top + bot) / 2
        shape = Ellipse(cx, cy, rx, ry) - Ellipse(cx, cy, rx - self.stem, ry - self.hair)
        return shape, 2 * rx

    def arch(self, x, width):
        """The shoulder shared by n and r: a half ring sitting on the x-height."""
        r = width / 2
        over = 0.5
        cy = self.xtop - over + r
        cx = x + r
        band = (Ellipse(cx, cy, r) - Ellipse(cx, cy, r - self.stem, r - self.hair))
        return band & Rect(x, self.xtop - over - 1, x + width, cy), cx, cy, r

    def n(self, x):
        w = 18.0
        s = self.stem
        left = Rect(x, self.xtop, x + s, self.base)
        arch, cx, cy, r = self.arch(x, w)
        right = Rect(x + w - s, cy - 0.01, x + w, self.base)
        return left | arch | right, w

    def r(self, x):
        w = 17.0
        s = self.stem
        stem = Rect(x, self.xtop, x + s, self.base)
        arch, cx, cy, r = self.arch(x, w)
        # End the shoulder with a cut at about two o'clock.
        ang = math.radians(42)
        ex, ey = cx + math.cos(ang) * r, cy - math.sin(ang) * r
        shoulder = arch & HalfPlane(cx, cy, ex + (ex - cx), ey + (ey - cy))
        return stem | shoulder, cx + math.cos(ang) * r - x

    def i_stem(self, x):
        s = self.stem
        return Rect(x, self.xtop, x + s, self.base), s

    def i_dot(self, x):
        s = self.stem
        r = s * 0.62
        return Ellipse(x + s / 2, self.xtop - 4.3 - r, r)


# Capitals for "VELTRANE": flat-ended strokes of even weight.
class Caps:
    def __init__(self, baseline, cap_height, stem):
        self.base = baseline
        self.top = baseline - cap_height
        self.s = stem

    def V(self, x, w=10.0):
        s = self.s
        half = s * 0.55
        return (Slant(x + half, self.top, x + w / 2, self.base, s * 1.04)
                | Slant(x + w - half, self.top, x + w / 2, self.base, s * 1.04)) \
            & Rect(x, self.top, x + w, self.base), w

    def A(self, x, w=10.0):
        s = self.s
        half = s * 0.55
        legs = (Slant(x + w / 2, self.top, x + half, self.base, s * 1.04)
                | Slant(x + w / 2, self.top, x + w - half, self.base, s * 1.04)) \
            & Rect(x, self.top, x + w, self.base)
        bar_y = round(self.base - (self.base - self.top) * 0.3)
        bar = Rect(x + 2, bar_y - s, x + w - 2, bar_y) & \
            Polygon([(x + w / 2, self.top), (x + w, self.base), (x, self.base)])
        return legs | bar, w

    def E(self, x, w=7.0):
        s, t, b = self.s, self.top, self.base
        mid = round((t + b) / 2)
        return (Rect(x, t, x + s, b) | Rect(x, t, x + w, t + s)
                | Rect(x, mid - s / 2, x + w - 1, mid + s / 2) | Rect(x, b - s, x + w, b)), w

    def L(self, x, w=6.0):
        s, t, b = self.s, self.top, self.base
        return Rect(x, t, x + s, b) | Rect(x, b - s, x + w, b), w

    def T(self, x, w=8.0):
        s, t, b = self.s, self.top, self.base
        c = x + w / 2
        return Rect(x, t, x + w, t + s) | Rect(c - s / 2, t, c + s / 2, b), w

    def N(self, x, w=9.0):
        s, t, b = self.s, self.top, self.base
        diag = Slant(x + s * 0.75, t, x + w - s * 0.75, b, s * 0.95) & Rect(x, t, x + w, b)
        return Rect(x, t, x + s, b) | Rect(x + w - s, t, x + w, b) | diag, w

    def R(self, x, w=8.0):
        s, t, b = self.s, self.top, self.base
        mid = t + (b - t) * 0.55
        rb = (mid - t) / 2          # bowl radius
        bx = x + w - rb             # bowl centre x
        outer = Rect(x, t, bx, mid) | (Ellipse(bx, t + rb, rb) & Rect(bx, t, x + w, mid))
        inner_r = rb - s
        inner = Rect(x + s, t + s, bx, mid - s) | (
            Ellipse(bx, t + rb, inner_r) & Rect(bx, t, x + w, mid))
        leg = Slant(x + w * 0.52, mid - 0.5, x + w - s * 0.55, b, s * 1.02) & Rect(x, t, x + w, b)
        return Rect(x, t, x + s, b) | (outer - inner) | leg, w


# --------------------------------------------------------------------------------------------
# The two logos.
# --------------------------------------------------------------------------------------------

INK = (0x25, 0x30, 0x3D)          # slate, the lettering of both logos
TEAL_LIGHT = (0x22, 0xA7, 0xB0)
TEAL_DARK = (0x0A, 0x5F, 0x70)
NAVY = (0x1B, 0x33, 0x5C)
BLUE = (0x2F, 0x7F, 0xC8)


def draw_orrin():
    c = Canvas(146, 58)

    # Emblem: a rounded tile, lit from the top, with two tone waves of different pitch.
    tx0, ty0, size = 5.0, 10.0, 38.0
    tile = Rect(tx0, ty0, tx0 + size, ty0 + size, radius=8.5)

    def tile_colour(x, y):
        t = (y - ty0) / size
        return mix(TEAL_LIGHT, TEAL_DARK, max(0.0, min(1.0, t)))

    c.paint(tile, tile_colour)
    mid = ty0 + size / 2
    left, right = tx0 + 5.0, tx0 + size - 5.0
    span = right - left

    def burst(x):
        """A tone burst: a sine wave that swells from the centre line and dies away again."""
        t = (x - left) / span
        return mid + 1.75 - 10.0 * math.sin(math.pi * t) ** 2 * math.cos(2 * math.pi * 2.5 * (t - 0.5))

    c.paint(Curve(burst, left, right, 2.6), (255, 255, 255))

    # "Orrin".
    f = Lower(baseline=43.0, x_height=20.0, cap_height=28.0, stem=5.0, hair=4.5)
    x = 51.0
    shape, adv = f.O(x)
    c.paint(shape, INK)
    x = round(x + adv + 3.0)       # stems start on whole pixels so their edges stay sharp
    for _ in range(2):
        shape, adv = f.r(x)
        c.paint(shape, INK)
        x = round(x + adv + 2.0)
    shape, adv = f.i_stem(x)
    c.paint(shape, INK)
    c.paint(f.i_dot(x), TEAL_LIGHT)
    x = round(x + adv + 3.5)
    shape, adv = f.n(x)
    c.paint(shape, INK)
    return c.rows(), x + adv


def draw_veltrane():
    c = Canvas(104, 62)

    # Mark: a "V" of two arms, the right one lighter, tucked behind the left at the foot.
    cx, top, bot = 52.0, 5.0, 37.0
    half_w = 17.0
    s = 7.2
    right = Slant(cx + half_w - s * 0.62, top, cx, bot, s) & Rect(cx - half_w, top, cx + half_w, bot)
    left = Slant(cx - half_w + s * 0.62, top, cx, bot, s) & Rect(cx - half_w, top, cx + half_w, bot)
    gap = Slant(cx - half_w + s * 0.62, top, cx, bot, s + 3.0) & Rect(cx - half_w, top, cx + half_w, bot)

    def blue(x, y):
        return mix(BLUE, NAVY, 0.35 * (y - top) / (bot - top))

    def navy(x, y):
        return mix(mix(NAVY, BLUE, 0.18), NAVY, (y - top) / (bot - top))

    c.paint(right - gap, blue)
    c.paint(left, navy)

    # "VELTRANE", letter-spaced, centred under the mark.
    f = Caps(baseline=56.0, cap_height=12.0, stem=2.0)
    word = "VELTRANE"
    track = 3
    kern = {"LT": -1, "VE": -1}    # open pairs that would otherwise look gappy
    widths = [int(getattr(f, ch)(0)[1]) for ch in word]
    gaps = [track + kern.get(a + b, 0) for a, b in zip(word, word[1:])]
    x = (104 - sum(widths) - sum(gaps)) // 2
    for k, ch in enumerate(word):
        shape, adv = getattr(f, ch)(x)
        c.paint(shape, NAVY)
        if k < len(gaps):
            x += int(adv) + gaps[k]   # whole pixels keep the upright stems sharp
    return c.rows()


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--check", action="store_true",
                    help="compare with the PNGs on disk instead of writing them")
    ap.add_argument("--preview", metavar="DIR", help="also write 4x enlargements to DIR")
    args = ap.parse_args()

    orrin, _ = draw_orrin()
    images = {"orrin_logo.png": orrin, "veltrane_logo.png": draw_veltrane()}

    if args.check:
        import tempfile
        differ = False
        with tempfile.TemporaryDirectory() as tmp:
            for name, rows in images.items():
                fresh = write_png(Path(tmp) / name, rows)
                disk = HERE / name
                if not disk.exists() or disk.read_bytes() != fresh:
                    print(f"{name} differs from what make_logos.py draws", file=sys.stderr)
                    differ = True
        return 1 if differ else 0

    for name, rows in images.items():
        write_png(HERE / name, rows)
    if args.preview:
        out = Path(args.preview)
        out.mkdir(parents=True, exist_ok=True)
        for name, rows in images.items():
            write_png(out / name.replace(".png", "_4x.png"), enlarge(rows, 4))
    return 0


if __name__ == "__main__":
    sys.exit(main())
