# Inputs for files.zal, and its outputs checked byte for byte: the CSV files against
# Python's csv.writer with QUOTE_ALL and CR LF line ends.
import csv
import io


def setup(t):
    t.write("ragged.csv", b"a,b,c\r\n d\r\n")
    t.write("badline.csv", b"ok,1\nx,\"y\n")
    t.write("zero.bin", b"x\0y\nz\n")
    t.write("long.txt", b"x" * 40000 + b"\n" + b"y" * 9999)
    t.write("oneline.txt", b"q" * 20000)
    t.write("map.csv", b"alpha,one\r\nbeta\r\n")
    t.write("keys.csv", b"gamma\r\ndelta\r\n")


def csv_bytes(rows, **dialect):
    out = io.StringIO()
    csv.writer(out, quoting=csv.QUOTE_ALL, lineterminator="\r\n", **dialect).writerows(rows)
    return out.getvalue().encode("latin-1")


def check(t):
    rows = [["x", 'a"b', "", "c,d"], ["12", "3.5", " lead", "tail "], ['""', "multi\nline", "semi;colon", "end"]]
    assert t.read("put.txt") == b"a\r\nb\r\n"
    assert t.read("put_empty.txt") == b"a\r\n\r\nb\r\n"
    assert t.read("put_lf.txt") == b"a\nb\n", t.read("put_lf.txt")
    assert t.read("out.csv") == csv_bytes(rows), t.read("out.csv")
    assert t.read("semi.csv") == csv_bytes(rows, delimiter=";")
    assert t.read("plain.csv") == b"\r\n".join(b",".join(f.encode() for f in r) for r in rows) + b"\r\n"
    assert t.read("map_out.csv") == csv_bytes([["alpha", "one"], ["beta", ""]]) or \
        t.read("map_out.csv") == csv_bytes([["beta", ""], ["alpha", "one"]]), t.read("map_out.csv")
    assert not t.exists("bad.csv")
