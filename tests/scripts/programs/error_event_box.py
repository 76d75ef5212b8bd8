"""Answers the two error boxes of ErrorEvent: Continue, then Exit."""


def answer(t, text, button):
    box = t.window(cls="#32770", timeout=20000)
    texts = t.probe.texts(hwnd=box.hwnd)
    assert text in texts, texts
    t.probe.click(hwnd=box.hwnd, button=button)
    t.probe.gone(hwnd=box.hwnd)


def during(t):
    answer(t, "User-Defined Error:  7002: m", "Continue")
    answer(t, "User-Defined Error:  7003: second", "Exit")
