"""Writes a square 32-bit .ico file of one image from a function that gives each pixel.

The icon scripts beside this file draw their shape in pixel(x, y) -> (B, G, R, A) and hand
it to icon_main, which takes the output file from the command line. The alpha channel
carries the shape, so the AND mask stays empty.
"""
import struct
import sys

SIZE = 32


def write_icon(path, pixel, size=SIZE):
    rows = []
    for y in range(size - 1, -1, -1):            # bottom-up rows
        rows.append(b"".join(bytes(pixel(x, y)) for x in range(size)))
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    and_mask = bytes(mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask),
                         0, 0, 0, 0)
    image = header + xor + and_mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(directory + entry + image)


def icon_main(usage, pixel):
    if len(sys.argv) != 2:
        sys.exit(usage)
    write_icon(sys.argv[1], pixel)
