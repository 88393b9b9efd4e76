#!/usr/bin/env python3
"""Draws the Orvanta Setup icon and writes its nine PNG images and the .ico.

The artwork is a stopwatch: a crown on top, a ring whose orange arc is the time
left and whose grey part is the time gone, a white face and one dark hand at
the boundary between the two. Every size is drawn on its own from the same
geometry, with the stroke widths and the centre snapped to the pixel grid of
that size, so that the small images stay sharp instead of being a blurred copy
of the large one. Anti-aliasing comes from signed distances: a pixel is covered
by a shape in proportion to how far its centre lies inside the shape's edge.

Only the standard library is used (zlib for the PNG data). The outputs are
committed, so the build needs no Python:

    python3 resources/icon/make_icon.py            # rewrite the outputs
    python3 resources/icon/make_icon.py --check    # compare with the committed ones

--check decodes the committed PNGs and compares their pixels with a fresh
drawing (compressed bytes may differ between zlib versions; pixels may not),
and checks that the .ico holds exactly those PNG files in ascending size.
"""

import argparse
import math
import pathlib
import struct
import sys
import zlib

SIZES = (16, 20, 24, 32, 40, 48, 64, 128, 256)
HERE = pathlib.Path(__file__).resolve().parent
ICO_NAME = "orvanta-setup.ico"

# Colours, straight RGB.
INK = (0x1F, 0x2A, 0x44)        # dark navy: the hand
CROWN = (0x5A, 0x6B, 0x8A)      # slate: the crown and side button
TRACK = (0xB4, 0xBE, 0xCF)      # grey-blue: the ring's time gone
ARC = (0xF2, 0x8C, 0x28)        # orange: time left
FACE = (0xFB, 0xFC, 0xFE)       # the face
TICK = (0x9A, 0xA6, 0xBA)       # quarter-hour ticks on the larger sizes

# The hand stands at two o'clock; the time left runs on clockwise to twelve.
HAND_ANGLE = 60.0               # degrees clockwise from twelve o'clock


# Signed distances in pixels: negative inside, positive outside.

def sd_circle(x, y, cx, cy, r):
    return math.hypot(x - cx, y - cy) - r


def sd_capsule(x, y, ax, ay, bx, by, r):
    """A segment from a to b, thickened to radius r with round ends."""
    px, py = x - ax, y - ay
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, (px * dx + py * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - dx * t, py - dy * t) - r


def sd_round_box(x, y, x0, y0, x1, y1, r):
    """An axis-aligned box from (x0, y0) to (x1, y1) with corners of radius r."""
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r
    qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - r


def clock_angle(x, y, cx, cy):
    """Degrees clockwise from twelve o'clock, in [0, 360)."""
    return math.degrees(math.atan2(x - cx, cy - y)) % 360.0


def coverage(d):
    """The part of a pixel that a shape covers, from the distance at its centre."""
    return max(0.0, min(1.0, 0.5 - d))


def snap(v, step=1.0):
    return round(v / step) * step


class Geometry:
    """The stopwatch laid out for one size, in pixels, snapped to its grid."""

    def __init__(self, size):
        s = size
        self.size = s
        # The ring's width: two pixels at 16, growing with the size.
        self.ring = max(2.0, snap(s * 0.115))
        # The body fills the width and leaves room above for the crown.
        self.radius = snap(s * 0.44)
        self.cx = s / 2
        self.cy = s - self.radius - max(0.0, snap(s * 0.02))
        # The crown: a stem from the ring up to a wider button.
        top = self.cy - self.radius
        self.stem_w = max(2.0, snap(s * 0.125))
        self.button_w = max(4.0, snap(s * 0.31))
        self.button_h = max(2.0, snap(s * 0.085))
        self.button_y0 = max(0.0, snap(top - self.button_h - max(0.5, s * 0.035), 0.5))
        self.stem_y1 = top + self.ring / 2
        # The hand, from the centre to just inside the ring.
        self.hand_r = max(1.0, s * 0.045)
        self.hand_len = self.radius - self.ring - max(1.0, s * 0.07)
        self.hub_r = max(1.5, s * 0.075)
        # A side button between one and two o'clock, on the sizes with room for it.
        self.side_button = s >= 32
        # Quarter-hour ticks, on the sizes with room for them.
        self.ticks = s >= 40


