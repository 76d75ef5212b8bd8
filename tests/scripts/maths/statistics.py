# Python's statistics.mean is the oracle of the "mean" lines (the engine prints eight
# decimals at most, and scientific form past 999999999).
import statistics


def check(t):
    means = [line.split(" ", 1)[1] for line in t.output if line.startswith("mean ")]
    expected = [statistics.mean([1, 2.5, 3, -4, 4]), statistics.mean([1.0e15, 3, 7])]
    assert len(means) == len(expected), means
    for shown, value in zip(means, expected):
        assert abs(float(shown) - value) <= abs(value) * 1e-8 + 1e-8, (shown, value)
