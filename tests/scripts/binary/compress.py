# Compressible and random inputs for compress.zal; its streams checked against zlib.
import random
import zlib

_rng = random.Random(1592)
WORDS = [b"binary", b"buffer", b"stream", b"deflate", b"zlib", b"\x00\xff", b"record"]
DATA = b"".join(_rng.choice(WORDS) + bytes([_rng.randrange(256)]) for _ in range(20000))[:100000]
RANDOM = bytes(_rng.randrange(256) for _ in range(5000))


def setup(t):
    t.write("data.bin", DATA)
    t.write("random.bin", RANDOM)


def check(t):
    assert len(DATA) == 100000
    assert t.read("level1.bin") == zlib.compress(DATA, 1)
    assert t.read("level9.bin") == zlib.compress(DATA, 9)
    assert t.read("same.bin") == zlib.compress(DATA, -1)
