"""Ctrl+S chooses the Save item; a right click on the edit box shows its context menu,
whose entry is chosen; after the item loses its shortcut Ctrl+S does nothing."""
import time

EDIT = 106   # the edit box follows the bar and the five items in tab order


def during(t):
    w = t.window(title_exact="Menus", cls="kv0wcdl3")
    t.probe.keys("{CTRL+S}", hwnd=w.hwnd)
    time.sleep(0.3)
    t.probe.rclick(hwnd=w.hwnd, id=EDIT)
    t.probe.wait(cls="#32768", pid=t.pid())
    t.probe.keys("{DOWN}{ENTER}", hwnd=w.hwnd)
    t.probe.gone(cls="#32768", pid=t.pid())
    t.probe.click(hwnd=w.hwnd, button="Show")
    t.probe.click(hwnd=w.hwnd, button="Rename")
    t.probe.keys("{CTRL+S}", hwnd=w.hwnd)
    time.sleep(0.3)
    t.probe.click(hwnd=w.hwnd, button="OK")
    t.probe.gone(hwnd=w.hwnd)
