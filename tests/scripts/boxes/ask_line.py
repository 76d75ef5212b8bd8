"""Types into the line, password and text boxes as a person would and reads their styles."""

ANSWER = 12
ES_PASSWORD = 0x20
ES_AUTOHSCROLL = 0x80


def box(t, title):
    return t.window(title_exact=title, cls="#32770")


def style(t, w, control_id):
    _, controls, _ = t.probe.dump(hwnd=w.hwnd)
    return [int(c["style"], 16) for c in controls if c.get("id") == str(control_id)][0]


def type_and_ok(t, title, keys, prompt="p"):
    w = box(t, title)
    assert prompt in t.probe.texts(hwnd=w.hwnd), t.probe.texts(hwnd=w.hwnd)
    t.probe.keys(keys, hwnd=w.hwnd, id=ANSWER)
    t.probe.click(hwnd=w.hwnd, button="Ok")
    t.probe.gone(hwnd=w.hwnd)
    return w


def during(t):
    w = box(t, "SK")
    assert "def" in t.probe.texts(hwnd=w.hwnd)
    t.probe.keys("{END}x{ENTER}", hwnd=w.hwnd, id=ANSWER)
    t.probe.gone(hwnd=w.hwnd)

    type_and_ok(t, "Hex", "AB")
    type_and_ok(t, "Hex three", "Az")
    w = box(t, "Wide")
    t.probe.settext("\u03a9x", hwnd=w.hwnd, id=ANSWER)
    t.probe.click(hwnd=w.hwnd, button="Ok")
    t.probe.gone(hwnd=w.hwnd)
    type_and_ok(t, "Narrow", "plain")

    w = box(t, "PW")
    assert style(t, w, ANSWER) & ES_PASSWORD
    t.probe.keys("sec", hwnd=w.hwnd, id=ANSWER)
    t.probe.click(hwnd=w.hwnd, button="Ok")
    t.probe.gone(hwnd=w.hwnd)

    w = box(t, "TB")
    assert style(t, w, ANSWER) & ES_AUTOHSCROLL
    type_and_ok(t, "TB", "x", prompt="P")

    w = box(t, "TB wrap")
    assert not style(t, w, ANSWER) & ES_AUTOHSCROLL
    t.probe.click(hwnd=w.hwnd, button="Ok")
    t.probe.gone(hwnd=w.hwnd)

    # The placement was spent by the text box: the item list opens in the middle.
    w = box(t, "Centred")
    left, top, right, bottom = (int(v) for v in w["rect"].split(","))
    screen = t.probe.metrics()["screen"]
    assert abs((left + right) // 2 - screen[0] // 2) <= 2, w["rect"]
    assert abs((top + bottom) // 2 - screen[1] // 2) <= 2, w["rect"]
    t.probe.select(hwnd=w.hwnd, id=101, pos=1)
    t.probe.click(hwnd=w.hwnd, button="Ok")
    t.probe.gone(hwnd=w.hwnd)

    for title in ("Cancel line", "Cancel password", "Cancel text"):
        w = box(t, title)
        t.probe.click(hwnd=w.hwnd, button="Cancel")
        t.probe.gone(hwnd=w.hwnd)
