# The bytes numbers.zal leaves in its buffer, written with struct.
import struct


def check(t):
    expected = (
        struct.pack("<BbBB", 0, -1, -200 & 0xFF, -256 & 0xFF)    # 255 incremented to 0; -1; -200; -256
        + struct.pack("<HH", -65536 & 0xFFFF, 0)                 # 65535 incremented to 0
        + struct.pack("<iI", 0, 0x12345678)                      # -1 incremented to 0
        + struct.pack("<d", 2.5)
        + struct.pack("<qqq", -2 ** 63, 4, -2)
        + "AB".encode("utf-16-be") + "AB".encode("utf-16-le")
    )
    assert t.read("numbers.bin") == expected, t.read("numbers.bin").hex()
