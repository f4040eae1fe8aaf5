#!/usr/bin/env python3
"""Draws the enhancer window's pictures, written for this project: the
275 x 116 header skin, the six three-frame button strips, the thumb and ruler
of its 16-pixel sliders, the window and tray icon (16 and 32 pixels) and the
About picture. Letters come from the small pixel font below, so no picture
depends on a font of the machine.

usage: make_brindle_art.py OUTPUT_DIR [PREVIEW_DIR]
"""
import math
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[3] / "scripts" / "art"))
from picture_files import write_bmp, write_ico, write_png  # noqa: E402

KEY = (128, 128, 0)  # transparency key of the slider pictures and icons
BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
STEEL = (58, 58, 58)        # the scope panel's colour
ACCENT = (0, 170, 255)
ACCENT_DARK = (0, 70, 120)
AMBER = (255, 176, 32)
SILVER = (192, 192, 192)

# 5 x 7 capitals, digits and a few marks
FONT = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "B": ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    "C": ["01110", "10001", "10000", "10000", "10000", "10001", "01110"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "G": ["01110", "10001", "10000", "10111", "10001", "10001", "01111"],
    "H": ["10001", "10001", "10001", "11111", "10001", "10001", "10001"],
    "I": ["01110", "00100", "00100", "00100", "00100", "00100", "01110"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "U": ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "X": ["10001", "10001", "01010", "00100", "01010", "10001", "10001"],
    " ": ["00000"] * 7,
    "-": ["00000", "00000", "00000", "11111", "00000", "00000", "00000"],
}


def canvas(w, h, colour):
    return [[colour] * w for _ in range(h)]


def put(pic, x, y, c):
    if 0 <= y < len(pic) and 0 <= x < len(pic[0]):
        pic[y][x] = c


def rect(pic, x0, y0, x1, y1, c):
    """Fills x0 <= x < x1, y0 <= y < y1."""
    for y in range(y0, y1):
        for x in range(x0, x1):
            put(pic, x, y, c)


def frame(pic, x0, y0, x1, y1, light, dark):
    for x in range(x0, x1):
        put(pic, x, y0, light)
        put(pic, x, y1 - 1, dark)
    for y in range(y0, y1):
        put(pic, x0, y, light)
        put(pic, x1 - 1, y, dark)


def text_width(s, scale=1):
    return (len(s) * 6 - 1) * scale


def text(pic, x, y, s, c, scale=1):
    for i, ch in enumerate(s):
        glyph = FONT[ch]
        for gy, row in enumerate(glyph):
            for gx, bit in enumerate(row):
                if bit == "1":
                    rect(pic, x + (i * 6 + gx) * scale, y + gy * scale,
                         x + (i * 6 + gx + 1) * scale, y + (gy + 1) * scale, c)


def mix(a, b, t):
    return tuple(int(a[i] + (b[i] - a[i]) * t) for i in range(3))


def header():
    w, h = 275, 116
    pic = canvas(w, h, BLACK)
    for y in range(h):
        c = mix((44, 48, 56), (12, 14, 18), y / (h - 1))
        for x in range(w):
            pic[y][x] = c
    # fine brushed lines
    for y in range(0, h, 3):
        for x in range(w):
            r, g, b = pic[y][x]
            pic[y][x] = (min(r + 6, 255), min(g + 6, 255), min(b + 8, 255))
    frame(pic, 0, 0, w, h, (110, 120, 135), (5, 5, 8))
    frame(pic, 1, 1, w - 1, h - 1, (70, 76, 88), (20, 22, 26))
    text(pic, 8, 6, "BRINDLE ENHANCER", AMBER)
    rect(pic, 8, 14, 8 + text_width("BRINDLE ENHANCER"), 15, (120, 80, 10))
    # the hide corner (the top-right 20 x 20 pixels)
    rect(pic, 257, 4, 270, 17, (30, 32, 38))
    frame(pic, 257, 4, 270, 17, (120, 128, 140), (8, 8, 10))
    for i in range(7):
        put(pic, 260 + i, 7 + i, SILVER)
        put(pic, 266 - i, 7 + i, SILVER)
    # the preset list's well and its label
    text(pic, 8, 29, "PRESET", SILVER)
    frame(pic, 65, 21, 271, 44, (5, 5, 8), (110, 120, 135))
    # the scope's bezel around 5,63 265 x 49
    frame(pic, 4, 62, 271, 113, (5, 5, 8), (110, 120, 135))
    rect(pic, 5, 63, 270, 112, STEEL)
    return pic


def button_strip(width, height, label):
    """Three frames side by side: normal, hot, pressed."""
    pic = canvas(width * 3, height, BLACK)
    looks = [
        ((64, 70, 82), (26, 28, 34), (150, 158, 170), (8, 8, 10), SILVER, 0),
        ((80, 92, 112), (34, 40, 52), (190, 200, 215), (8, 8, 10), WHITE, 0),
        ((20, 24, 30), (44, 50, 60), (8, 8, 10), (150, 158, 170), ACCENT, 1),
    ]
    for k, (top, bottom, light, dark, ink, shift) in enumerate(looks):
        x0 = k * width
        for y in range(height):
            c = mix(top, bottom, y / max(1, height - 1))
            for x in range(x0, x0 + width):
                pic[y][x] = c
        frame(pic, x0, 0, x0 + width, height, light, dark)
        scale = 2 if height >= 28 and text_width(label, 2) <= width - 6 else 1
        tx = x0 + (width - text_width(label, scale)) // 2 + shift
        ty = (height - 7 * scale) // 2 + shift
        text(pic, tx, ty, label, ink, scale)
    return pic


def slider_thumb():
    """The 16-pixel slider's thumb: 11 x 16, normal and pressed side by side."""
    w, h = 11, 16
    pic = canvas(w * 2, h, KEY)
    for k, face in enumerate(((150, 158, 170), ACCENT)):
        x0 = k * w
        for y in range(h - 4):
            for x in range(w):
                c = face
                if y == 0 or x == 0:
                    c = WHITE
                elif x == w - 1 or y == h - 5:
                    c = (20, 22, 26)
                pic[y][x0 + x] = c
        for i in range(4):  # a point downwards
            for x in range(i + 1, w - 1 - i):
                pic[h - 4 + i][x0 + x] = face
        for y in range(3, h - 6, 2):  # grip lines
            for x in range(3, w - 3):
                pic[y][x0 + x] = (40, 44, 52)
    return pic


def slider_ruler():
    """A dark groove, 20 x 6; its 2-pixel ends are the edges."""
    colours = [KEY, (20, 22, 26), (0, 0, 0), ACCENT_DARK, (90, 96, 108), KEY]
    pic = []
    for y, c in enumerate(colours):
        row = []
        for x in range(20):
            if x in (0, 19) and y in (1, 4):
                row.append(KEY)
            else:
                row.append(c)
        pic.append(row)
    return pic


def icon(size):
    """A round badge with a waveform, on the transparency key."""
    pic = canvas(size, size, KEY)
    r = size / 2 - 0.5
    for y in range(size):
        for x in range(size):
            d = math.hypot(x - r, y - r)
            if d <= r:
                pic[y][x] = mix((0, 120, 200), (0, 30, 60), d / r)
            if r - 1.2 < d <= r:
                pic[y][x] = (10, 16, 24)
    for x in range(2, size - 2):
        t = (x - 2) / (size - 5)
        v = math.sin(t * 2 * math.pi * 1.5) * (1 - abs(2 * t - 1) * 0.5)
        y = int(round(r - v * size * 0.3))
        put(pic, x, y, AMBER)
        if size >= 32:
            put(pic, x, y + 1, AMBER)
    return pic


def about():
    w, h = 269, 180
    pic = canvas(w, h, BLACK)
    cx, cy = w / 2, h / 2
    for y in range(h):
        for x in range(w):
            d = math.hypot((x - cx) / w, (y - cy) / h)
            pic[y][x] = mix((0, 36, 60), BLACK, min(1.0, d * 2.2))
    # rings of a spreading sound
    for k in range(1, 7):
        rr = k * 22
        for a in range(0, 720):
            t = a / 720 * 2 * math.pi
            put(pic, int(cx + rr * math.cos(t) * 1.3), int(cy + rr * math.sin(t) * 0.7),
                mix(ACCENT, BLACK, k / 7))
    for x in range(w):
        y = int(cy + math.sin(x / 12.0) * 18 * math.exp(-((x - cx) / 90.0) ** 2))
        put(pic, x, y, AMBER)
        put(pic, x, y + 1, AMBER)
    title = "BRINDLE"
    text(pic, (w - text_width(title, 3)) // 2, 8, title, AMBER, 3)
    sub = "ENHANCER"
    text(pic, (w - text_width(sub, 2)) // 2, 38, sub, SILVER, 2)
    return pic


BUTTONS = [  # file, width, height, label, place on the header (None: on a panel)
    ("button_bass.bmp", 49, 18, "BASS", (4, 44)),
    ("button_music.bmp", 49, 18, "MUSIC", (55, 44)),
    ("button_settings.bmp", 61, 18, "SETTINGS", (106, 44)),
    ("button_save.bmp", 50, 18, "SAVE", (169, 44)),
    ("button_delete.bmp", 50, 18, "DELETE", (221, 44)),
    ("button_about.bmp", 82, 31, "ABOUT", None),
]


def assembled(pictures):
    """The header as the window shows it: the buttons' normal frames in place."""
    pic = [row[:] for row in pictures["header.bmp"]]
    for name, w, h, _, place in BUTTONS:
        if place:
            strip = pictures[name]
            for y in range(h):
                pic[place[1] + y][place[0]:place[0] + w] = strip[y][:w]
    return pic


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    pictures = {
        "header.bmp": header(),
        "slider_thumb.bmp": slider_thumb(),
        "slider_ruler.bmp": slider_ruler(),
        "about.bmp": about(),
    }
    for name, w, h, label, _ in BUTTONS:
        pictures[name] = button_strip(w, h, label)
    for name, pic in pictures.items():
        write_bmp(out / name, pic)
    icons = [icon(16), icon(32)]
    write_ico(out / "brindle.ico", icons, KEY)
    if len(sys.argv) > 2:
        preview = Path(sys.argv[2])
        preview.mkdir(parents=True, exist_ok=True)
        for name, pic in pictures.items():
            write_png(preview / (name[:-4] + ".png"), pic, 3 if len(pic) < 40 else 2)
        write_png(preview / "header_assembled.png", assembled(pictures), 2)
        for pic in icons:
            write_png(preview / ("icon%d.png" % len(pic)), pic, 8)


if __name__ == "__main__":
    main()
