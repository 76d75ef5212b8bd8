"""Reads each Message box as a person sees it and presses its one button."""

TEN = "abcdefghij"


def box(t, title):
    w = t.window(title_exact=title, cls="#32770")
    _, controls, _ = t.probe.dump(hwnd=w.hwnd)
    buttons = [c["text"] for c in controls if c.get("class") == "Button"]
    texts = [c["text"] for c in controls if c.get("class") == "Static" and c.get("text")]
    return w, buttons, texts


def during(t):
    w, buttons, texts = box(t, "T")
    assert buttons == ["OK"], buttons
    assert texts == ["Hello"], texts
    t.probe.click(hwnd=w.hwnd, button="OK")

    w, _, texts = box(t, "Exact")
    assert texts == [TEN * 2000], len(texts[0]) if texts else texts
    t.probe.click(hwnd=w.hwnd, button="OK")

    w, _, texts = box(t, "Longer")
    assert texts == [TEN * 2000 + "..."], (len(texts[0]), texts[0][-5:]) if texts else texts
    t.probe.click(hwnd=w.hwnd, button="OK")
