"""A nested definition is the run loop's own error: the error box (logged) has it."""


def check(t):
    log = t.read("quiet.log").decode("latin-1")
    assert "3623:  Cannot have nested #DefineFunction" in log, log
