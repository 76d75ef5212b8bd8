"""Reads each item list as a person sees it, chooses and answers."""

LIST = 101


def box(t, title):
    w = t.window(title_exact=title, cls="#32770")
    return w, t.probe.items(hwnd=w.hwnd, id=LIST)


def ok_enabled(t, w):
    _, controls, _ = t.probe.dump(hwnd=w.hwnd)
    return [c["enabled"] for c in controls if c.get("id") == "1"] == ["1"]


def choose(t, w, *positions, button="OK"):
    for p in positions:
        t.probe.select(hwnd=w.hwnd, id=LIST, pos=p)
    t.probe.click(hwnd=w.hwnd, button=button)
    t.probe.gone(hwnd=w.hwnd)


def during(t):
    w, items = box(t, "Unsorted")
    assert items == ["c", "a", "b"], items
    choose(t, w, 1)

    w, items = box(t, "Sorted")
    assert items == ["a", "b", "c"], items
    choose(t, w, 2)

    w, items = box(t, "Empties")
    assert items == ["a", "", "b"], items
    choose(t, w)                      # nothing chosen

    w, items = box(t, "Multiple")
    assert items == ["one", "two", "three"], items
    choose(t, w, 0, 2)

    w, items = box(t, "Extended")
    assert items == ["x", "y", "z"], items
    choose(t, w, 1, 2)

    w, items = box(t, "Long")
    assert items == ["before", "0123456789" * 204 + "0123456", "after"], [len(i) for i in items]
    choose(t, w, 2)

    w, items = box(t, "Needs")
    assert not ok_enabled(t, w), "OK must wait for a choice"
    t.probe.select(hwnd=w.hwnd, id=LIST, pos=1)
    assert ok_enabled(t, w), "a choice enables OK"
    choose(t, w)

    w, items = box(t, "Trailing")
    assert items == ["a", "b"], items
    choose(t, w, 0, button="Cancel")
