# Inputs of files.zal, and its files checked byte for byte.
TEN = b"0123456789"


def setup(t):
    t.write("six.bin", b"abcdef")
    t.write("ten.bin", TEN)
    t.write("cut.bin", TEN)
    t.write("pad.bin", TEN)
    t.write("mid.bin", b"abcdefghij")


def check(t):
    assert t.read("hello.bin") == b"hello"
    assert t.read("wide.bin") == b"hello"
    assert t.read("empty.bin") == b""
    assert t.read("cut.bin") == b"012"
    assert t.read("grow.bin") == b"\0" * 5
    pad = t.read("pad.bin")
    assert len(pad) == 100004, len(pad)
    assert pad == TEN + b"\0" * (100000 - 10) + b"8923", pad[:12] + pad[-8:]
    assert t.read("mid.bin") == b"a234efghij", t.read("mid.bin")
    assert not t.exists("w.bin")
