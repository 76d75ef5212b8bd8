"""Lists the resources of a PE file: (type, name, language, size) tuples, read from its
resource section. Used by the launcher tests to check what the program carries."""
import struct
from pathlib import Path


def _section_for_rsrc(data):
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    assert data[pe:pe + 4] == b'PE\0\0'
    sections, opt_size = struct.unpack_from('<H', data, pe + 6)[0], struct.unpack_from('<H', data, pe + 20)[0]
    table = pe + 24 + opt_size
    for i in range(sections):
        name, vsize, va, rawsize, rawptr = struct.unpack_from('<8sIIII', data, table + 40 * i)
        if name.rstrip(b'\0') == b'.rsrc':
            return va, rawptr
    raise ValueError('no resource section')


def resources(path):
    data = Path(path).read_bytes()
    va, rawptr = _section_for_rsrc(data)

    def directory(offset):
        named, ids = struct.unpack_from('<HH', data, rawptr + offset + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from('<II', data, rawptr + offset + 16 + 8 * i)
            if name & 0x80000000:
                length = struct.unpack_from('<H', data, rawptr + (name & 0x7FFFFFFF))[0]
                start = rawptr + (name & 0x7FFFFFFF) + 2
                name = data[start:start + 2 * length].decode('utf-16-le')
            yield name, target

    out = []
    for rtype, t in directory(0):
        for rname, n in directory(t & 0x7FFFFFFF):
            for lang, l in directory(n & 0x7FFFFFFF):
                rva, size = struct.unpack_from('<II', data, rawptr + l)
                start = rva - va + rawptr
                out.append((rtype, rname, lang, size, data[start:start + size]))
    return out
