#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws Karvelo's icons, cursor and pictures and writes them in the formats the builds need.

Run it from anywhere with Python 3 (standard library only); it rewrites everything under art/
beside this script. With --check it writes nothing and fails if any file under art/ differs from
what it would write:

  art/app.ico, app.png, app-128.png    the application icon: a black camera with a flash and a
                                       red lamp; 32 x 32, 256 colours, transparent background
  art/about.ico, about.png, about-16.png
                                       the About window's icon: a framed landscape; 32 x 32 and
                                       16 x 16, 16 colours each
  art/hand.cur, hand.png               the hand pointer: 32 x 32, monochrome, hot spot (5, 0)
  art/about-picture.bmp, .png          the About window's picture: 112 x 78, 24-bit
  art/xpstyle.bmp, xpstyle.png         the visual-style control's face: 54 x 54, 24-bit, an emblem
                                       of four coloured panes on a blue rounded tile, magenta
                                       outside the corners (transparent in the PNG)
  art/win/*.bin                        the icon and cursor images as the Windows resource compiler
                                       embeds them under fixed IDs (see karvelo.rc)

Shapes are described in a unit square scaled to the target size and sampled several times per
pixel, so every picture can be redrawn at another size by changing one number.
"""

import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ART = os.path.join(HERE, "art")
WIN = os.path.join(ART, "win")

# ---------------------------------------------------------------------------------------------
# Rasterising: a canvas of RGBA floats, shapes given as inside-tests in the canvas's own units.


class Canvas:
    def __init__(self, width, height, units_w, units_h, samples=4, background=(0, 0, 0, 0)):
        self.w, self.h = width, height
        self.sx, self.sy = units_w / width, units_h / height
        self.samples = samples
        self.px = [[tuple(background) for _ in range(width)] for _ in range(height)]

    def fill(self, inside, color):
        """Paints `color` (an RGB tuple or a function of the unit point) where `inside` holds,
        with the share of covered sub-samples as opacity."""
        n = self.samples
        for y in range(self.h):
            for x in range(self.w):
                hits = 0
                acc = [0.0, 0.0, 0.0]
                for j in range(n):
                    for i in range(n):
                        ux = (x + (i + 0.5) / n) * self.sx
                        uy = (y + (j + 0.5) / n) * self.sy
                        if inside(ux, uy):
                            hits += 1
                            c = color(ux, uy) if callable(color) else color
                            acc[0] += c[0]
                            acc[1] += c[1]
                            acc[2] += c[2]
                if hits == 0:
                    continue
                a = hits / (n * n)
                c = [v / hits for v in acc]
                r, g, b, da = self.px[y][x]
                out_a = a + da * (1 - a)
                if out_a <= 0:
                    continue
                mix = [(c[k] * a + (r, g, b)[k] * da * (1 - a)) / out_a for k in range(3)]
                self.px[y][x] = (mix[0], mix[1], mix[2], out_a)

    def rgba8(self):
        return [[tuple(max(0, min(255, round(v if k < 3 else v * 255))) for k, v in enumerate(p))
                 for p in row] for row in self.px]


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def rounded(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r_out, r_in):
    return lambda x, y: r_in * r_in < (x - cx) ** 2 + (y - cy) ** 2 <= r_out * r_out


def polygon(points):
    def inside(x, y):
        hit = False
        for k in range(len(points)):
            (ax, ay), (bx, by) = points[k], points[k - 1]
            if (ay > y) != (by > y) and x < (bx - ax) * (y - ay) / (by - ay) + ax:
                hit = not hit
        return hit
    return inside


def vertical(top_color, bottom_color, y0, y1):
    def color(_x, y):
        t = min(1.0, max(0.0, (y - y0) / (y1 - y0)))
        return tuple(top_color[k] + (bottom_color[k] - top_color[k]) * t for k in range(3))
    return color


# ---------------------------------------------------------------------------------------------
# The subjects. Each draws into a canvas whose units are given by the caller.


def draw_camera(c):
    """A black camera, 32 units square: body, flash housing on top with its window, shutter
    button, lens, and a red lamp at the front."""
    black_body = vertical((58, 58, 62), (8, 8, 10), 10, 28)
    c.fill(rounded(10.5, 4.5, 21.5, 11, 1.5), (20, 20, 22))           # flash housing
    c.fill(rect(12, 5.5, 20, 8.5), vertical((255, 255, 240), (200, 200, 190), 5.5, 8.5))
    c.fill(rounded(23, 7.5, 28, 11, 1), (30, 30, 32))                 # shutter button
    c.fill(rounded(1.5, 9.5, 30.5, 28, 3.5), black_body)              # body
    c.fill(rect(2.5, 12.5, 29.5, 13.5), (84, 84, 90))                  # grip line
    c.fill(circle(16, 19.5, 7.5), (110, 110, 118))                     # lens ring
    c.fill(circle(16, 19.5, 6.2), (16, 16, 18))
    c.fill(circle(16, 19.5, 4.6), vertical((40, 70, 140), (10, 20, 60), 15, 24))
    c.fill(circle(14.3, 17.8, 1.5), (190, 210, 255))                  # glint on the glass
    c.fill(circle(5.5, 16, 2.0), (90, 0, 0))                           # red lamp
    c.fill(circle(5.5, 16, 1.5), vertical((255, 90, 80), (200, 0, 0), 14.5, 17.5))


def draw_framed_landscape(c):
    """A framed photograph, 32 units square: white frame, sky, sun, hills."""
    c.fill(rect(1, 4, 31, 28), (0, 0, 0))
    c.fill(rect(2, 5, 30, 27), (255, 255, 255))
    c.fill(rect(4, 7, 28, 25), (0, 255, 255))
    c.fill(circle(22, 12, 3), (255, 255, 0))
    c.fill(polygon([(4, 25), (4, 18), (11, 12), (18, 20), (22, 17), (28, 22), (28, 25)]),
           (0, 128, 0))
    c.fill(polygon([(9, 13.7), (11, 12), (13, 14.3)]), (255, 255, 255))


def draw_about_picture(c):
    """112 x 78 units: a large landscape photograph and its smaller copy, joined by an arrow,
    on a soft blue backdrop."""
    c.fill(rect(0, 0, 112, 78), vertical((226, 236, 250), (168, 192, 228), 0, 78))

    def photo(x0, y0, w, h):
        s = w / 60
        c.fill(rect(x0 + 2 * s, y0 + 2 * s, x0 + w + 2 * s, y0 + h + 2 * s), (110, 120, 140))
        c.fill(rect(x0, y0, x0 + w, y0 + h), (255, 255, 255))
        m = 3 * s
        ix0, iy0, ix1, iy1 = x0 + m, y0 + m, x0 + w - m, y0 + h - m
        c.fill(rect(ix0, iy0, ix1, iy1), vertical((70, 140, 230), (190, 225, 255), iy0, iy1))
        iw, ih = ix1 - ix0, iy1 - iy0
        c.fill(circle(ix0 + iw * 0.75, iy0 + ih * 0.28, ih * 0.13), (255, 214, 60))
        c.fill(polygon([(ix0, iy1), (ix0, iy0 + ih * 0.62), (ix0 + iw * 0.3, iy0 + ih * 0.3),
                        (ix0 + iw * 0.55, iy0 + ih * 0.6), (ix0 + iw * 0.7, iy0 + ih * 0.48),
                        (ix1, iy0 + ih * 0.72), (ix1, iy1)]),
               vertical((90, 110, 130), (60, 80, 100), iy0 + ih * 0.3, iy1))
        c.fill(polygon([(ix0 + iw * 0.22, iy0 + ih * 0.38), (ix0 + iw * 0.3, iy0 + ih * 0.3),
                        (ix0 + iw * 0.38, iy0 + ih * 0.4), (ix0 + iw * 0.3, iy0 + ih * 0.36)]),
               (250, 250, 255))
        c.fill(polygon([(ix0, iy1), (ix0, iy0 + ih * 0.8), (ix0 + iw * 0.4, iy0 + ih * 0.72),
                        (ix1, iy0 + ih * 0.84), (ix1, iy1)]),
               vertical((90, 170, 70), (40, 120, 40), iy0 + ih * 0.72, iy1))

    photo(6, 10, 60, 46)
    photo(84, 40, 22, 17)
    arrow = [(70, 40), (76, 40), (76, 36), (82, 43), (76, 50), (76, 46), (70, 46)]
    c.fill(polygon([(x + 1, y + 1) for x, y in arrow]), (110, 120, 140))
    c.fill(polygon(arrow), vertical((255, 150, 60), (220, 80, 20), 36, 50))
    c.fill(rect(6, 64, 106, 66), (120, 140, 180))
    for k, color in enumerate([(220, 60, 50), (250, 180, 40), (70, 170, 80), (60, 120, 220)]):
        c.fill(circle(50 + k * 4, 71, 1.4), color)


def draw_emblem(c):
    """54 units square, on magenta: a blue tile with rounded corners holding four coloured panes
    in a two by two grid."""
    panes = [
        ((10, 10, 26, 26), vertical((255, 110, 80), (220, 50, 30), 10, 26)),
        ((28, 10, 44, 26), vertical((130, 220, 90), (60, 170, 40), 10, 26)),
        ((10, 28, 26, 44), vertical((120, 200, 255), (40, 140, 240), 28, 44)),
        ((28, 28, 44, 44), vertical((255, 230, 90), (245, 180, 20), 28, 44)),
    ]
    for (x0, y0, x1, y1), color in panes:
        c.fill(rounded(x0 - 1.2, y0 - 1.2, x1 + 1.2, y1 + 1.2, 3.5), (255, 255, 255))
        c.fill(rounded(x0, y0, x1, y1, 2.5), color)


def draw_tile(width):
    """The emblem's blue tile with magenta outside its rounded corners: every pixel either tile or
    magenta, with no blend between them, since magenta marks what is see-through."""
    magenta = (255, 0, 255)
    radius = 11
    inside = rounded(0, 0, width, width, radius)
    tile = vertical((70, 130, 230), (20, 60, 170), 0, width)
    pixels = []
    for y in range(width):
        row = []
        for x in range(width):
            if inside(x + 0.5, y + 0.5):
                row.append(tuple(round(v) for v in tile(x + 0.5, y + 0.5)))
            else:
                row.append(magenta)
        pixels.append(row)
    return pixels


# The hand pointer, drawn pixel by pixel: '#' black outline, everything enclosed by it white,
# the rest transparent. The tip of the index finger is at (5, 0), the hot spot.
HAND = [
    ".....##.........................",
    "....#..#........................",
    "....#..#........................",
    "....#..#........................",
    "....#..#........................",
    "....#..###......................",
    "....#..#..###...................",
    "....#..#..#..###................",
    "....#..#..#..#..#...............",
    ".##.#..#..#..#..#...............",
    "#..#............#...............",
    "#...............#...............",
    ".#..............#...............",
    "..#.............#...............",
    "..#............#................",
    "...#...........#................",
    "...#..........#.................",
    "....#.........#.................",
    "....#.........#.................",
    ".....#########..................",
] + ["." * 32] * 12
HAND_HOTSPOT = (5, 0)


def hand_pixels():
    """0 transparent, 1 black, 2 white: the outside is flooded from the border, four ways only, so
    that a diagonal step of the outline still closes it."""
    h, w = len(HAND), len(HAND[0])
    kind = [[1 if ch == "#" else 2 for ch in row] for row in HAND]
    stack = [(x, y) for x in range(w) for y in (0, h - 1)] + \
        [(x, y) for y in range(h) for x in (0, w - 1)]
    while stack:
        x, y = stack.pop()
        if 0 <= x < w and 0 <= y < h and kind[y][x] == 2:
            kind[y][x] = 0
            stack += [(x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)]
    return kind


# ---------------------------------------------------------------------------------------------
# Palettes and colour reduction.


def palette_256():
    """A 6 x 6 x 6 colour cube and a 40-step grey ramp: 256 entries."""
    levels = [0, 51, 102, 153, 204, 255]
    pal = [(r, g, b) for r in levels for g in levels for b in levels]
    pal += [(round(k * 255 / 41),) * 3 for k in range(1, 41)]
    return pal


PALETTE_16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def nearest(pal, rgb):
    return min(range(len(pal)),
               key=lambda k: sum((pal[k][i] - rgb[i]) ** 2 * (3, 4, 2)[i] for i in range(3)))


def reduce(rgba, pal):
    """Indexed pixels and an opacity mask: a pixel at least half covered is opaque."""
    index = [[nearest(pal, p[:3]) if p[3] >= 128 else 0 for p in row] for row in rgba]
    opaque = [[p[3] >= 128 for p in row] for row in rgba]
    return index, opaque


# ---------------------------------------------------------------------------------------------
# File formats. All little-endian; bitmaps are stored bottom row first, rows padded to 4 bytes.


def row_bytes(bits):
    return (bits + 31) // 32 * 4


def pack_bits(values, bpp):
    out = bytearray(row_bytes(len(values) * bpp))
    per = 8 // bpp
    for i, v in enumerate(values):
        out[i // per] |= v << (8 - bpp * (i % per + 1))
    return bytes(out)


def dib(index, opaque, pal, bpp):
    """An icon or cursor image: BITMAPINFOHEADER with doubled height, palette, colour (XOR)
    rows, then the mask (AND) rows where 1 is see-through."""
    h, w = len(index), len(index[0])
    xor = b"".join(pack_bits(row, bpp) for row in reversed(index))
    mask = b"".join(pack_bits([0 if o else 1 for o in row], 1) for row in reversed(opaque))
    header = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, bpp, 0, len(xor) + len(mask), 0, 0,
                         0, 0)
    colors = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in pal)
    assert len(pal) == 1 << bpp
    return header + colors + xor + mask


def ico(images):
    """An .ico file from (width, height, bpp, dib) entries."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for w, h, bpp, data in images:
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0 if bpp >= 8 else 1 << bpp, 0, 1, bpp,
                           len(data), offset + len(body))
        body += data
    return out + body


def group_icon(images):
    """An icon directory as a resource: like an .ico header, with image IDs for file offsets."""
    out = struct.pack("<HHH", 0, 1, len(images))
    for w, h, bpp, data, resource_id in images:
        out += struct.pack("<BBBBHHIH", w % 256, h % 256, 0 if bpp >= 8 else 1 << bpp, 0, 1, bpp,
                           len(data), resource_id)
    return out


def group_cursor(w, h, resource, resource_id):
    """A cursor directory as a resource: the height counts colour and mask rows together, the
    byte count includes the hot spot that leads the image."""
    return struct.pack("<HHH", 0, 2, 1) + struct.pack("<HHHHIH", w, 2 * h, 1, 1, len(resource),
                                                      resource_id)


def cur(w, h, hotspot, data):
    return struct.pack("<HHH", 0, 2, 1) + struct.pack(
        "<BBBBHHII", w, h, 2, 0, hotspot[0], hotspot[1], len(data), 22) + data


def bmp24(rgb):
    h, w = len(rgb), len(rgb[0])
    stride = row_bytes(w * 24)
    rows = b"".join(bytes(v for r, g, b in row for v in (b, g, r)).ljust(stride, b"\0")
                    for row in reversed(rgb))
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(rows), 3780, 3780, 0, 0)
    return struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(rows), 0, 0, 14 + len(info)) + \
        info + rows


def png(rgba):
    h, w = len(rgba), len(rgba[0])
    raw = b"".join(b"\0" + bytes(v for p in row for v in p) for row in rgba)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + \
            struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)) + \
        chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def indexed_rgba(index, opaque, pal):
    return [[pal[i] + (255,) if o else (0, 0, 0, 0) for i, o in zip(ri, ro)]
            for ri, ro in zip(index, opaque)]


CHECK_ONLY = "--check" in sys.argv[1:]
STALE = []


def write(path, data):
    if CHECK_ONLY:
        try:
            with open(path, "rb") as f:
                same = f.read() == data
        except OSError:
            same = False
        if not same:
            STALE.append(os.path.relpath(path, HERE))
        return
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


# ---------------------------------------------------------------------------------------------


def main():
    # Application icon: 32 x 32 in 256 colours; the same pixels go to the Linux window icon.
    pal = palette_256()
    camera = Canvas(32, 32, 32, 32)
    draw_camera(camera)
    index, opaque = reduce(camera.rgba8(), pal)
    app = dib(index, opaque, pal, 8)
    assert len(app) == 2216
    write(os.path.join(WIN, "icon-30001.bin"), app)
    write(os.path.join(ART, "app.ico"), ico([(32, 32, 8, app)]))
    write(os.path.join(WIN, "group-icon-1.bin"), group_icon([(32, 32, 8, app, 30001)]))
    write(os.path.join(ART, "app.png"), png(indexed_rgba(index, opaque, pal)))
    large = Canvas(128, 128, 32, 32)
    draw_camera(large)
    write(os.path.join(ART, "app-128.png"), png(large.rgba8()))

    # About window icon: 32 x 32 and 16 x 16 in the 16 standard colours.
    about_images = []
    for size, resource_id in ((32, 30002), (16, 30003)):
        canvas = Canvas(size, size, 32, 32)
        draw_framed_landscape(canvas)
        index, opaque = reduce(canvas.rgba8(), PALETTE_16)
        data = dib(index, opaque, PALETTE_16, 4)
        about_images.append((size, size, 4, data, resource_id))
        write(os.path.join(WIN, "icon-%d.bin" % resource_id), data)
        name = "about.png" if size == 32 else "about-16.png"
        write(os.path.join(ART, name), png(indexed_rgba(index, opaque, PALETTE_16)))
    write(os.path.join(ART, "about.ico"), ico([image[:4] for image in about_images]))
    write(os.path.join(WIN, "group-icon-2.bin"), group_icon(about_images))

    # Hand pointer: monochrome, so white pixels are colour 1, black and see-through colour 0.
    kind = hand_pixels()
    hand = dib([[1 if k == 2 else 0 for k in row] for row in kind],
               [[k != 0 for k in row] for row in kind], [(0, 0, 0), (255, 255, 255)], 1)
    hand_resource = struct.pack("<HH", *HAND_HOTSPOT) + hand
    write(os.path.join(WIN, "cursor-30004.bin"), hand_resource)
    write(os.path.join(WIN, "group-cursor-3.bin"), group_cursor(32, 32, hand_resource, 30004))
    write(os.path.join(ART, "hand.cur"), cur(32, 32, HAND_HOTSPOT, hand))
    write(os.path.join(ART, "hand.png"),
          png([[((0, 0, 0, 0), (0, 0, 0, 255), (255, 255, 255, 255))[k] for k in row]
               for row in kind]))

    # About picture.
    picture = Canvas(112, 78, 112, 78)
    draw_about_picture(picture)
    rgb = [[p[:3] for p in row] for row in picture.rgba8()]
    write(os.path.join(ART, "about-picture.bmp"), bmp24(rgb))
    write(os.path.join(ART, "about-picture.png"), png([[p + (255,) for p in row] for row in rgb]))

    # The visual-style control's face: the tile with its magenta corners, the panes on top.
    tile = draw_tile(54)
    emblem = Canvas(54, 54, 54, 54, background=(0, 0, 0, 0))
    emblem.px = [[p + (1.0,) for p in row] for row in tile]
    draw_emblem(emblem)
    rgb = [[p[:3] for p in row] for row in emblem.rgba8()]
    write(os.path.join(ART, "xpstyle.bmp"), bmp24(rgb))
    write(os.path.join(ART, "xpstyle.png"),
          png([[p + ((0,) if p == (255, 0, 255) else (255,)) for p in row] for row in rgb]))


if __name__ == "__main__":
    main()
    if STALE:
        sys.exit("draw_artwork.py: out of date, run it again: " + " ".join(STALE))
