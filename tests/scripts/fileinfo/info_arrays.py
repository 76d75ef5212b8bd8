# Files of known sizes and stamps (TZ=UTC), a read-only one, two folders, a dot-file (hidden
# under Wine) and a sparse file of 5 GB.
import calendar
import os
import stat


def setup(t):
    when = calendar.timegm((2024, 5, 1, 12, 0, 0, 0, 0, 0))
    for name, text in (("a.txt", "aaa"), ("b1.txt", "bbbbb"), ("c.log", "ccccccc"), ("b2.txt", ""),
                       (".dot.txt", "hidden")):
        t.write("d/" + name, text)
        os.utime(t.path("d/" + name), (when, when))
    os.chmod(t.path("d/b2.txt"), stat.S_IREAD)
    for name in ("s1", "s2"):
        os.makedirs(t.path("d/" + name))
        os.utime(t.path("d/" + name), (when, when))
    os.makedirs(t.path("big"))
    with open(t.path("big/huge.bin"), "wb") as f:
        f.truncate(5 * 1024 ** 3)


def check(t):
    os.chmod(t.path("d/b2.txt"), stat.S_IREAD | stat.S_IWRITE)
