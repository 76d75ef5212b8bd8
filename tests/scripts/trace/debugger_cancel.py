"""Cancels the first statement in the debugger; the script must end without output."""
from kvdebug import NEXT, dialog, none_left, press


def during(t):
    w = dialog(t)
    assert t.probe.text(hwnd=w.hwnd, id=NEXT) == 'hostprint("not reached")'
    press(t, w, "Cancel")
    t.process.wait(20)
    assert none_left(t)
