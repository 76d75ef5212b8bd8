"""Writes the icons of the icon fixture library and its resource script into a folder:

    make_icon_fixture.py <folder>

three.ico holds three images (16x16 at 32 bits, 32x32 at 4 bits whose directory entry
names no bit count, 48x48 at 8 bits), two.ico two (24x24 and 64x64 at 32 bits); the
resource script makes them the icon groups 1 and 2 (RT_ICON ids 1-3 and 4-5).
"""
import os
import struct
import sys

THREE = [(16, 32, False), (32, 4, True), (48, 8, False)]   # size, bits, entry without bit count
TWO = [(24, 32, False), (64, 32, False)]


def image(size, bits, shade):
    """A DIB icon image: header, palette, colour rows, mask rows; `shade` varies the pixels."""
    colours = 1 << bits if bits <= 8 else 0
    stride = ((size * bits + 31) // 32) * 4
    mask_stride = ((size + 31) // 32) * 4
    palette = b"".join(bytes(((i * 37 + shade) & 255, (i * 11) & 255, (i * 5 + shade) & 255, 0))
                       for i in range(colours))
    rows = bytes(((x * 7 + y * 3 + shade) & 255) for y in range(size) for x in range(stride))
    mask = bytes(mask_stride * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, len(rows) + len(mask), 0, 0,
                         colours, 0)
    return header + palette + rows + mask


def ico(images):
    """An .ico file of (width, height, colours, bits-in-entry, data) images."""
    head = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, blobs = b"", b""
    for width, height, colours, bits, data in images:
        entries += struct.pack("<BBBBHHII", width & 255, height & 255, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
        blobs += data
    return head + entries + blobs


def fixture_ico(spec, shade=0):
    return ico([(size, size, (1 << bits) & 255 if bits <= 8 else 0, 0 if bare else bits,
                 image(size, bits, shade)) for size, bits, bare in spec])


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "three.ico"), "wb") as f:
        f.write(fixture_ico(THREE))
    with open(os.path.join(folder, "two.ico"), "wb") as f:
        f.write(fixture_ico(TWO, shade=99))
    with open(os.path.join(folder, "icon_fixture.rc"), "w") as f:
        f.write('1 ICON "three.ico"\n2 ICON "two.ico"\n')


if __name__ == "__main__":
    main()
