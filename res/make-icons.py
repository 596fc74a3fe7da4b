#!/usr/bin/env python3
"""Writes Kelvarin's icons as PNG files from the pixel maps below, and the
application icon for the desktop (hicolor sizes and an SVG) from its shapes.

Run it again after changing a map or a shape; the files are kept in the
repository so that building needs no image tools. Standard library only.
"""
import struct
import zlib
from pathlib import Path

PALETTE = {
    ".": (0, 0, 0, 0),
    "k": (0, 0, 0, 255),
    "g": (128, 128, 128, 255),
    "w": (255, 255, 255, 255),
    "y": (255, 204, 0, 255),
    "o": (192, 128, 0, 255),
    "b": (0, 64, 160, 255),
    "c": (96, 160, 224, 255),
    "r": (200, 0, 0, 255),
    "e": (0, 160, 0, 255),
}

# Toolbar buttons are 16 x 15 pixels.
OPEN = """
................
................
................
..kkkk..........
.kyyyyk.........
.kyyyykkkkkkk...
.kyyyyyyyyyyk...
.kyyyykkkkkkkkkk
.kyyykoooooooook
.kyykoooooooook.
.kyyk.ooooooook.
.kykoooooooook..
.kkoooooooooook.
.kkkkkkkkkkkkk..
................
"""

SAVE = """
................
.kkkkkkkkkkkkkk.
.kbkwwwwwwwwkbk.
.kbkwwwwwwwwkbk.
.kbkwwwwwwwwkbk.
.kbkwwwwwwwwkbk.
.kbbkkkkkkkkbbk.
.kbbbbbbbbbbbbk.
.kbbkkkkkkkkbbk.
.kbbkwwkggggkbk.
.kbbkwwkggggkbk.
.kbbkwwkggggkbk.
..kkkkkkkkkkkkk.
................
................
"""

ABOUT = """
................
.....kkkkkk.....
...kkcccccckk...
..kccccwwcccck..
..kccccwwcccck..
.kccccccccccccck
.kcccccwwwcccck.
.kccccccwwcccck.
.kccccccwwcccck.
.kccccccwwcccck.
..kccccwwwwcck..
..kccccccccccck.
...kkcccccckk...
.....kkkkkk.....
................
"""

# The object base: a table with its header row.
BASE = """
................
................
.kkkkkkkkkkkkkk.
.kbbbbkbbbbbbbk.
.kkkkkkkkkkkkkk.
.kwwwwkwwwwwwwk.
.kkkkkkkkkkkkkk.
.kwwwwkwwwwwwwk.
.kkkkkkkkkkkkkk.
.kwwwwkwwwwwwwk.
.kkkkkkkkkkkkkk.
.kwwwwkwwwwwwwk.
.kkkkkkkkkkkkkk.
................
................
"""

# Application icon, 32 x 32: the console with its display and a signal lamp.
APP = """
................................
................................
................................
...........e.........e..........
............e.......e...........
.............e.....e............
..............e...e.............
...............e.e..............
................k...............
................k...............
...kkkkkkkkkkkkkkkkkkkkkkkkkkk..
..kggggggggggggggggggggggggggk..
..kgkkkkkkkkkkkkkkkkkkkkkkkkgk..
..kgkeeeeeeeeeeeeeeeeeeeeeekgk..
..kgkekkekkkekkkeeeeeeeeeeekgk..
..kgkeeeeeeeeeeeeeeeeeeeeeekgk..
..kgkekkkekkekkeeeeeeeeeeeekgk..
..kgkeeeeeeeeeeeeeeeeeeeeeekgk..
..kgkkkkkkkkkkkkkkkkkkkkkkkkgk..
..kggggggggggggggggggggggggggk..
..kgwwkgwwkgwwkgwwkggggggrrggk..
..kgwwkgwwkgwwkgwwkggggggrrggk..
..kgkkkgkkkgkkkgkkkggggggggggk..
..kggggggggggggggggggggggggggk..
..kgwwkgwwkgwwkgwwkggggggeeggk..
..kgwwkgwwkgwwkgwwkggggggeeggk..
..kgkkkgkkkgkkkgkkkggggggggggk..
..kggggggggggggggggggggggggggk..
..kkkkkkkkkkkkkkkkkkkkkkkkkkkk..
...kk......................kk...
................................
................................
"""


# The same picture as APP, as shapes on a 32-unit grid, for the desktop's icon
# sizes: ("rect", colour, left, top, right, bottom) and ("line", colour, x1, y1,
# x2, y2, width). Later shapes cover earlier ones.
def _app_shapes():
    shapes = [
        ("line", "e", 11.5, 3.5, 15.5, 7.5, 1.2),  # radio waves
        ("line", "e", 20.5, 3.5, 16.5, 7.5, 1.2),
        ("rect", "k", 16, 7.5, 17, 10),  # mast
        ("rect", "k", 2, 10, 30, 29),  # case
        ("rect", "g", 3, 11, 29, 28),
        ("rect", "k", 4, 12, 28, 19),  # display
        ("rect", "e", 5, 13, 27, 18),
    ]
    for top, marks in ((14, ((6, 8), (9, 12), (13, 16))), (16, ((6, 9), (10, 12), (13, 15)))):
        shapes += [("rect", "k", left, top, right, top + 1) for left, right in marks]
    for top, lamp in ((20, "r"), (24, "e")):
        for key in range(4):
            left = 4 + 4 * key
            shapes.append(("rect", "k", left, top, left + 3, top + 3))
            shapes.append(("rect", "w", left, top, left + 2, top + 2))
        shapes.append(("rect", lamp, 25, top, 27, top + 2))
    shapes += [("rect", "k", 3, 29, 5, 30), ("rect", "k", 27, 29, 29, 30)]  # feet
    return shapes


