"""Writers of the picture files our build-time art scripts draw: 24-bit BMP,
monochrome CUR, ICO with colour images and a transparency key, and PNG
previews for review. Pictures are rows of (r, g, b) tuples, top row first.
"""
import struct
import zlib
from pathlib import Path


def write_bmp(path, pixels):
    """24-bit bottom-up BMP from rows of (r, g, b)."""
    h = len(pixels)
    w = len(pixels[0])
    row_bytes = (w * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b"\0" * (row_bytes - len(line))
        data += line
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    Path(path).write_bytes(header + info + data)


def write_cur(path, art, hotspot):
    """A 32 x 32 monochrome cursor: X black, o white, blank transparent."""
    size = 32
    xor_rows, and_rows = [], []
    for y in range(size):
        line = art[y] if y < len(art) else ""
        xor_bits = and_bits = 0
        for x in range(size):
            ch = line[x] if x < len(line) else " "
            bit = 1 << (31 - x)
            if ch == " ":
                and_bits |= bit
            elif ch == "o":
                xor_bits |= bit
        xor_rows.append(struct.pack(">I", xor_bits))
        and_rows.append(struct.pack(">I", and_bits))
    image = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    image += bytes((0, 0, 0, 0, 255, 255, 255, 0))
    image += b"".join(reversed(xor_rows)) + b"".join(reversed(and_rows))
    head = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, hotspot[0], hotspot[1], len(image), 6 + 16)
    Path(path).write_bytes(head + entry + image)


def _ico_image(pixels, key):
    """One 24-bit icon image: colour rows and an AND mask where the key shows."""
    h = len(pixels)
    w = len(pixels[0])
    colour = bytearray()
    mask = bytearray()
    mask_row = ((w + 31) // 32) * 4
    for row in reversed(pixels):
        line = bytearray()
        bits = bytearray(mask_row)
        for x, c in enumerate(row):
            if c == key:
                bits[x // 8] |= 0x80 >> (x % 8)
                c = (0, 0, 0)
            r, g, b = c
            line += bytes((b, g, r))
        line += b"\0" * (((w * 3 + 3) & ~3) - len(line))
        colour += line
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 24, 0, len(colour) + len(mask), 0, 0, 0, 0)
    return info + colour + mask


def write_ico(path, images, key):
    """An icon file holding several square images (rows of (r, g, b)); pixels
    of colour `key` are transparent."""
    blobs = [_ico_image(p, key) for p in images]
    head = struct.pack("<HHH", 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    entries = b""
    for p, blob in zip(images, blobs):
        size = len(p)
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 24, len(blob), offset)
        offset += len(blob)
    Path(path).write_bytes(head + entries + b"".join(blobs))


def write_png(path, pixels, scale=1):
    """An RGB PNG (for looking at a picture), optionally enlarged."""
    rows = []
    for row in pixels:
        line = bytearray(b"\0")
        for c in row:
            line += bytes(c) * scale
        rows.extend([bytes(line)] * scale)
    h = len(rows)
    w = len(pixels[0]) * scale

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
    Path(path).write_bytes(png)
