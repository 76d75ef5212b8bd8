"""Presses OK in both date dialogs (their controls are read by the script)."""


def during(t):
    for caption in ("Dates", "Short years"):
        w = t.window(title_exact=caption, cls="kv0wcdl3")
        t.probe.click(hwnd=w.hwnd, button="OK")
        t.probe.gone(hwnd=w.hwnd)
