# Files with known contents and last-write stamps (the test runs with TZ=UTC).
import calendar
import os


def stamp(t, name, *fields):
    when = calendar.timegm(fields + (0, 0, 0))
    os.utime(t.path(name), (when, when))


def setup(t):
    for name in ("copy1.txt", "copy2.txt"):
        t.write(name, "same text\r\n")
        stamp(t, name, 2023, 1, 1, 10, 0, 0)
    t.write("byte1.txt", "abcdefgh")
    t.write("byte2.txt", "abcdefgX")
    stamp(t, "byte1.txt", 2023, 6, 1, 10, 0, 0)
    stamp(t, "byte2.txt", 2023, 1, 1, 10, 0, 0)
    t.write("same1.txt", "abc1")
    t.write("same2.txt", "abc2")
    stamp(t, "same1.txt", 2023, 1, 1, 10, 0, 0)
    stamp(t, "same2.txt", 2023, 1, 1, 10, 0, 0)
    t.write("size1.txt", "short")
    t.write("size2.txt", "a longer text")
    stamp(t, "size1.txt", 2022, 1, 1, 10, 0, 0)
    stamp(t, "size2.txt", 2023, 1, 1, 10, 0, 0)
    big = bytes(range(256)) * 1000          # more than one read block
    t.write("big1.bin", big)
    t.write("big2.bin", big)
    t.write("big3.bin", big[:-1] + b"\x00")
    stamp(t, "big1.bin", 2023, 1, 1, 10, 0, 0)
    stamp(t, "big3.bin", 2022, 1, 1, 10, 0, 0)

    t.write("empty.txt", b"")
    t.write("bom8.txt", b"\xef\xbb\xbfabc")
    t.write("bom16le.txt", "\ufeffab".encode("utf-16-le"))
    t.write("bom16be.txt", "\ufeffab".encode("utf-16-be"))
    t.write("odd.txt", b"abc")
    t.write("even.txt", b"abcd")
    t.write("cp1252.txt", "caf\u00e9\r\n".encode("cp1252"))
    t.write("utf8.txt", "caf\u00e9\r\n".encode("utf-8"))
    t.write("wide.txt", "plain wide text\r\n".encode("utf-16-le"))
    t.write("binary.bin", b"\x01\x00\x00\x00\xff\xfe\x00\x10\x00\x00")
    t.write("broken8.txt", b"caf\xc3(")

    t.write("stamped.txt", "x")
    stamp(t, "stamped.txt", 2024, 5, 1, 12, 0, 0)
