"""Real mouse clicks on the report view's rows (left; right on the selected row; right on
another row), picks in the context menu, and a right click and a menu bar choice while
the timer's call keeps the procedure busy."""
import time

LIST = "SysListView32"


def menu_shown(t):
    t.probe.wait(cls="#32768", pid=t.pid())


def pick(t, w, keys):
    menu_shown(t)
    t.probe.keys(keys, hwnd=w.hwnd)
    t.probe.gone(cls="#32768", pid=t.pid())


def during(t):
    w = t.window(title_exact="Row menu", cls="kv0wcdl3")
    t.probe.lclick(hwnd=w.hwnd, control_class=LIST, pos=0)
    t.probe.wait(hwnd=w.hwnd, title_exact="Handled a")
    t.probe.rclick(hwnd=w.hwnd, control_class=LIST, pos=0)
    pick(t, w, "{DOWN}{ENTER}")                            # Open

    t.probe.rclick(hwnd=w.hwnd, control_class=LIST, pos=1)
    menu_shown(t)
    assert t.probe.text(hwnd=w.hwnd) == "Handled b", "the menu opens after the selection's call"
    pick(t, w, "{DOWN}{DOWN}{ENTER}")                      # Drop

    t.probe.click(hwnd=w.hwnd, button="Wait")
    t.probe.wait(hwnd=w.hwnd, title_exact="Busy")
    t.probe.rclick(hwnd=w.hwnd, control_class=LIST, pos=2)
    t.probe.keys("{ALT+V}", hwnd=w.hwnd)                   # the View menu opens inside the call
    pick(t, w, "{ENTER}")                                   # Refresh
    time.sleep(0.3)
    assert not t.probe.list(cls="#32768", pid=t.pid()), "no context menu while the call runs"
    t.probe.settext("Go on", hwnd=w.hwnd)
    pick(t, w, "{DOWN}{ENTER}")                            # Open

    t.probe.click(hwnd=w.hwnd, button="OK")
    t.probe.gone(hwnd=w.hwnd)
