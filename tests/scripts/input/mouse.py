"""The target reports the clicks at the pointer (in its client coordinates) and the click
that MouseClickBtn posts to its Cancel button."""


def setup(t):
    t.target = t.start_target("input", "--title", "Mouse Target")


def at(names, x, y):
    return ["%s %d %d" % (name, x, y) for name in names]


def check(t):
    said = t.said(t.target)
    kind, left, top = said[0].split()
    assert kind == "CLIENT"
    # The pointer stood 349 and 150 pixels from the window's corner at (50, 50).
    x, y = 399 - int(left), 200 - int(top)
    expected = (at(["LBUTTONDOWN", "LBUTTONUP"], x, y)
                + at(["LBUTTONDOWN", "LBUTTONUP", "LBUTTONDBLCLK", "LBUTTONUP"], x, y)
                + at(["RBUTTONDOWN", "RBUTTONUP"], x, y)
                + at(["LBUTTONDOWN", "LBUTTONUP"], x, y)
                + at(["LBUTTONDOWN"], x, y) + at(["LBUTTONUP"], x + 41, y)
                + ["LBUTTONDOWN 100 200", "LBUTTONUP 100 200", "EDIT hello", "CANCEL"])
    assert said[1:] == expected, "\n".join(said)
