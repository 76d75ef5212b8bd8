# A megabyte of random data for checksums.zal, its checksums computed with Python.
import binascii
import hashlib
import random

DATA = random.Random(1704).randbytes(1 << 20)


def crc16_arc(data):
    table = []
    for i in range(256):
        c = i
        for _ in range(8):
            c = (c >> 1) ^ 0xA001 if c & 1 else c >> 1
        table.append(c)
    crc = 0
    for b in data:
        crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8)
    return crc


def setup(t):
    t.write("random.bin", DATA)


def check(t):
    md5 = hashlib.md5(DATA).hexdigest()
    expected = ["-".join(md5[i:i + 8] for i in range(0, 32, 8)),
                "%04x" % crc16_arc(DATA),
                "%08x" % binascii.crc32(DATA),
                hashlib.sha1(DATA).hexdigest().upper(),
                hashlib.sha256(DATA).hexdigest().upper()]
    assert t.read("sums.txt").decode().split(",") == expected, t.read("sums.txt")