def paint(g):
    """Returns the image as rows of premultiplied (r, g, b, a) floats in [0, 1]."""
    s = g.size
    rows = []
    hand_rad = math.radians(HAND_ANGLE)
    hx = g.cx + math.sin(hand_rad) * g.hand_len
    hy = g.cy - math.cos(hand_rad) * g.hand_len
    side_rad = math.radians(42.0)
    side_in = g.radius - g.ring / 2
    side_out = g.radius + max(1.5, s * 0.07)
    sx0, sy0 = g.cx + math.sin(side_rad) * side_in, g.cy - math.cos(side_rad) * side_in
    sx1, sy1 = g.cx + math.sin(side_rad) * side_out, g.cy - math.cos(side_rad) * side_out
    ring_mid = g.radius - g.ring / 2
    tick_out = g.radius - g.ring - max(1.0, s * 0.04)
    tick_in = tick_out - max(1.5, s * 0.07)
    tick_r = max(0.6, s * 0.022)

    for py in range(s):
        row = []
        y = py + 0.5
        for px in range(s):
            x = px + 0.5
            layers = []
            # Crown: button and stem.
            d_button = sd_round_box(x, y, g.cx - g.button_w / 2, g.button_y0,
                                    g.cx + g.button_w / 2, g.button_y0 + g.button_h,
                                    min(g.button_h / 2, max(0.5, s * 0.02)))
            d_stem = sd_round_box(x, y, g.cx - g.stem_w / 2, g.button_y0 + g.button_h / 2,
                                  g.cx + g.stem_w / 2, g.stem_y1, 0.0)
            layers.append((CROWN, coverage(min(d_button, d_stem))))
            if g.side_button:
                layers.append((CROWN, coverage(sd_capsule(x, y, sx0, sy0, sx1, sy1, g.stem_w / 2))))
            # Ring: orange from the hand clockwise to twelve, grey before the hand.
            d_ring = abs(sd_circle(x, y, g.cx, g.cy, ring_mid)) - g.ring / 2
            c_ring = coverage(d_ring)
            if c_ring > 0.0:
                layers.append((blend_arc(x, y, g, ring_mid), c_ring))
            # Face inside the ring, a hair wider than the ring's inner edge so
            # that no background shows through where two soft edges meet.
            layers.append((FACE, coverage(sd_circle(x, y, g.cx, g.cy, g.radius - g.ring + 0.01))))
            if g.ticks:
                for k in range(4):
                    a = math.radians(90.0 * k)
                    d_tick = sd_capsule(x, y,
                                        g.cx + math.sin(a) * tick_in, g.cy - math.cos(a) * tick_in,
                                        g.cx + math.sin(a) * tick_out, g.cy - math.cos(a) * tick_out,
                                        tick_r)
                    layers.append((TICK, coverage(d_tick)))
            # Hand and hub.
            d_hand = min(sd_capsule(x, y, g.cx, g.cy, hx, hy, g.hand_r),
                         sd_circle(x, y, g.cx, g.cy, g.hub_r))
            layers.append((INK, coverage(d_hand)))
            row.append(composite(layers))
        rows.append(row)
    return rows


def blend_arc(x, y, g, ring_mid):
    """The ring's colour at a point: orange past the hand, grey before it.

    The two boundaries (at the hand and at twelve o'clock) are anti-aliased
    across one pixel measured along the ring.
    """
    a = clock_angle(x, y, g.cx, g.cy)
    px_per_degree = math.radians(1.0) * ring_mid
    # Distance in pixels along the ring into the orange part (positive inside).
    into = min(a - HAND_ANGLE, 360.0 - a) * px_per_degree
    t = max(0.0, min(1.0, 0.5 + into))
    return tuple(TRACK[i] + (ARC[i] - TRACK[i]) * t for i in range(3))


