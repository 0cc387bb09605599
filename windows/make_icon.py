#!/usr/bin/env python3
"""Draws Arcpeek's icon and writes it as a Windows .ico file: a closed
archive box with a zipper, and a magnifying glass over it that reads the
names inside. Every size is drawn from the same shapes, with 4 x 4 samples a
pixel for smooth edges; 16 to 48 pixels as 32-bit bitmaps, 256 as PNG, as
Windows Vista and later read them. Python's standard library only.

    make_icon.py OUTPUT.ico [PREVIEW.png]
"""
import math
import struct
import sys
import zlib

SIZES = [16, 24, 32, 48, 256]
SAMPLES = 4

BOX = (0.93, 0.64, 0.22)
BOX_EDGE = (0.55, 0.34, 0.08)
ZIPPER = (0.35, 0.35, 0.38)
ZIPPER_LIGHT = (0.85, 0.85, 0.88)
GLASS = (0.86, 0.94, 1.0)
RIM = (0.12, 0.30, 0.52)
TEXT = (0.12, 0.30, 0.52)


def rounded_box(x, y, left, top, right, bottom, radius):
    """Signed distance to a rounded rectangle: negative inside."""
    cx, cy = (left + right) / 2, (top + bottom) / 2
    hx, hy = (right - left) / 2 - radius, (bottom - top) / 2 - radius
    dx, dy = abs(x - cx) - hx, abs(y - cy) - hy
    outside = math.hypot(max(dx, 0), max(dy, 0))
    return outside + min(max(dx, dy), 0) - radius


def segment(x, y, ax, ay, bx, by):
    """Distance to the segment from (ax, ay) to (bx, by)."""
    vx, vy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * vx + (y - ay) * vy) / (vx * vx + vy * vy)))
    return math.hypot(x - ax - t * vx, y - ay - t * vy)


def sample(x, y):
    """The colour and coverage (0 or 1) at a point of the unit square."""
    # The magnifying glass lies on top: rim, handle, then the lens.
    lens = math.hypot(x - 0.63, y - 0.55)
    if abs(lens - 0.22) < 0.045 or segment(x, y, 0.79, 0.71, 0.93, 0.88) < 0.055:
        return RIM, 1
    if lens < 0.22:
        for row in (0.47, 0.56, 0.65):
            if abs(y - row) < 0.022 and abs(x - 0.62) < (0.12 if row != 0.65 else 0.07):
                return TEXT, 1
        return GLASS, 1
    box = rounded_box(x, y, 0.07, 0.14, 0.80, 0.90, 0.09)
    if box < 0:
        if abs(x - 0.36) < 0.05 and y < 0.62:
            tooth = int((y - 0.14) / 0.06) % 2 == 0
            return (ZIPPER if tooth else ZIPPER_LIGHT), 1
        if abs(x - 0.36) < 0.07 and 0.62 <= y < 0.72:
            return ZIPPER, 1
        return (BOX_EDGE if box > -0.035 else BOX), 1
    return (0, 0, 0), 0


def render(size):
    """Rows of (r, g, b, a) bytes, top row first."""
    rows = []
    step = 1.0 / (size * SAMPLES)
    for py in range(size):
        row = bytearray()
        for px in range(size):
            r = g = b = a = 0.0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    colour, covered = sample((px * SAMPLES + sx + 0.5) * step,
                                             (py * SAMPLES + sy + 0.5) * step)
                    if covered:
                        r, g, b, a = r + colour[0], g + colour[1], b + colour[2], a + 1
            if a:
                row += bytes((round(255 * r / a), round(255 * g / a), round(255 * b / a),
                              round(255 * a / SAMPLES ** 2)))
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return rows


def png(size, rows):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    raw = b"".join(b"\0" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def bitmap(size, rows):
    """A 32-bit icon bitmap: its header counts the colour and mask rows."""
    mask_row = ((size + 31) // 32) * 4
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         size * size * 4 + mask_row * size, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for i in range(0, len(row), 4):
            pixels += bytes((row[i + 2], row[i + 1], row[i], row[i + 3]))
    return header + bytes(pixels) + bytes(mask_row * size)


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    images = []
    for size in SIZES:
        rows = render(size)
        images.append(png(size, rows) if size == 256 else bitmap(size, rows))
        if size == 256 and len(sys.argv) == 3:
            with open(sys.argv[2], "wb") as f:
                f.write(images[-1])
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    for size, image in zip(SIZES, images):
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(sys.argv[1], "wb") as f:
        f.write(directory + b"".join(images))


if __name__ == "__main__":
    main()
