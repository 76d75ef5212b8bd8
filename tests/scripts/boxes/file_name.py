"""Chooses files in AskFileName's classic and shell dialogs by typing their names."""
import os

CLASSIC_NAME = 1148    # the edit inside the classic dialog's name combo box
SHELL_NAME = 1152


def setup(t):
    os.makedirs(t.path("sub"), exist_ok=True)


def choose(t, title, name_id, text, button):
    w = t.window(title_exact=title, cls="#32770")
    t.probe.settext(text, hwnd=w.hwnd, id=name_id, control_class="Edit")
    t.probe.click(hwnd=w.hwnd, button=button)
    t.probe.gone(hwnd=w.hwnd)


def during(t):
    choose(t, "Save typed", CLASSIC_NAME, "typed.txt", "Save")
    choose(t, "Open four", CLASSIC_NAME, "a.txt", "Open")
    choose(t, "Open two", CLASSIC_NAME, '"a.txt" "b.txt"', "Open")
    choose(t, "Shell save", SHELL_NAME, "typed2.txt", "Save")
    choose(t, "Shell two", SHELL_NAME, '"a.txt" "b.txt"', "Open")
    for kind in ("0", "1", "2", "3", "100", "101", "102", "103"):
        w = t.window(title_exact="Cancel " + kind, cls="#32770")
        t.probe.click(hwnd=w.hwnd, button="Cancel")
        t.probe.gone(hwnd=w.hwnd)
