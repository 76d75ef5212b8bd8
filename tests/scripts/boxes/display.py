"""Watches Display's boxes: one runs out, a key closes the next, the hidden one never shows."""
import time


def during(t):
    w = t.window(title_exact="Two seconds", cls="#32770")
    assert w["visible"] == "1"
    t.probe.gone(hwnd=w.hwnd, timeout=5000)

    w = t.window(title_exact="Key closes", cls="#32770")
    t.probe.keys("k", hwnd=w.hwnd)
    t.probe.gone(hwnd=w.hwnd, timeout=3000)

    w = t.window(title_exact="Hidden", cls="#32770", hidden=True)
    deadline = time.time() + 2
    while time.time() < deadline:
        assert not t.probe.list(pid=t.pid(), title_exact="Hidden"), "the hidden Display showed itself"
        time.sleep(0.05)
    t.probe.gone(hwnd=w.hwnd, hidden=True, timeout=5000)
