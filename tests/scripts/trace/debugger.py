"""Steps through debugger.zal as a person would, reading the dialog's fields."""
from kvdebug import ERROR, LAST, NEXT, OUTCOME, VARIABLE, dialog, none_left, press


def field(t, w, item):
    return t.probe.text(hwnd=w.hwnd, id=item)


def show_var(t, w, text):
    t.probe.settext(text, hwnd=w.hwnd, id=VARIABLE)
    t.probe.click(hwnd=w.hwnd, button="Show Var")
    return field(t, w, VARIABLE)


def during(t):
    w = dialog(t)
    _, controls, _ = t.probe.dump(hwnd=w.hwnd)
    buttons = [c["text"] for c in controls if c.get("class") == "Button"]
    assert buttons == ["&Next", "&Cancel", "&Run", "&Show Var"], buttons
    assert "Next Statement..." in [c["text"] for c in controls], controls
    assert field(t, w, LAST) == "*** Debug Initialized ***"
    assert field(t, w, NEXT) == "y = 1"
    assert show_var(t, w, "x[1]=5") == 'x[1] = "5"'
    assert show_var(t, w, "x") == 'x = "<array>"'
    assert show_var(t, w, "nosuch") == "nosuch = ??? Unknown Variable"
    press(t, w, "Next")

    w = dialog(t)
    assert (field(t, w, LAST), field(t, w, OUTCOME), field(t, w, ERROR), field(t, w, NEXT)) == \
        ("y = 1", "VALUE INT => 1", "", "z = 2")
    assert field(t, w, VARIABLE) == "nosuch = ??? Unknown Variable"     # the last Show Var text
    press(t, w, "Run")
    # Stepping ended with Run; Debug(-1) keeps the last Debug(1) from starting it again.
    t.process.wait(20)
    assert none_left(t)
