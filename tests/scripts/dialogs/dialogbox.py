"""Drives the DialogBox grids: reads the fields made from the grid, checks the box and
ends with OK, closes one with Alt+F4, compares the layout of a line-feed file, cancels
one, measures a narrow grid and counts the file list's windows."""
CLASS = "kv9wcdlg"
NAME, RED, GREEN, CHECK = 100, 101, 102, 103


def box(t, title):
    return t.window(title_exact=title, cls=CLASS)


def controls(t, w):
    return {int(c["id"]): c for c in t.probe.dump(hwnd=w.hwnd)[1] if c["parent"] == "0x%08X" % w.hwnd}


def during(t):
    m = t.probe.metrics()
    w = box(t, "Form")
    c = controls(t, w)
    assert c[NAME]["text"] == "Bob", c[NAME]
    assert (c[RED]["check"], c[GREEN]["check"]) == ("0", "1"), (c[RED], c[GREEN])
    assert (c[RED]["text"], c[CHECK]["text"]) == ("Red", "Agree"), (c[RED], c[CHECK])
    assert (c[1]["text"], c[2]["text"]) == ("&Ok", "&Cancel"), (c[1], c[2])
    crlf = {i: c[i]["rect"] for i in (NAME, RED, GREEN, CHECK, 1, 2)}
    t.probe.settext("Ann", hwnd=w.hwnd, id=NAME)
    t.probe.click(hwnd=w.hwnd, id=RED)
    t.probe.click(hwnd=w.hwnd, id=CHECK)
    t.probe.click(hwnd=w.hwnd, id=1)
    t.probe.gone(hwnd=w.hwnd)

    w = box(t, "Closed")
    t.probe.settext("Eve", hwnd=w.hwnd, id=NAME)
    t.probe.keys("{ALT+F4}", hwnd=w.hwnd)
    t.probe.gone(hwnd=w.hwnd)

    w = box(t, "Line feeds")
    c = controls(t, w)
    assert {i: c[i]["rect"] for i in crlf} == crlf, ({i: c[i]["rect"] for i in crlf}, crlf)
    t.probe.click(hwnd=w.hwnd, id=1)
    t.probe.gone(hwnd=w.hwnd)

    w = box(t, "Cancel")
    t.probe.click(hwnd=w.hwnd, id=2)
    t.probe.gone(hwnd=w.hwnd)

    for title in ("Rows", "Edge"):
        w = box(t, title)
        t.probe.click(hwnd=w.hwnd, id=1)
        t.probe.gone(hwnd=w.hwnd)

    w = box(t, "Narrow")
    left, _, right, _ = [int(v) for v in w["rect"].split(",")]
    assert right - left == 29 * m["basex"] + 2, (right - left, m)
    t.probe.click(hwnd=w.hwnd, id=1)
    t.probe.gone(hwnd=w.hwnd)

    w = box(t, "Files")
    c = controls(t, w)
    lists = [x for x in c.values() if x["class"] == "ListBox"]
    assert len(lists) == 1, lists
    t.probe.settext("chosen.txt", hwnd=w.hwnd, id=101)
    t.probe.click(hwnd=w.hwnd, id=1)
    t.probe.gone(hwnd=w.hwnd)
