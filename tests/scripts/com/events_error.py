"""What the event source got back from the failing handler: DISP_E_EXCEPTION and the
error's text."""


def check(t):
    lines = t.read("events.log").decode("utf-8", "replace").splitlines()
    assert len(lines) == 1, lines
    code, text = lines[0].split(" ", 1)
    assert code == "80020009", lines
    assert "Uninitialized variable, undefined function" in text, lines
