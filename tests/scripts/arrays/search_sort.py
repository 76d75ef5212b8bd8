# The orders ArraySort produced, against Python's sorted(): ordinal order is code-unit
# order; numbers are sorted as numbers.


def items(t, label):
    line = next(l for l in t.output if l.startswith(label + ": "))
    return line[len(label) + 2:].split(" ")


def check(t):
    words = "pear Apple apple banana Banana cherry a10 a9 A2 a1 zeta Zeta _x x_ 10 9".split(" ")
    assert items(t, "ordinal") == sorted(words), items(t, "ordinal")
    assert items(t, "ordinal descending") == sorted(words, reverse=True)
    unsorted = [int(v) for v in items(t, "unsorted")]
    assert [int(v) for v in items(t, "numbers")] == sorted(unsorted)
    assert [int(v) for v in items(t, "numbers descending")] == sorted(unsorted, reverse=True)
