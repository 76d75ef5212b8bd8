# A private INI file with blank-padded values; what is left of it after the script.
def setup(t):
    t.write("t.ini", "[Settings]\r\nTextFile =   rename.log   \r\nMoveLogFile=True\r\n"
                     "[386Enh]\r\ndevice=x.386\r\n[Other]\r\nk=v\r\n")
    t.write("empty.ini", "")
    t.write("big.ini", "[Big]\r\n" + "".join("key%05d=%s\r\n" % (i, "v" * 20) for i in range(2000)))


def check(t):
    text = t.read("t.ini").decode("latin-1")
    assert "[Other]" not in text and "k=v" not in text, text
    assert "Added=new value" in text, text
    assert "MoveLogFile" not in text, text
    keys = t.read("keys.txt").decode("latin-1").split("\t")
    assert keys == ["key%05d" % i for i in range(2000)], keys[:3]