def composite(layers):
    """Paints straight-colour layers over each other; returns premultiplied RGBA."""
    r = gr = b = a = 0.0
    for colour, cov in layers:
        if cov <= 0.0:
            continue
        keep = 1.0 - cov
        r = colour[0] / 255.0 * cov + r * keep
        gr = colour[1] / 255.0 * cov + gr * keep
        b = colour[2] / 255.0 * cov + b * keep
        a = cov + a * keep
    return (r, gr, b, a)


def to_rgba8(rows):
    """Premultiplied floats to straight 8-bit RGBA rows (bytes)."""
    out = []
    for row in rows:
        line = bytearray()
        for r, g, b, a in row:
            a8 = int(round(a * 255.0))
            if a8 == 0:
                line += b"\0\0\0\0"
                continue
            line += bytes(min(255, int(round(c / a * 255.0))) for c in (r, g, b))
            line.append(a8)
        out.append(bytes(line))
    return out


def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def encode_png(size, rgba_rows):
    """An 8-bit RGBA PNG with no ancillary chunks (no time, no gamma)."""
    raw = b"".join(b"\0" + line for line in rgba_rows)
    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", ihdr)
            + png_chunk(b"IDAT", zlib.compress(raw, 9)) + png_chunk(b"IEND", b""))


def decode_png_pixels(data):
    """The raw RGBA rows of a PNG written by encode_png (filter type 0 only)."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    pos, idat, width = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            if (depth, colour) != (8, 6):
                raise ValueError("not 8-bit RGBA")
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = 1 + 4 * width
    rows = [raw[i:i + stride] for i in range(0, len(raw), stride)]
    if any(r[0] != 0 for r in rows):
        raise ValueError("unexpected PNG filter")
    return [r[1:] for r in rows]


def encode_ico(pngs):
    """An .ico whose images are the given PNG files, each 32-bit with one plane."""
    header = struct.pack("<HHH", 0, 1, len(pngs))
    offset = 6 + 16 * len(pngs)
    entries, blobs = b"", b""
    for size, png in pngs:
        dim = 0 if size >= 256 else size          # 0 stands for 256
        entries += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(png), offset)
        blobs += png
        offset += len(png)
    return header + entries + blobs


def png_name(size):
    return f"orvanta-setup-{size}.png"


def draw(size):
    return to_rgba8(paint(Geometry(size)))


def write_all(folder):
    pngs = []
    for size in SIZES:
        png = encode_png(size, draw(size))
        (folder / png_name(size)).write_bytes(png)
        pngs.append((size, png))
    (folder / ICO_NAME).write_bytes(encode_ico(pngs))


def check_all(folder):
    problems = []
    pngs = []
    for size in SIZES:
        path = folder / png_name(size)
        if not path.exists():
            problems.append(f"{path.name}: missing")
            continue
        data = path.read_bytes()
        pngs.append((size, data))
        if decode_png_pixels(data) != draw(size):
            problems.append(f"{path.name}: pixels differ from a fresh drawing")
    ico = folder / ICO_NAME
    if not ico.exists() or ico.read_bytes() != encode_ico(pngs):
        problems.append(f"{ICO_NAME}: not the nine committed PNG files in ascending size")
    for p in problems:
        print(p, file=sys.stderr)
    return not problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true",
                        help="compare the committed outputs with a fresh drawing")
    parser.add_argument("--out", type=pathlib.Path, default=HERE,
                        help="folder of the outputs (default: this script's folder)")
    args = parser.parse_args()
    if args.check:
        return 0 if check_all(args.out) else 1
    args.out.mkdir(parents=True, exist_ok=True)
    write_all(args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
