"""Reads where the two boxes opened; the centred one tells the screen's size."""

seen = {}


def rect(line):
    return [int(v) for v in line["rect"].split(",")]


def during(t):
    for title in ("Placed", "Centred"):
        w = t.window(title_exact=title, cls="#32770")
        seen[title] = rect(w)
        t.probe.click(hwnd=w.hwnd, button="OK")
        t.probe.gone(hwnd=w.hwnd)


def check(t):
    left, top, right, bottom = seen["Centred"]
    width, height = left + right, top + bottom          # centred: the screen's size
    assert right - left < width * 0.5, "the second box keeps its own size"

    def part(value, size):
        return (value * size + 500) // 1000
    want = [part(200, width), part(200, height), part(800, width), part(800, height)]
    got = seen["Placed"]
    assert all(abs(g - w) <= 1 for g, w in zip(got, want)), (got, want, width, height)
