"""Checks each arrangement: the arranged targets take the cells of the layout (in some
order: the first in z-order takes the first cell), the minimised target and the message box
stay where they are."""

TARGETS = ["Arr 1", "Arr 2", "Arr 3", "Arr 4"]
seen = {}


def setup(t):
    for title in TARGETS + ["Arr Min"]:
        t.start_target("--title", title)
    t.start_target("msgbox")


def rect(line):
    return tuple(int(v) for v in line["rect"].split(","))


def rects(t):
    found = {}
    for title in TARGETS + ["Arr Min", "Probe Box"]:
        lines = t.probe.run("list", hidden=True, title_exact=title)
        found[title] = (rect(lines[0]), lines[0]["visible"] == "1")
    return found


def during(t):
    for name in ("tile 2", "columns 2", "stack 2", "tile 4", "rows 4", "stack 4"):
        t.checkpoint(name)
        seen[name] = rects(t)
        t.resume(name)
    seen["box"] = rects(t)["Probe Box"]


def layout(w, h, fx, fy, caption, mode, n):
    hw = ((w | 14) // 2) - fx + 1
    if mode == "stack":
        d = max(n - 1, 1)
        sx = min((w - hw) // d, caption + fx)
        sy = min((h // 2) // d, caption + fy)
        return [(((sx * i) | 7) - fx + 1, (n - 1 - i) * sy, w - (n - 1 - i) * sx, h - i * sy) for i in range(n)]
    if mode == "bands":
        edges = {2: [0, h // 2, h], 4: [0, h // 4, h // 2, (3 * h) // 4, h]}[n]
        return [(0, edges[i], w, edges[i + 1]) for i in range(n)]
    if mode == "columns":
        return [(0, 0, hw, h), (hw, 0, w, h)]
    return [(0, 0, hw, h // 2), (hw, 0, w, h // 2), (0, h // 2, hw, h), (hw, h // 2, w, h)]


def check(t):
    w, h, fx, fy, caption = (int(v) for v in t.output[0].split())
    want = {"tile 2": ("bands", 2), "columns 2": ("columns", 2), "stack 2": ("stack", 2),
            "tile 4": ("grid", 4), "rows 4": ("bands", 4), "stack 4": ("stack", 4)}
    minimised = seen["tile 2"]["Arr Min"][0]
    for name, (mode, n) in want.items():
        shown = [seen[name][title][0] for title in TARGETS[:n]]
        assert sorted(shown) == sorted(layout(w, h, fx, fy, caption, mode, n)), (name, shown)
        assert seen[name]["Arr Min"][0] == minimised, name
        assert seen[name]["Probe Box"] == seen["box"], name
    assert not seen["tile 2"]["Arr 3"][1]
