"""Reads the fixture dialog as a person sees it, changes it and ends it each way."""

seen = {}
WS_CLIPSIBLINGS = 0x04000000   # the system adds it to every top-level window

ID_NAME, ID_C1, ID_C2, ID_C4, ID_RED, ID_GREEN, ID_FRUITS, ID_SIZE, ID_QTY = range(100, 109)


def rect(line):
    return [int(v) for v in line["rect"].split(",")]


def open_dialog(t, caption):
    w = t.window(title_exact=caption, cls="kv0wcdl3")
    window, controls, items = t.probe.dump(hwnd=w.hwnd)
    return w, window, {int(c["id"]) * 10 + ("Edit" == c["class"]): c for c in controls}, items


def listed(items, ident):
    return [(i["text"], i["selected"]) for i in items if int(i["id"]) == ident]


def mul_div(a, b, c):
    return (a * b + c // 2) // c


def during(t):
    m = t.probe.metrics()
    w, window, by_id, items = open_dialog(t, "Fixture open")
    assert int(window["style"], 16) & ~WS_CLIPSIBLINGS == 0x90C00084, window["style"]
    left, top, right, bottom = rect(window)
    assert right - left == mul_div(200, m["basex"], 4), (rect(window), m)
    assert bottom - top == mul_div(150, m["basey"], 8) + m["caption"], (rect(window), m)
    screen_w, screen_h = m["screen"]
    assert abs(left - (screen_w - (right - left)) // 2) <= m["basex"] // 4 + 1, (left, screen_w)
    assert abs(top - (screen_h - (bottom - top)) // 2) <= m["basey"] // 8 + 1, (top, screen_h)
    seen["first"] = (left, top)
    assert by_id[ID_NAME * 10 + 1]["text"] == "Bob"
    assert [by_id[i * 10]["check"] for i in (ID_C1, ID_C2, ID_C4)] == ["1", "0", "1"]
    assert [by_id[i * 10]["check"] for i in (ID_RED, ID_GREEN)] == ["0", "1"]
    assert listed(items, ID_FRUITS) == [("apple", "0"), ("banana", "1"), ("cherry", "0")], listed(items, ID_FRUITS)
    assert listed(items, ID_SIZE) == [("S", "0"), ("M", "1"), ("L", "0")], listed(items, ID_SIZE)
    assert by_id[ID_QTY * 10 + 1]["text"] == "4"
    t.probe.keys("{UP}", hwnd=w.hwnd, id=ID_QTY, control_class="Edit")
    assert t.probe.text(hwnd=w.hwnd, id=ID_QTY, control_class="Edit") == "6"
    t.probe.keys("{DOWN}", hwnd=w.hwnd, id=ID_QTY, control_class="Edit")
    t.probe.click(hwnd=w.hwnd, button="OK")
    t.probe.gone(hwnd=w.hwnd)

    w, window, by_id, items = open_dialog(t, "Fixture changed")
    left, top, _, _ = rect(window)
    assert abs(left - seen["first"][0]) <= m["basex"] // 4 + 1 and abs(top - seen["first"][1]) <= m["basey"] // 8 + 1
    t.probe.settext("Ann", hwnd=w.hwnd, id=ID_NAME)
    t.probe.click(hwnd=w.hwnd, id=ID_C2)
    t.probe.click(hwnd=w.hwnd, id=ID_C1)
    t.probe.click(hwnd=w.hwnd, id=ID_RED)
    t.probe.select(hwnd=w.hwnd, id=ID_FRUITS, item="cherry")
    t.probe.select(hwnd=w.hwnd, id=ID_SIZE, item="L")
    t.probe.keys("{UP}{UP}{UP}", hwnd=w.hwnd, id=ID_QTY, control_class="Edit")
    t.probe.keys("{END}x", hwnd=w.hwnd, id=ID_QTY, control_class="Edit")      # a spinner takes digits only
    assert t.probe.text(hwnd=w.hwnd, id=ID_QTY, control_class="Edit") == "10"
    t.probe.settext("-5", hwnd=w.hwnd, id=ID_QTY, control_class="Edit")       # written back clamped to 0
    _, controls, _ = t.probe.dump(hwnd=w.hwnd)
    checks = {int(c["id"]): c.get("check") for c in controls}
    assert [checks[i] for i in (ID_C1, ID_C2, ID_C4, ID_RED, ID_GREEN)] == ["0", "1", "1", "1", "0"], checks
    t.probe.keys("{ENTER}", hwnd=w.hwnd, id=ID_QTY, control_class="Edit")
    t.probe.gone(hwnd=w.hwnd)

    w = t.window(title_exact="Fixture cancel", cls="kv0wcdl3")
    t.probe.settext("Zed", hwnd=w.hwnd, id=ID_NAME)
    t.probe.click(hwnd=w.hwnd, button="Cancel")
    t.probe.gone(hwnd=w.hwnd)

    w = t.window(title_exact="Fixture escape", cls="kv0wcdl3")
    t.probe.settext("Zed", hwnd=w.hwnd, id=ID_NAME)
    t.probe.keys("{ESC}", hwnd=w.hwnd, id=ID_NAME)
    t.probe.gone(hwnd=w.hwnd)

    w = t.window(title_exact="Fixture no default", cls="kv0wcdl3")
    t.probe.keys("{ENTER}", hwnd=w.hwnd, id=ID_NAME)
    assert t.probe.list(hwnd=w.hwnd, timeout=500), "Enter without a default button ends nothing"
    t.probe.keys("{ESC}", hwnd=w.hwnd, id=ID_NAME)
    t.probe.gone(hwnd=w.hwnd)

    w = t.window(title_exact="Fixture no cancel", cls="kv0wcdl3")
    t.probe.keys("{ESC}", hwnd=w.hwnd, id=ID_NAME)
    assert t.probe.list(hwnd=w.hwnd, timeout=500), "Escape without a Value-0 button ends nothing"
    t.probe.click(hwnd=w.hwnd, button="Apply")
    t.probe.gone(hwnd=w.hwnd)
