"""Steps through debugger_calls.zal, checking the stops at calls and returns."""
from kvdebug import LAST, NEXT, OUTCOME, dialog, none_left, press


def step(t, button="Next"):
    """The next DEBUG dialog's fields (last statement, outcome, next statement); then presses."""
    w = dialog(t)
    texts = {int(c["id"]): c["text"] for c in t.probe.dump(hwnd=w.hwnd)[1]}
    shown = tuple(texts[i] for i in (LAST, OUTCOME, NEXT))
    press(t, w, button)
    return shown


def during(t):
    assert step(t)[2] == "x = twice(4)"
    assert step(t) == ("x = twice(4)", "CALLING UDF (twice)", "x = twice(4)")
    assert step(t) == ("x = twice(4)", "RETURNING FROM UDF (twice)", "x = twice(4)")
    assert step(t) == ("x = twice(4)", "VALUE INT => 8", 'Call("called.zal", "")')
    last, outcome, _ = step(t)
    assert last == 'Call("called.zal", "")'
    assert outcome.startswith("CALLING SCRIPT (") and outcome.lower().endswith("called.zal)"), outcome
    assert step(t)[1].startswith("RETURNING FROM SCRIPT (")
    assert step(t)[2] == 'hostprint("x is " : x)'
    assert step(t)[2] == 'IntControl(72, 3, 0, "h", "")'
    assert step(t)[2] == "show(x)"
    assert step(t, "Cancel")[1] == "CALLING UDF (show)"
    t.process.wait(20)
    assert none_left(t)
