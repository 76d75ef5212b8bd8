"""The show command that ShortcutMake wrote: the shell reads it back as normal whatever
the file holds, so the oracle is the 32-bit word at offset 0x3C of the .lnk file."""
import struct


def check(t):
    data = t.read("s.lnk")
    assert struct.unpack_from("<I", data, 0x3C)[0] == 7, data[0x3C:0x40]
    assert struct.unpack_from("<I", t.read("plain.LNK"), 0x3C)[0] == 1
