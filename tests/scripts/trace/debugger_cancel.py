"""Cancels the first statement in the debugger; the script must end without output."""


def during(t):
    w = t.window(title_exact="DEBUG", cls="#32770")
    assert t.probe.text(hwnd=w.hwnd, id=13) == 'hostprint("not reached")'
    t.probe.click(hwnd=w.hwnd, button="Cancel")
    t.probe.gone(hwnd=w.hwnd)
    t.process.wait(20)
    assert not t.probe.list(title_exact="DEBUG", cls="#32770", timeout=0, check=False)
