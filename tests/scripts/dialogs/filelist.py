"""Reads the file list, types a folder and mask, chooses a file."""

FOLDER, NAME, LIST = 100, 101, 102


def dialog(t, caption):
    w = t.window(title_exact=caption, cls="kv0wcdl3")
    return w, t.probe.items(hwnd=w.hwnd, id=LIST)


def during(t):
    w, items = dialog(t, "Files")
    assert "a.txt" in items and "b.log" not in items and "h.txt" not in items, items
    assert "[sub]" in items and "[..]" in items and "[-c-]" in items, items
    assert t.probe.text(hwnd=w.hwnd, id=FOLDER).lower() == t.work_win.lower(), t.probe.text(hwnd=w.hwnd, id=FOLDER)
    t.probe.settext("sub\\*.txt", hwnd=w.hwnd, id=NAME)
    t.probe.click(hwnd=w.hwnd, button="OK")
    assert t.probe.list(hwnd=w.hwnd, timeout=300), "a new mask keeps the dialog"
    assert t.probe.text(hwnd=w.hwnd, id=NAME) == "*.txt"
    items = t.probe.items(hwnd=w.hwnd, id=LIST)
    assert "c.txt" in items and "a.txt" not in items, items
    t.probe.select(hwnd=w.hwnd, id=LIST, item="c.txt")
    assert t.probe.text(hwnd=w.hwnd, id=NAME) == "c.txt"
    t.probe.click(hwnd=w.hwnd, button="OK")
    t.probe.gone(hwnd=w.hwnd)

    w, items = dialog(t, "Hidden too")
    assert "h.txt" in items, items
    t.probe.click(hwnd=w.hwnd, button="OK")
    assert t.probe.list(hwnd=w.hwnd, timeout=300), "OK without a choice keeps the dialog"
    t.probe.select(hwnd=w.hwnd, id=LIST, item="h.txt")
    t.probe.click(hwnd=w.hwnd, button="OK")
    t.probe.gone(hwnd=w.hwnd)

    w, items = dialog(t, "No choice")
    t.probe.click(hwnd=w.hwnd, button="OK")
    t.probe.gone(hwnd=w.hwnd)
