"""The run loop's error end went to the error box, which quiet mode logs."""


def check(t):
    log = t.read("quiet.log").decode("latin-1")
    assert "3723:  #DefineFunction/Subroutine/Command with no matching #EndFunction/Subroutine/Command" in log, log
