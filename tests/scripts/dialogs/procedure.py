"""Clicks through the procedure's dialogs: each answer of the procedure, a check box it
cancels, a click while it waits, and a dialog it opens."""


def dialog(t, caption):
    return t.window(title_exact=caption, cls="kv0wcdl3")


def enabled(t, w):
    return t.probe.wait(hwnd=w.hwnd)["enabled"] == "1"


def during(t):
    w = dialog(t, "Push answers")
    t.probe.settext("changed", hwnd=w.hwnd, id=100)
    t.probe.click(hwnd=w.hwnd, button="Stay")
    assert t.probe.list(hwnd=w.hwnd, timeout=300), "@retnoexit keeps the dialog"
    t.probe.click(hwnd=w.hwnd, button="Default")
    t.probe.gone(hwnd=w.hwnd)

    w = dialog(t, "Five")
    t.probe.settext("five", hwnd=w.hwnd, id=100)
    t.probe.click(hwnd=w.hwnd, button="Five")
    t.probe.gone(hwnd=w.hwnd)

    w = dialog(t, "Zero")
    t.probe.settext("lost", hwnd=w.hwnd, id=100)
    t.probe.click(hwnd=w.hwnd, button="Zero")
    t.probe.gone(hwnd=w.hwnd)

    w = dialog(t, "Check cancel")
    t.probe.click(hwnd=w.hwnd, button="Box")
    t.probe.gone(hwnd=w.hwnd)

    w = dialog(t, "Busy")                                # "Dropped click" renamed by its timer
    t.probe.click(hwnd=w.hwnd, button="Counted")        # dropped: the procedure is running
    t.probe.settext("Go on", hwnd=w.hwnd)
    t.probe.wait(hwnd=w.hwnd, title_exact="Not busy")
    t.probe.click(hwnd=w.hwnd, button="Default")
    t.probe.gone(hwnd=w.hwnd)

    outer = dialog(t, "Nesting")
    t.probe.run("click", hwnd=outer.hwnd, button="Nested", timeout=300, check=False)   # returns when Inner ends
    inner = dialog(t, "Inner")
    assert not enabled(t, outer), "the owner is disabled while the inner dialog runs"
    t.probe.click(hwnd=inner.hwnd, button="OK")
    t.probe.gone(hwnd=inner.hwnd)
    assert enabled(t, outer), "the owner is enabled again"
    t.probe.click(hwnd=outer.hwnd, button="Default")
    t.probe.gone(hwnd=outer.hwnd)
