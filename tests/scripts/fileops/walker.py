# Files for each list form, a folder with files and a subfolder, a read-only file, and a
# file whose full path is longer than 300 characters.
import os
import stat

LONG = "l" * 100 + "/" + "m" * 100 + "/" + "n" * 90 + ".txt"


def setup(t):
    for name in ("a.txt", "b.txt", "c.txt", "d.txt", "e.txt", "f.txt", "keep/one.txt",
                 "keep/two.log", "keep/inner/deep.txt", "ro.txt", "page.html"):
        t.write("d/" + name, name)
    t.write("d/" + LONG, "long")
    t.write("d/longname.txt", LONG.replace("/", "\\"))
    os.chmod(t.path("d/ro.txt"), stat.S_IREAD)


def check(t):
    for gone in ("a.txt", "b.txt", "c.txt", "d.txt", "e.txt", "keep/one.txt", "keep/two.log", LONG):
        assert not t.exists("d/" + gone), gone
    for kept in ("f.txt", "keep/inner/deep.txt", "ro.txt", "page.html"):
        assert t.exists("d/" + kept), kept
    os.chmod(t.path("d/ro.txt"), stat.S_IREAD | stat.S_IWRITE)