APP_SHAPES = _app_shapes()
APP_SIZES = (16, 32, 48, 64, 128, 256)


def _segment_distance(px, py, x1, y1, x2, y2):
    dx, dy = x2 - x1, y2 - y1
    t = max(0.0, min(1.0, ((px - x1) * dx + (py - y1) * dy) / (dx * dx + dy * dy)))
    return ((px - x1 - t * dx) ** 2 + (py - y1 - t * dy) ** 2) ** 0.5


def render(shapes, size, grid=32):
    """Rows of RGBA tuples: each shape's coverage of a pixel (exact for
    rectangles, 4 x 4 samples for lines) blended over what lies below."""
    scale = size / grid
    canvas = [[(0.0, 0.0, 0.0, 0.0)] * size for _ in range(size)]

    def blend(x, y, colour, coverage):
        if coverage <= 0:
            return
        r, g, b, a = canvas[y][x]
        cr, cg, cb, _ = (c / 255 for c in PALETTE[colour])
        keep = 1 - coverage
        canvas[y][x] = (cr * coverage + r * keep, cg * coverage + g * keep,
                        cb * coverage + b * keep, coverage + a * keep)

    for kind, colour, *geometry in shapes:
        if kind == "rect":
            left, top, right, bottom = (v * scale for v in geometry)
            for y in range(int(top), min(size, int(bottom) + 1)):
                height = min(bottom, y + 1) - max(top, y)
                for x in range(int(left), min(size, int(right) + 1)):
                    blend(x, y, colour, (min(right, x + 1) - max(left, x)) * height)
        else:
            x1, y1, x2, y2, width = (v * scale for v in geometry)
            reach = width / 2
            for y in range(max(0, int(min(y1, y2) - reach)), min(size, int(max(y1, y2) + reach) + 1)):
                for x in range(max(0, int(min(x1, x2) - reach)), min(size, int(max(x1, x2) + reach) + 1)):
                    hits = sum(_segment_distance(x + (i + 0.5) / 4, y + (j + 0.5) / 4, x1, y1, x2, y2) <= reach
                               for i in range(4) for j in range(4))
                    blend(x, y, colour, hits / 16)
    # Colours were blended premultiplied; PNG wants them straight.
    return [[(0, 0, 0, 0) if a == 0 else
             (round(r / a * 255), round(g / a * 255), round(b / a * 255), round(a * 255))
             for r, g, b, a in row] for row in canvas]


def svg(shapes, grid=32):
    def colour(key):
        return "#%02x%02x%02x" % PALETTE[key][:3]

    parts = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{grid * 8}" height="{grid * 8}" '
             f'viewBox="0 0 {grid} {grid}">']
    for kind, key, *g in shapes:
        if kind == "rect":
            parts.append(f'  <rect x="{g[0]:g}" y="{g[1]:g}" width="{g[2] - g[0]:g}" '
                         f'height="{g[3] - g[1]:g}" fill="{colour(key)}"/>')
        else:
            parts.append(f'  <line x1="{g[0]:g}" y1="{g[1]:g}" x2="{g[2]:g}" y2="{g[3]:g}" '
                         f'stroke="{colour(key)}" stroke-width="{g[4]:g}" stroke-linecap="round"/>')
    return "\n".join(parts + ["</svg>", ""])


def write_png_rows(path, rows):
    raw = b"".join(b"\x00" + b"".join(bytes(pixel) for pixel in row) for row in rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 6, 0, 0, 0)
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                     chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def write_png(path, art):
    rows = [line for line in art.strip("\n").split("\n")]
    width = len(rows[0])
    if any(len(row) != width for row in rows):
        raise ValueError(f"{path}: rows of unequal width")
    write_png_rows(path, [[PALETTE[ch] for ch in row] for row in rows])


if __name__ == "__main__":
    here = Path(__file__).resolve().parent
    for name, art in (("open", OPEN), ("save", SAVE), ("about", ABOUT), ("base", BASE),
                      ("kelvarin", APP)):
        write_png(here / f"{name}.png", art)
    # The desktop's icon theme looks in hicolor/<size>x<size>/apps and scalable/apps.
    hicolor = here / "icons" / "hicolor"
    for size in APP_SIZES:
        write_png_rows(hicolor / f"{size}x{size}" / "apps" / "kelvarin.png",
                       render(APP_SHAPES, size))
    (hicolor / "scalable" / "apps").mkdir(parents=True, exist_ok=True)
    (hicolor / "scalable" / "apps" / "kelvarin.svg").write_text(svg(APP_SHAPES))
