"""The substitution error went to the error box, which quiet mode logs with the line."""


def check(t):
    log = t.read("quiet.log").decode("latin-1")
    assert '3048:  Substitution %Variable% not followed by a % (Use %% for %)\r\n\r\nhostprint("50% off")' in log, log
