"""Activation moves the foreground, so this test takes the desktop like those that type
into boxes; the script checks itself."""


def check(t):
    assert t.exit_code == 0
