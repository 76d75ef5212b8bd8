# rh.txt starts read-only and hidden. Wine keeps read-only in the Unix mode and hidden and
# system in the extended attribute "user.DOSATTRIB" ("0x2" hidden, "0x4" system).
import os
import stat

DOS = "user.DOSATTRIB"


def dos_bits(path):
    try:
        return int(os.getxattr(path, DOS).decode(), 16)
    except OSError:
        return 0


def setup(t):
    for name in ("rh.txt", "plain.txt", "other.txt", "sub/x"):
        t.write("d/" + name, name)
    os.setxattr(t.path("d/rh.txt"), DOS, b"0x2")
    os.chmod(t.path("d/rh.txt"), stat.S_IREAD)


def check(t):
    def state(name):
        path = t.path("d/" + name)
        read_only = not (os.stat(path).st_mode & stat.S_IWUSR)
        return read_only, dos_bits(path) & 6

    assert state("rh.txt") == (False, 4), state("rh.txt")       # system only
    assert state("plain.txt") == (False, 2), state("plain.txt")  # hidden only
    assert state("other.txt") == (True, 0), state("other.txt")   # read-only only
    assert dos_bits(t.path("d/sub")) & 2 == 0
    for name in ("rh.txt", "plain.txt", "other.txt"):
        os.chmod(t.path("d/" + name), stat.S_IREAD | stat.S_IWRITE)
