"""Answers the colour, font and folder dialogs with OK, then with Cancel."""


def answer(t, title, button):
    w = t.window(title_exact=title, cls="#32770")
    t.probe.click(hwnd=w.hwnd, button=button)
    t.probe.gone(hwnd=w.hwnd)
    return w


def during(t):
    for _ in range(4):
        answer(t, "Color", "OK")
    answer(t, "Font", "OK")
    w = t.window(title_exact="Browse for Folder", cls="#32770")
    assert "Pick one" in t.probe.texts(hwnd=w.hwnd)
    t.probe.click(hwnd=w.hwnd, button="OK")
    t.probe.gone(hwnd=w.hwnd)
    w = t.window(title_exact="Browse for Folder", cls="#32770")
    assert "Typed" in t.probe.texts(hwnd=w.hwnd)
    t.probe.click(hwnd=w.hwnd, button="OK")
    t.probe.gone(hwnd=w.hwnd)
    answer(t, "Color", "Cancel")
    answer(t, "Font", "Cancel")
    answer(t, "Browse for Folder", "Cancel")
