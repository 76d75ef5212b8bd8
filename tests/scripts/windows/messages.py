"""The target reports the list notifications the script sent, and its close."""


def setup(t):
    t.target = t.start_target("--title", "Msg Target")


def check(t):
    assert t.said(t.target) == ["LIST SELECT -1", "LIST SELECT -1", "CLOSE"]
