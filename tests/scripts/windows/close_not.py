"""Targets on the test's own desktop: only the visible "B" is to be closed."""

targets = {}


def setup(t):
    for title in ("A1", "x Mail y", "B", "D"):
        targets[title] = t.start_target("--title", title)
    targets["C"] = t.start_target("--title", "C", "--hidden")


def check(t):
    assert t.said(targets["B"]) == ["CLOSE"]
    for title, proc in targets.items():
        if title != "B":
            assert proc.poll() is None, "%s was closed" % title
