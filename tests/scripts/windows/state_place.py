"""Starts the target and reads its window at each checkpoint of the script; the screen is
the test desktop's 1280x1024."""

seen = {}


def setup(t):
    t.target = t.start_target("--title", "Place Target")


def rect(line):
    return [int(v) for v in line["rect"].split(",")]


def during(t):
    for name in ("placed", "wide", "offscreen", "hidden", "shown"):
        t.checkpoint(name)
        w = t.probe.run("list", hidden=True, title_exact="Place Target")
        seen[name] = (rect(w[0]), w[0]["visible"]) if w else None
        t.resume(name)


def check(t):
    assert seen["placed"] == ([128, 102, 640, 512], "1"), seen
    assert seen["wide"] == ([0, 0, 1280, 512], "1"), seen
    left, top, right, bottom = seen["offscreen"][0]
    assert left < 1280 and top < 1024 and right > 1280 and bottom > 1024, seen
    assert seen["hidden"][1] == "0", seen
    assert seen["shown"][1] == "1", seen
    assert t.said(t.target) == ["CLOSE"]
