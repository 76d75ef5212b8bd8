# Python's math module is the oracle of the values: each "= name argument value" line must
# show Python's result to the digits the engine prints (eight decimals, trailing zeros cut).
import math


def engine_text(value):
    text = "%.8f" % value
    text = text.rstrip("0")
    return text + "0" if text.endswith(".") else text


def check(t):
    seen = 0
    for line in t.output:
        if not line.startswith("= "):
            continue
        _, name, arg, shown = line.split(" ")
        expected = engine_text(getattr(math, name)(float(arg)))
        assert shown == expected, "%s(%s): engine %s, Python %s" % (name, arg, shown, expected)
        seen += 1
    assert seen == 17, seen
