#!/usr/bin/env python3
"""Draws the slider's default pictures and its hand cursor, written for this
project, and stores them as BMP and CUR files for the resource compiler.

usage: make_slider_art.py OUTPUT_DIR
"""
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "scripts" / "art"))
from picture_files import write_bmp, write_cur  # noqa: E402

KEY = (128, 128, 0)          # transparency key: red 128, green 128, blue 0
WHITE = (255, 255, 255)
LIGHT = (223, 223, 223)
FACE = (192, 192, 192)
PRESSED = (168, 168, 176)
SHADOW = (128, 128, 128)
DARK = (0, 0, 0)
GROOVE = (64, 64, 64)


def thumb_state(width, body, point, pressed):
    """One horizontal thumb picture: a raised block with a point downwards."""
    face = PRESSED if pressed else FACE
    rows = []
    for y in range(body):
        row = []
        for x in range(width):
            if y == 0 or x == 0:
                c = WHITE
            elif x == width - 1:
                c = DARK
            elif x == width - 2:
                c = SHADOW
            elif y == 1 or x == 1:
                c = LIGHT
            else:
                c = face
                if pressed and (x + y) % 2 == 0:
                    c = LIGHT
            row.append(c)
        rows.append(row)
    half = width // 2
    for i in range(point):
        row = []
        for x in range(width):
            left, right = i, width - 1 - i
            if x < left or x > right:
                c = KEY
            elif x == left:
                c = WHITE
            elif x == right:
                c = DARK
            elif x == right - 1:
                c = SHADOW
            else:
                c = face
            row.append(c)
        if i == point - 1:
            row = [DARK if x == half else KEY for x in range(width)]
        rows.append(row)
    return rows


def horizontal_thumb():
    normal = thumb_state(11, 12, 6, False)
    pressed = thumb_state(11, 12, 6, True)
    return [a + b for a, b in zip(normal, pressed)]


def turn(rows):
    """Turns a downwards-pointing picture into one pointing right."""
    h, w = len(rows), len(rows[0])
    return [[rows[h - 1 - y][x] for y in range(h)] for x in range(w)]


def vertical_thumb():
    normal = turn(thumb_state(11, 12, 6, False))
    pressed = turn(thumb_state(11, 12, 6, True))
    return [a + b for a, b in zip(normal, pressed)]


def horizontal_ruler():
    """A sunken groove with rounded ends, 20 x 6; the 2-pixel ends are the edges."""
    colours = [KEY, SHADOW, GROOVE, FACE, WHITE, KEY]
    rows = []
    for y, c in enumerate(colours):
        row = []
        for x in range(20):
            end = x in (0, 19)
            if end and y in (1, 4):
                row.append(KEY)
            elif end and c != KEY:
                row.append(SHADOW if y < 3 else WHITE)
            else:
                row.append(c)
        rows.append(row)
    return rows


def vertical_ruler():
    h = horizontal_ruler()
    return [[h[y][x] for y in range(len(h))] for x in range(len(h[0]))]


HAND = [
    "     XX          ",
    "    XooX         ",
    "    XooX         ",
    "    XooX         ",
    "    XooX         ",
    "    XooXXX       ",
    "    XooXooXXX    ",
    "    XooXooXooXX  ",
    " XX XooXooXooXoX ",
    "XooXXooooooooXooX",
    "XoooXoooooooooooX",
    " XooXoooooooooooX",
    "  XoXoooooooooooX",
    "  XooooooooooooX ",
    "   XoooooooooooX ",
    "   XooooooooooX  ",
    "    XoooooooooX  ",
    "    XoooooooooX  ",
    "     XXXXXXXXXX  ",
]
HOTSPOT = (5, 0)


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    write_bmp(out / "slider_hthumb.bmp", horizontal_thumb())
    write_bmp(out / "slider_hruler.bmp", horizontal_ruler())
    write_bmp(out / "slider_vthumb.bmp", vertical_thumb())
    write_bmp(out / "slider_vruler.bmp", vertical_ruler())
    write_cur(out / "hand.cur", HAND, HOTSPOT)


if __name__ == "__main__":
    main()
