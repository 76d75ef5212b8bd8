"""Answers Pause and AskYesNo as a person would: buttons, then the Esc key."""


def answer(t, title, button=None, keys=None, buttons=None):
    w = t.window(title_exact=title, cls="#32770")
    if buttons is not None:
        _, controls, _ = t.probe.dump(hwnd=w.hwnd)
        assert [c["text"] for c in controls if c.get("class") == "Button"] == buttons
    if button:
        t.probe.click(hwnd=w.hwnd, button=button)
    else:
        t.probe.keys(keys, hwnd=w.hwnd)
    t.probe.gone(hwnd=w.hwnd)


def during(t):
    answer(t, "Pause one", button="OK", buttons=["OK", "Cancel"])
    answer(t, "Ask yes", button="Yes", buttons=["&Yes", "&No", "Cancel"])
    answer(t, "Ask no", button="No")
    answer(t, "Pause esc", keys="{ESC}")
    answer(t, "Ask esc", keys="{ESC}")
