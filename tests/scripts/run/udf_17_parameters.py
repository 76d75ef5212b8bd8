"""A bad definition header is the run loop's own error: the error box (logged) has it."""


def check(t):
    log = t.read("quiet.log").decode("latin-1")
    assert "3624:  Syntax error in #DefineFunction statement" in log, log
