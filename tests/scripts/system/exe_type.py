# Program-file fixtures built with struct: a DOS header ("MZ", the header size in
# paragraphs at 8, the relocation table offset at 24, the new header's offset at 60) and,
# where the relocation offset is 64 or more, a new header of 64 bytes at that offset.
import os
import shutil
import struct

import kvtest


def dos_header(relocations, new_header=64):
    header = bytearray(64)
    struct.pack_into("<2sH", header, 0, b"MZ", 0x90)
    struct.pack_into("<H", header, 24, relocations)
    struct.pack_into("<I", header, 60, new_header)
    return bytes(header)


def new_header(signature, magic=0):
    header = bytearray(64)
    struct.pack_into("<2s", header, 0, signature)
    if signature == b"PE":
        struct.pack_into("<H", header, 24, magic)   # after "PE\0\0" and the file header
    return bytes(header)


def setup(t):
    t.write("dos.exe", dos_header(0x1E) + b"\0" * 100)
    t.write("ne.exe", dos_header(0x40) + new_header(b"NE"))
    t.write("le.exe", dos_header(0x40, 128) + b"\0" * 64 + new_header(b"LE"))
    t.write("pe32.exe", dos_header(0x40) + new_header(b"PE", 0x10B))
    t.write("pe64.dll", dos_header(0x40) + new_header(b"PE", 0x20B))
    t.write("unknown.exe", dos_header(0x40) + new_header(b"XY"))
    t.write("short.exe", dos_header(0x40)[:63])
    t.write("nonew.exe", dos_header(0x40, 4096) + new_header(b"PE", 0x20B))
    t.write("text.txt", "Plain text of more than sixty-four bytes: no program header at its start.\r\n")
    t.write("empty.txt", "")
    shutil.copy(os.path.join(t.bin, "kvcmp64i.exe"), t.path("launcher.exe"))
    shutil.copy(os.path.join(t.bin, "KVDYC64I.dll"), t.path("engine.dll"))
    t.write("engine-path.txt", kvtest.windows_path(os.path.join(t.bin, "KVDYC64I.dll")))


def check(t):
    assert t.exit_code == 0, t.exit_code
