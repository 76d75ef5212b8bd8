# The bytes FileWrite left behind, read back from the prefix's drive C.
def setup(t):
    t.write("o.txt", b"\xff\xfe" + "\u0151".encode("utf-16-le"))
    t.write("append_le.txt", b"\xff\xfe" + "old\r\n".encode("utf-16-le"))
    t.write("append_be.txt", b"\xfe\xff" + "old\r\n".encode("utf-16-be"))
    t.write("append_ansi.txt", b"old\r\n")


def check(t):
    assert t.read("ansi.txt") == b"one\r\ntwo\r\ncaf\xe9\r\n", t.read("ansi.txt")
    assert t.read("wide.txt") == b"\xff\xfe" + "one\r\ntwo\u0151\r\n".encode("utf-16-le"), t.read("wide.txt")
    assert t.read("new_append.txt") == b"\xff\xfe" + "first\r\n".encode("utf-16-le")
    assert t.read("append_le.txt") == b"\xff\xfe" + "old\r\nnew\r\n".encode("utf-16-le"), t.read("append_le.txt")
    assert t.read("append_be.txt") == b"\xfe\xff" + "old\r\nnew\u0151\r\n".encode("utf-16-be"), t.read("append_be.txt")
    assert t.read("append_ansi.txt") == b"old\r\nnew\r\n", t.read("append_ansi.txt")
    assert t.read("overwrite.txt") == b"short\r\n"
