"""Sees the caption and title-bar buttons the procedure set, lets the timer run a second,
stops it and waits for late events."""
import time

WS_SYSMENU = 0x00080000
WS_THICKFRAME = 0x00040000


def during(t):
    w = t.window(title_exact="New", cls="kv0wcdl3")
    assert int(w["style"], 16) & WS_SYSMENU, w["style"]
    time.sleep(1.0)
    t.probe.click(hwnd=w.hwnd, button="Stop")
    t.probe.wait(hwnd=w.hwnd, title_exact="Stopped")
    time.sleep(0.6)
    t.probe.click(hwnd=w.hwnd, button="Done")
    t.probe.gone(hwnd=w.hwnd)

    w = t.window(title_exact="Sizable", cls="kv0wcdl3")
    assert int(w["style"], 16) & WS_THICKFRAME, w["style"]
    t.probe.click(hwnd=w.hwnd, button="OK")
    t.probe.gone(hwnd=w.hwnd)
