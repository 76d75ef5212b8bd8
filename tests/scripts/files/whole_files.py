# Files for FileGet/FileGetW, and the bytes FilePut/FilePutW wrote.
BIG = "y" * 16383 + "\U0001F600" + "z" * 100


def setup(t):
    t.write("nuls.bin", b"a\x00b\x00\x00c")
    t.write("le.txt", b"\xff\xfe" + "l\u00e9\x00x".encode("utf-16-le"))
    t.write("be.txt", b"\xfe\xff" + "b\u00e9g".encode("utf-16-be"))
    t.write("ansi.txt", "caf\u00e9\x00!".encode("cp1252"))
    # Longer than one 32768-byte transfer, with a surrogate pair across the boundary.
    t.write("big_le.txt", b"\xff\xfe" + BIG.encode("utf-16-le"))


def check(t):
    assert t.read("w.txt") == b"\xff\xfeA\x00b\x00c\x00", t.read("w.txt")
    assert t.read("n.txt") == b"narrow text", t.read("n.txt")
    assert t.read("empty.txt") == b""
    assert t.read("big_ansi.txt") == b"y" * 16383 + b"??" + b"z" * 100  # one "?" per unit
    assert t.read("big_wide.txt") == t.read("big_le.txt")
