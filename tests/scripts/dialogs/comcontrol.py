"""The COM control's dialogs end by themselves; the companion makes the picture they load
(a 100 x 50 bitmap) and answers the message box that shows that boxes still run after
them."""
import struct


def setup(t):
    width, height = 100, 50
    row = (width * 3 + 3) & ~3
    pixels = b"\x80" * (row * height)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    t.write("pic.bmp", header + info + pixels)


def during(t):
    box = t.window(title_exact="Still", cls="#32770")
    t.probe.click(hwnd=box.hwnd, button="OK")
