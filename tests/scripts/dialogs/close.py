"""Closes each dialog with Alt+F4 after typing into it."""

WS_CLIPSIBLINGS = 0x04000000   # the system adds it to every top-level window


def close(t, caption, text):
    w = t.window(title_exact=caption, cls="kv0wcdl3")
    t.probe.settext(text, hwnd=w.hwnd, id=100)
    t.probe.keys("{ALT+F4}", hwnd=w.hwnd, id=100)
    return w


def during(t):
    w = close(t, "Close one", "one")
    t.probe.gone(hwnd=w.hwnd)

    w = t.window(title_exact="Close seven", cls="kv0wcdl3")
    assert int(w["style"], 16) & ~WS_CLIPSIBLINGS == 0x90CB0084, w["style"]
    close(t, "Close seven", "seven")
    t.probe.gone(hwnd=w.hwnd)

    w = close(t, "Close cancels", "lost")
    t.probe.gone(hwnd=w.hwnd)

    w = close(t, "Close refused", "kept")
    assert t.probe.list(hwnd=w.hwnd, timeout=500), "the procedure keeps the dialog"
    t.probe.click(hwnd=w.hwnd, button="OK")
    t.probe.gone(hwnd=w.hwnd)
