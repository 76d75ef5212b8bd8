"""Sees the picture show the blue bitmap its procedure set at @deinit, then presses OK."""
import time

from kvtest import screen_pixel

PIC = 103


def setup(t):
    """A 16 x 16 bitmap of 24-bit pixels, all pure blue."""
    pixels = b"\xff\0\0" * (16 * 16)                       # BGR, rows of 48 bytes (no padding)
    header = b"BM" + (54 + len(pixels)).to_bytes(4, "little") + b"\0\0\0\0" + (54).to_bytes(4, "little")
    info = (b"\x28\0\0\0" + (16).to_bytes(4, "little") + (16).to_bytes(4, "little") + b"\x01\0\x18\0"
            + b"\0" * 4 + len(pixels).to_bytes(4, "little") + b"\0" * 16)
    t.write("blue.bmp", header + info + pixels)


def during(t):
    w = t.window(title_exact="First state", cls="kv0wcdl3")
    _, found, _ = t.probe.dump(hwnd=w.hwnd)
    pic = [c for c in found if c["parent"] == "0x%08X" % w.hwnd and int(c["id"]) == PIC][0]
    left, top, right, bottom = [int(v) for v in pic["rect"].split(",")]
    cx, cy = [int(v) for v in w["client"].split(",")[:2]]
    time.sleep(0.3)
    shot = screen_pixel(cx + (left + right) // 2, cy + (top + bottom) // 2)
    assert "#0000FF" in shot.upper(), shot
    t.probe.click(hwnd=w.hwnd, button="OK")
    t.probe.gone(hwnd=w.hwnd)
