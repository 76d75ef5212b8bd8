"""Opens the traceback of each error box and reads its rows."""

LIST = 101
# (the failing line, its line number, how the traceback shows it)
ERRORS = [
    ('r = AskLine("title", "pr", "", 9)', 7, 'r = AskLine("title", "pr", ""...'),   # 33 characters
    ('r = AskLine("title", "p", "", 9)', 8, 'r = AskLine("title", "p", "", 9)'),    # 32: whole
]
FRAMES = [
    ["  1", "<udf>".ljust(14), "%6d" % 15, "hostprint(outer())".ljust(32), "traceback.zal"],
    ["  2", "<udf>".ljust(14), "%6d" % 12, "Return inner(1)".ljust(32), "traceback.zal"],
]


def during(t):
    for line, number, shown in ERRORS:
        box = t.window(cls="#32770")
        assert line in t.probe.texts(hwnd=box.hwnd), t.probe.texts(hwnd=box.hwnd)
        t.probe.click(hwnd=box.hwnd, button="Traceback", post=True)
        trace = t.window(title_exact="Traceback", cls="#32770")
        rows = [r.split("\t") for r in t.probe.items(hwnd=trace.hwnd, id=LIST)]
        assert rows == FRAMES + [["  3", "<error>".ljust(14), "%6d" % number, shown, "traceback.zal"]], rows
        t.probe.click(hwnd=trace.hwnd, button="Ok")
        t.probe.gone(hwnd=trace.hwnd)
        t.probe.click(hwnd=box.hwnd, button="Continue")
        t.probe.gone(hwnd=box.hwnd)
