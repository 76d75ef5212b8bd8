# One .log file, a target folder that holds b.bak (so b.txt is asked about) but not a.bak.
def setup(t):
    for name in ("a.txt", "b.txt", "x.log"):
        t.write("d/" + name, name)
    t.write("d/dst/b.bak", "old")


def box(t, title):
    w = t.window(title_exact=title, cls="#32770")
    texts = t.probe.texts(hwnd=w.hwnd)
    t.probe.click(hwnd=w.hwnd, button="OK")
    t.probe.gone(hwnd=w.hwnd)
    return texts


def during(t):
    d = t.work_win + "\\d\\"
    assert d + "a.txt" in box(t, "FileNameEval1")
    assert d + "x.log" in box(t, "FileNameEval1")
    assert d + "dst\\a.bak" in box(t, "FileNameEval2 File OverWritten")
    assert d + "dst\\gone.bak" in box(t, "FileNameEval2 Source does not exist")
    ask = t.window(title_exact="Confirm File Replace", cls="#32770")
    t.probe.click(hwnd=ask.hwnd, button="Skip")
    assert d + "dst\\b.bak" in box(t, "FileNameEval2 File Untouched")


def check(t):
    assert t.read("d/dst/b.bak") == b"old"
