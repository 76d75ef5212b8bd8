"""Resizes the dialog by one and by ten dialog units, sees the moved controls, reads the
blue button's caption and a background pixel from the screen."""
import time

from kvtest import screen_pixel

A, B, BLUE, OK, PIC, PB = 100, 101, 102, 103, 104, 105


def setup(t):
    """A 16 x 16 bitmap of 256 colours, every pixel colour 1: pure blue."""
    palette = b"\0\0\0\0" + b"\xff\0\0\0" + b"\0\0\0\0" * 254      # BGRA entries
    pixels = b"\x01" * (16 * 16)
    header = (b"BM" + (14 + 40 + len(palette) + len(pixels)).to_bytes(4, "little") + b"\0\0\0\0"
              + (14 + 40 + len(palette)).to_bytes(4, "little"))
    info = (b"\x28\0\0\0" + (16).to_bytes(4, "little") + (16).to_bytes(4, "little") + b"\x01\0\x08\0"
            + b"\0" * 4 + len(pixels).to_bytes(4, "little") + b"\0" * 8 + (256).to_bytes(4, "little") + b"\0" * 4)
    t.write("blue.bmp", header + info + palette + pixels)


def controls(t, hwnd):
    _, found, _ = t.probe.dump(hwnd=hwnd)
    return {int(c["id"]): c for c in found if c["parent"] == "0x%08X" % hwnd}


def rect(line):
    return [int(v) for v in line["rect"].split(",")]


def during(t):
    w = t.window(title_exact="Sizer", cls="kv0wcdl3")
    m = t.probe.metrics()
    by_id = controls(t, w.hwnd)
    assert by_id[BLUE]["text"] == "Blue", by_id[BLUE]
    left, top, right, bottom = rect(w)
    time.sleep(0.3)
    shot = screen_pixel(right - 20, bottom - 12)
    assert "#FF0000" in shot.upper(), shot
    pic, pb = rect(by_id[PIC]), rect(by_id[PB])
    cx, cy = [int(v) for v in w["client"].split(",")[:2]]
    assert "#0000FF" in screen_pixel(cx + (pic[0] + pic[2]) // 2, cy + (pic[1] + pic[3]) // 2).upper()
    assert "#FFFF00" in screen_pixel(cx + (pb[0] + pb[2]) // 2, cy + (pb[1] + pb[3]) // 2).upper()
    width, height = right - left, bottom - top
    t.probe.size(width + m["basex"] // 4, height, hwnd=w.hwnd)        # one unit: no event
    time.sleep(0.3)
    t.probe.size(width + 10 * m["basex"] // 4, height, hwnd=w.hwnd)   # ten units
    time.sleep(0.5)
    by_id = controls(t, w.hwnd)
    a, b = rect(by_id[A]), rect(by_id[B])
    assert abs(a[0] - 5 * m["basex"] // 4) <= 1 and abs(a[1] - 30 * m["basey"] // 8) <= 1, (a, m)
    assert abs(b[0] - 60 * m["basex"] // 4) <= 1 and abs(b[2] - b[0] - 30 * m["basex"] // 4) <= 1, (b, m)
    t.probe.click(hwnd=w.hwnd, button="OK")
    t.probe.gone(hwnd=w.hwnd)
