# Random inputs of transform.zal; its replaced and translated data checked against Python.
import random

_rng = random.Random(1842)
TEXT = bytes(_rng.choice(b"abc") for _ in range(1500))
BYTES = bytes(_rng.randrange(256) for _ in range(2000))
TABLE = bytes(_rng.sample(range(256), 256))


def setup(t):
    t.write("text.bin", TEXT)
    t.write("bytes.bin", BYTES)
    t.write("table.bin", TABLE)


def check(t):
    assert int(t.read("replaced.txt")) == TEXT.count(b"ab")
    assert t.read("replaced.bin") == TEXT.replace(b"ab", b"xyz")
    assert t.read("translated.bin") == BYTES.translate(TABLE)
