# Random text for search.zal, and what it found checked against Python's bytes methods.
import random

_rng = random.Random(18)
DATA = bytes(_rng.choice(b"ab") for _ in range(4000))


def setup(t):
    t.write("random.txt", DATA)


def count_from(data, pattern, start, end):
    # Occurrences that begin from start to end; a match may reach past the end.
    return data[start:end + len(pattern)].count(pattern)


def check(t):
    expected = [
        DATA.find(b"bab", 17),
        DATA.rfind(b"abba", 0, 3001),
        DATA.find(b"bbb"),
        DATA.count(b"aba"),
        count_from(DATA, b"ab", 100, 2000),
    ]
    got = [int(v) for v in t.read("found.txt").decode().split(",")]
    assert got == expected, (got, expected)
