# A file with a mixed-case name, a directory, and a directory deep enough that a file in it
# has a path of more than 300 characters.
LONG_DIR = "d" * 120 + "\\" + "e" * 120


def setup(t):
    t.write("MixedCase.TXT", "x")
    t.write("sub/inner.txt", "y")
    t.write(LONG_DIR.replace("\\", "/") + "/.keep", "")
    t.write("longdir.txt", LONG_DIR)
    t.write("longname.txt", "f" * 40 + ".txt")


def check(t):
    name = LONG_DIR.replace("\\", "/") + "/" + "f" * 40 + ".txt"
    assert t.read(name) == b"long path", t.read(name)
