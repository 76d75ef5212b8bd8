# Existing targets in dst for n1, n2, a1-a3 and c1; the companion answers each dialog and
# checks its texts.
TITLE = "Confirm File Replace"


def setup(t):
    for name in ("n1.txt", "n2.txt", "n3.txt", "a1.txt", "a2.txt", "a3.txt", "c1.txt", "c2.txt"):
        t.write("d/" + name, "new " + name)
    for name in ("n1.txt", "n2.txt", "a1.txt", "a2.txt", "a3.txt", "c1.txt"):
        t.write("d/dst/" + name, "old " + name)


def answer(t, button, source):
    box = t.window(title_exact=TITLE, cls="#32770")
    texts = t.probe.texts(hwnd=box.hwnd)
    target = t.work_win + "\\d\\dst\\" + source
    assert texts[0] == "Replace file:" and texts[3] == "with file:", texts
    assert texts[1] == target and texts[4] == t.work_win + "\\d\\" + source, texts
    assert texts[2].endswith(" bytes") and texts[5].endswith(" bytes"), texts
    for caption in ("O&verwrite", "Overwrite &All", "Use &Newer", "Use Ne&wer All", "Use O&lder",
                    "Use Ol&der All", "&Skip", "&Cancel"):
        assert caption in texts, (caption, texts)
    t.probe.click(hwnd=box.hwnd, button=button)
    t.probe.gone(hwnd=box.hwnd)
    return texts


def during(t):
    answer(t, "Overwrite", "n1.txt")
    answer(t, "Skip", "n2.txt")
    first = t.window(title_exact=TITLE, cls="#32770")
    source = t.probe.texts(hwnd=first.hwnd)[4].rsplit("\\", 1)[1]
    assert source in ("a1.txt", "a2.txt", "a3.txt"), source
    answer(t, "Overwrite All", source)
    # the next question is about c1.txt: the other two a-files were not asked about
    answer(t, "Cancel", "c1.txt")


def check(t):
    for name in ("n1.txt", "n3.txt", "a1.txt", "a2.txt", "a3.txt"):
        assert t.read("d/dst/" + name) == b"new " + name.encode(), name
    assert t.read("d/dst/n2.txt") == b"old n2.txt"
    assert t.read("d/dst/c1.txt") == b"old c1.txt"
    assert not t.exists("d/dst/c2.txt")
