"""Drives the classic dialogs: reads the standard buttons, checks both boxes, picks a radio
button and an item, ends with OK; then Escape, the Cancel button, the Value-5 button; counts
the controls of the large dialog."""
CLASS = "kv0wcdl2"


def dialog(t, caption):
    return t.window(title_exact=caption, cls=CLASS)


def controls(t, w):
    return [c for c in t.probe.dump(hwnd=w.hwnd)[1] if c["parent"] == "0x%08X" % w.hwnd]


def during(t):
    w = dialog(t, "Classic")
    by_id = {int(c["id"]): c for c in controls(t, w)}
    assert by_id[1]["text"] == "&Ok" and by_id[2]["text"] == "&Cancel", (by_id[1], by_id[2])
    assert by_id[107]["text"] == "shown", by_id[107]
    t.probe.settext("Bob", hwnd=w.hwnd, id=101)
    t.probe.click(hwnd=w.hwnd, id=103)
    t.probe.click(hwnd=w.hwnd, id=104)
    t.probe.click(hwnd=w.hwnd, id=105)
    t.probe.select(item="fig", hwnd=w.hwnd, id=106)
    t.probe.click(hwnd=w.hwnd, id=1)
    t.probe.gone(hwnd=w.hwnd)

    w = dialog(t, "Escape")
    t.probe.keys("{ESC}", hwnd=w.hwnd)
    t.probe.gone(hwnd=w.hwnd)
    w = dialog(t, "Cancel")
    t.probe.click(hwnd=w.hwnd, id=2)
    t.probe.gone(hwnd=w.hwnd)
    w = dialog(t, "Five")
    t.probe.click(hwnd=w.hwnd, button="Five")
    t.probe.gone(hwnd=w.hwnd)

    w = dialog(t, "Many")
    assert len(controls(t, w)) == 101, len(controls(t, w))
    t.probe.click(hwnd=w.hwnd, id=1)
    t.probe.gone(hwnd=w.hwnd)

    w = dialog(t, "Low byte")
    t.probe.click(hwnd=w.hwnd, id=100)
    t.probe.click(hwnd=w.hwnd, id=1)
    t.probe.gone(hwnd=w.hwnd)
