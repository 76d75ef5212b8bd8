# Files of every shape the line reader meets, written byte by byte.
def setup(t):
    t.write("ab.txt", b"a\r\nb")
    t.write("empty.txt", b"")
    t.write("ctrlz.txt", b"one\r\ntwo\x1athree\r\n")
    t.write("cr_nul.txt", b"x\ry\x00z\n\r\n")
    t.write("le.txt", b"\xff\xfe" + "l\u00e9\r\nsecond".encode("utf-16-le"))
    t.write("be.txt", b"\xfe\xff" + "big\r\nend\u00e9\r\n".encode("utf-16-be"))
    t.write("utf8.txt", b"\xef\xbb\xbfhi\r\n")
    t.write("ansi.txt", "caf\u00e9\r\n".encode("cp1252"))
    t.write("long.txt", b"".join(b"line %05d %s\r\n" % (i, b"x" * (i % 50)) for i in range(3000)))
