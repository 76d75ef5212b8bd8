# The version fixture library from the build, and sources and targets of known stamps.
import calendar
import os
import shutil

STAMPS = {"src/old.txt": 2020, "dst/old.txt": 2023, "src/new.txt": 2024, "dst/new.txt": 2020,
          "src/forced.txt": 2020, "dst/forced.txt": 2023}


def setup(t):
    shutil.copy(os.path.join(t.bin, "fixtures", "verinfo_fixture.dll"), t.path("fix.dll"))
    t.write("plain.txt", "no version here")
    for name, year in STAMPS.items():
        t.write(name, "%s from %d" % (name, year))
        when = calendar.timegm((year, 1, 1, 0, 0, 0, 0, 0, 0))
        os.utime(t.path(name), (when, when))


def check(t):
    assert t.read("dst/old.txt") == b"dst/old.txt from 2023"
    assert t.read("dst/new.txt") == b"src/new.txt from 2024"
    assert t.read("dst/copy.txt") == b"src/new.txt from 2024"
    assert t.read("dst/forced.txt") == b"src/forced.txt from 2020"
