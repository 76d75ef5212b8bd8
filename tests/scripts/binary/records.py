# Records for records.zal with distinct random keys, and its sorts checked against Python.
import random
import struct

_rng = random.Random(1443)
COUNT = 100


def records(fmt, keys):
    return [struct.pack("<I" + fmt, i, k) for i, k in enumerate(keys)]


DWORDS = records("I", _rng.sample(range(2 ** 32), COUNT))
DOUBLES = records("d", [_rng.uniform(-1e6, 1e6) for _ in range(COUNT)])


def key_of(fmt):
    return lambda record: struct.unpack("<I" + fmt, record)[1]


def setup(t):
    t.write("dwords.bin", b"".join(DWORDS))
    t.write("doubles.bin", b"".join(DOUBLES))


def check(t):
    assert t.read("dwords_up.bin") == b"".join(sorted(DWORDS, key=key_of("I")))
    assert t.read("dwords_down.bin") == b"".join(sorted(DWORDS, key=key_of("I"), reverse=True))
    assert t.read("doubles_up.bin") == b"".join(sorted(DOUBLES, key=key_of("d")))
