"""Sees a control moved by @dcposition keep its size, the blue OK button keep its caption,
and an edit box hidden and disabled by @dcsaddstyle, then shown again by @dcsremstyle."""
EDIT, MOVED, OK = 101, 116, 119


def controls(t, hwnd):
    _, found, _ = t.probe.dump(hwnd=hwnd)
    return {int(c["id"]): c for c in found if c["parent"] == "0x%08X" % hwnd}


def rect(c):
    return [int(v) for v in c["rect"].split(",")]


def during(t):
    w = t.window(title_exact="Requests", cls="kv0wcdl3")
    m = t.probe.metrics()
    by_id = controls(t, w.hwnd)
    left, top, right, bottom = rect(by_id[MOVED])
    assert abs(left - 10 * m["basex"] // 4) <= 1 and abs(top - 20 * m["basey"] // 8) <= 1, (left, top, m)
    assert abs(right - left - 60 * m["basex"] // 4) <= 1 and abs(bottom - top - 12 * m["basey"] // 8) <= 1
    assert by_id[OK]["text"] == "OK", by_id[OK]
    t.probe.click(hwnd=w.hwnd, button="Focus")
    t.probe.wait(hwnd=w.hwnd)
    edit = controls(t, w.hwnd)[EDIT]
    assert (edit["visible"], edit["enabled"]) == ("0", "0"), edit
    t.probe.click(hwnd=w.hwnd, button="Show")
    edit = controls(t, w.hwnd)[EDIT]
    assert (edit["visible"], edit["enabled"]) == ("1", "1"), edit
    t.probe.click(hwnd=w.hwnd, button="OK")
    t.probe.gone(hwnd=w.hwnd)

    w = t.window(title_exact="Numbers", cls="kv0wcdl3")
    t.probe.click(hwnd=w.hwnd, button="Go")
    t.probe.gone(hwnd=w.hwnd)
