# Stamps in UTC (the test runs with TZ=UTC, so local time is UTC); a read-only file, a
# folder, and a file whose time is never changed by a failing call.
import calendar
import os
import stat
import time


def epoch(*fields):
    return calendar.timegm(fields + (0, 0, 0))


def setup(t):
    for name in ("a.txt", "b.txt", "c.txt", "d.txt", "e.txt", "ro.txt", "x.log", "sub/in.txt"):
        t.write("d/" + name, name)
    os.chmod(t.path("d/ro.txt"), stat.S_IREAD)
    t.started = time.time()


def check(t):
    s = lambda name: os.stat(t.path("d/" + name))
    assert s("a.txt").st_mtime == epoch(2024, 3, 9, 14, 5, 30), s("a.txt").st_mtime
    assert s("a.txt").st_atime == epoch(2021, 12, 31, 23, 59, 58), s("a.txt").st_atime
    assert s("b.txt").st_mtime == epoch(2020, 1, 2, 0, 0, 0)
    assert s("c.txt").st_mtime == epoch(1999, 12, 31, 8, 0, 0)
    assert s("ro.txt").st_mtime == epoch(2019, 7, 4, 12, 0, 0)
    assert s("sub").st_mtime == epoch(2018, 5, 6, 7, 8, 10)
    assert s("x.log").st_mtime == epoch(2017, 1, 1, 0, 0, 0)
    assert s("d.txt").st_mtime == epoch(2016, 2, 29, 10, 20, 30)
    assert abs(s("e.txt").st_mtime - time.time()) < 120, s("e.txt").st_mtime
    os.chmod(t.path("d/ro.txt"), stat.S_IREAD | stat.S_IWRITE)
