"""Includes nested too deep stop the preparation: the error box (logged) has it."""


def check(t):
    log = t.read("quiet.log").decode("latin-1")
    assert "218:  #include files too deeply nested (> 16 levels)" in log, log
