"""Writes the files, then reads each box's items and chooses."""

LIST = 101


def setup(t):
    t.write("lines.txt", b"one\r\n\r\nthree\nfour")
    t.write("wide.txt", "\ufeffcaf\u00e9\r\nprice \u20ac5\r\n".encode("utf-16-le"))


def answer(t, title, expected, *positions):
    w = t.window(title_exact=title, cls="#32770")
    items = t.probe.items(hwnd=w.hwnd, id=LIST)
    assert items == expected, (title, items)
    for p in positions:
        t.probe.select(hwnd=w.hwnd, id=LIST, pos=p)
    t.probe.click(hwnd=w.hwnd, button="OK")
    t.probe.gone(hwnd=w.hwnd)


def during(t):
    answer(t, "Lines", ["one", "", "three", "four"], 2)
    answer(t, "Sorted lines", ["", "four", "one", "three"], 1)
    answer(t, "Missing", ["Error opening/finding file:", ""], 0)
    answer(t, "Wide", ["caf\u00e9", "price \u20ac5"], 0, 1)
    answer(t, "Item select", ["a", "b", "c"], 0)
    answer(t, "Text select", ["c", "b", "a"], 0)
