#!/usr/bin/env python3
"""Draws the error box's stop icon (a red octagon with a white bar) as a 32x32 .ico file.

Usage: make_stop_icon.py OUTPUT.ico
"""
import struct
import sys

SIZE = 32


def pixel(x, y):
    cx = cy = (SIZE - 1) / 2
    dx, dy = abs(x - cx), abs(y - cy)
    inside = dx <= 14.5 and dy <= 14.5 and dx + dy <= 20.5
    if not inside:
        return (0, 0, 0, 0)
    edge = dx > 13.5 or dy > 13.5 or dx + dy > 19.5
    if edge:
        return (0x20, 0x20, 0x90, 0xFF)          # dark red rim (BGRA)
    if 6 <= x <= 25 and 13 <= y <= 18:
        return (0xFF, 0xFF, 0xFF, 0xFF)          # the white bar
    return (0x30, 0x30, 0xE0, 0xFF)              # red face


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
