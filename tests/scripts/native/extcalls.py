"""The error box of the failed call that stopped the run, in the quiet-mode log: the text of
message 865 and the extender's own text."""


def check(t):
    log = t.read("quiet.log").decode("latin-1")
    assert "ZAL Extender Error:  1234: disk gone" in log, log
