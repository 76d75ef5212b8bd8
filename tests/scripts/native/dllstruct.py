"""The year that GetLocalTime wrote into the structure is the clock's year (the prefix runs
in UTC, as this check does)."""
import time


def check(t):
    assert t.output[0] == "year %d" % time.gmtime().tm_year, t.output[0]
