#!/usr/bin/env python3
"""Writes the server's icon: one 32x32 32-bit image, a rounded badge in the
product's blue with a light check mark. Usage: make_icon.py <output.ico>"""
import struct
import sys

SIZE = 32


def pixel(x, y):
    """BGRA colour of one pixel (y counts from the top)."""
    cx = cy = (SIZE - 1) / 2
    if (x - cx) ** 2 + (y - cy) ** 2 > (SIZE / 2 - 1) ** 2:
        return (0, 0, 0, 0)
    # A check mark: two strokes, thickness about 3 pixels.
    def near(ax, ay, bx, by):
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
        return (x - ax - t * dx) ** 2 + (y - ay - t * dy) ** 2 <= 2.5
    if near(9, 16, 14, 22) or near(14, 22, 23, 10):
        return (240, 240, 240, 255)
    return (200, 110, 30, 255)


def main():
    rows = []
    for y in reversed(range(SIZE)):  # bitmaps are stored bottom-up
        rows.append(b"".join(bytes(pixel(x, y)) for x in range(SIZE)))
    xor_bits = b"".join(rows)
    and_mask = bytes(4 * SIZE)  # 32 bits per row, all opaque (alpha decides)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0,
                         len(xor_bits) + len(and_mask), 0, 0, 0, 0)
    image = header + xor_bits + and_mask
    icon_dir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    with open(sys.argv[1], "wb") as out:
        out.write(icon_dir + entry + image)


if __name__ == "__main__":
    main()
