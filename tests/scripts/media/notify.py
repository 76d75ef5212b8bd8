"""Answers the two "PlayMedia Error" boxes with OK: the first has OK and Cancel (@NOTIFY),
the second OK alone."""


def during(t):
    for buttons in (["OK", "Cancel"], ["OK"]):
        box = t.window(title_exact="PlayMedia Error", cls="#32770")
        _, controls, _ = t.probe.dump(hwnd=box.hwnd)
        assert [c.get("text") for c in controls if c.get("class") == "Button"] == buttons
        assert any(c.get("text") for c in controls if c.get("class") == "Static"), "no error text"
        t.probe.click(hwnd=box.hwnd, button="OK")
        t.probe.gone(hwnd=box.hwnd)
