#!/usr/bin/env python3
"""Draws the About box's icon (a blue disc with a white scroll mark) as a 32x32 .ico file.

Usage: make_about_icon.py OUTPUT.ico
"""
import struct
import sys

SIZE = 32


def pixel(x, y):
    cx = cy = (SIZE - 1) / 2
    d2 = (x - cx) ** 2 + (y - cy) ** 2
    if d2 > 15.2 ** 2:
        return (0, 0, 0, 0)
    if d2 > 14.0 ** 2:
        return (0x70, 0x30, 0x10, 0xFF)          # dark blue rim (BGRA)
    if 9 <= x <= 22 and y in (9, 10, 15, 16, 21, 22):
        return (0xFF, 0xFF, 0xFF, 0xFF)          # three white lines of text
    return (0xD0, 0x80, 0x30, 0xFF)              # blue face


def main(argv):
    if len(argv) != 1:
        sys.exit(__doc__)
    rows = []
    for y in range(SIZE - 1, -1, -1):            # bottom-up rows
        rows.append(b"".join(bytes(pixel(x, y)) for x in range(SIZE)))
    xor = b"".join(rows)
    mask_row = ((SIZE + 31) // 32) * 4
    and_mask = bytes(mask_row * SIZE)             # alpha carries the shape
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(xor) + len(and_mask),
                         0, 0, 0, 0)
    image = header + xor + and_mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    with open(argv[0], "wb") as f:
        f.write(directory + entry + image)


if __name__ == "__main__":
    main(sys.argv[1:])
