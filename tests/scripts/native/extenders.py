"""What each extender was asked, from its own log: the interface-1 one five texts and never
a sixth, the wide one at its wide entry, each its end code once; and the boxes of the failed
loads in the quiet-mode log."""


def lines(t, name):
    return t.read(name + ".log").decode("latin-1").splitlines() if t.exists(name + ".log") else []


def check(t):
    # Interface 1: enumerated with the older service block (1003, 40 bytes), called with the
    # five texts, ended with code 99.
    assert lines(t, "kvext1") == [
        "enum 0 1003 1003 40", "enum 1 1003 1003 40", "enum 2 1003 1003 40",
        "call 1 [a] [b] [c] [d] [e] 30030105",
        "call 2 [(null)] [(null)] [(null)] [(null)] [(null)] 30030105",
        "end 99"], lines(t, "kvext1")
    # Interface 5: initialised once (it keeps 77 in its slot word), loaded a second time
    # without a second initialisation, ended with -3.
    five = lines(t, "kvext5")
    assert five.count("init 30030105") == 1 and five[-1] == "end -3", five
    assert five.count("enum 8 77") == 1, five
    # The wide query gives level 100005: only the wide entry is called.
    wide = lines(t, "kvextw")
    assert wide[:3] == ["queryw 1", "queryw 2", "init 30030105"], wide
    assert not any(l.startswith("wrong entry") for l in wide) and wide[-1] == "end -3", wide
    assert lines(t, "kvext3")[-1] == "end -3"
    # The refused one was initialised and never ended; the one with a missing dependency
    # never ran.
    assert lines(t, "kvextbad") == ["query 1", "query 2", "init 30030105"], lines(t, "kvextbad")
    assert not t.exists("kvextdep.log")
    log = t.read("quiet.log").decode("latin-1")
    boxes = log.split("<HR>")
    assert "ZAL Extender load error" in boxes[0] and "requires one or more dependent DLL's" in boxes[0], log
    assert "ZAL Extender load error\r\n\r\nbad\r\n" in boxes[1], log
