#!/usr/bin/env python3
"""Writes Kelvarin's icons as PNG files from the pixel maps below.

Run it again after changing a map; the PNGs are kept in the repository so that
building needs no image tools. Standard library only.
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


def write_png(path, art):
    rows = [line for line in art.strip("\n").split("\n")]
    width = len(rows[0])
    if any(len(row) != width for row in rows):
        raise ValueError(f"{path}: rows of unequal width")
    raw = b"".join(
        b"\x00" + b"".join(bytes(PALETTE[ch]) for ch in row) for row in rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, len(rows), 8, 6, 0, 0, 0)
    path.write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                     chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    here = Path(__file__).resolve().parent
    for name, art in (("open", OPEN), ("save", SAVE), ("about", ABOUT), ("kelvarin", APP)):
        write_png(here / f"{name}.png", art)
