"""The single-step debugger's DEBUG dialog as the script tests drive it: its field ids,
finding it and pressing its buttons."""
LAST, OUTCOME, ERROR, NEXT, VARIABLE = 10, 11, 12, 13, 14


def dialog(t):
    """The DEBUG dialog showing now (waits for it)."""
    return t.window(title_exact="DEBUG", cls="#32770")


def press(t, w, button):
    """Presses a button of the dialog and waits until the dialog is gone."""
    t.probe.click(hwnd=w.hwnd, button=button)
    t.probe.gone(hwnd=w.hwnd)


def none_left(t):
    """Whether no DEBUG dialog is left."""
    return not t.probe.list(title_exact="DEBUG", cls="#32770", timeout=0, check=False)
