"""Reads how the controls came out."""

WS_GROUP = 0x00020000
ES_PASSWORD = 0x20
LBS_EXTENDEDSEL = 0x800
R1, R2, R3, GRP, INSIDE, CB1, SECRET, L1, L2, L3, D = range(100, 111)


def during(t):
    w = t.window(title_exact="Controls", cls="kv0wcdl3")
    _, controls, items = t.probe.dump(hwnd=w.hwnd)
    by_id = {int(c["id"]): c for c in controls if c["parent"] == "0x%08X" % w.hwnd}
    style = {i: int(c["style"], 16) for i, c in by_id.items()}
    texts = {i: c["text"] for i, c in by_id.items()}
    assert [by_id[i]["check"] for i in (R1, R2, R3)] == ["1", "0", "0"]
    assert [texts[i] for i in (GRP, INSIDE, CB1)] == ["Group", "", "One"], texts
    assert style[GRP] & WS_GROUP and not style[INSIDE] & WS_GROUP and not style[CB1] & WS_GROUP
    assert style[R1] & WS_GROUP and not style[R2] & WS_GROUP
    assert style[SECRET] & ES_PASSWORD
    # owner-drawn with strings, editable (Wine's combo box drops WS_VSCROLL from its own style)
    assert style[D] & 0x40010250 == 0x40010250 and style[D] & 3 == 2, hex(style[D])
    assert not style[L2] & LBS_EXTENDEDSEL, hex(style[L2])                           # IntControl 33 with 0
    listed = {}
    for i in items:
        listed.setdefault(int(i["id"]), []).append((i["text"], i["selected"]))
    assert listed[L1] == [("", "0"), ("a", "0"), ("b", "0")], listed[L1]
    assert listed[L2] == [("a", "1"), ("b", "0")], listed[L2]
    assert sorted(t for t, _ in listed[L3]) == sorted(["Error:", "Nowhere", "not defined."]), listed[L3]
    assert listed[D] == [("Small", "0"), ("S", "1")], listed[D]
    t.probe.click(hwnd=w.hwnd, button="OK")
    t.probe.gone(hwnd=w.hwnd)
