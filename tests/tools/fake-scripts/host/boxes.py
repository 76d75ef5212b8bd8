"""Answers the stand-in engine's boxes as a person would: Cancel on the question, OK on
the error box; then checks the file the script wrote."""


def during(t):
    box = t.window(title_exact="Fake Question", cls="#32770")
    assert "Fake box" in t.probe.texts(hwnd=box.hwnd)
    t.probe.click(hwnd=box.hwnd, button="Cancel")
    error = t.window(title_exact="Fake Error")
    t.probe.click(hwnd=error.hwnd, button="OK")


def check(t):
    assert t.read("result.txt") == b"done"
    assert t.output[-1] == "after the error"
