# A plain file, and a tree of files of known sizes (with a folder whose name begins with
# a dot, which is walked like any other).
import os

TREE = {"tree/one.bin": 1, "tree/two.bin": 5000, "tree/sub/three.bin": 70000,
        "tree/.hidden/four.bin": 3, "tree/sub/deeper/five.bin": 0}


def setup(t):
    t.write("file.txt", "x")
    for name, size in TREE.items():
        t.write(name, b"z" * size)


def check(t):
    values = dict(line.split(" ", 1) for line in t.output if line.split(" ")[0].isupper())
    total = 0
    for folder, _, files in os.walk(t.path("tree")):
        total += sum(os.path.getsize(os.path.join(folder, f)) for f in files)
    assert int(values["SIZE"]) == total == sum(TREE.values()), (values["SIZE"], total)
    assert int(values["SIZE64"]) == total
    cluster = os.statvfs(t.path(".")).f_bsize
    rounded = sum(-(-size // cluster) * cluster for size in TREE.values())
    assert int(values["CLUSTERED"]) == rounded, (values["CLUSTERED"], rounded, cluster)
    for gone in ("a/b/c", "x2/y", "x1"):
        assert not os.path.exists(t.path(gone)), gone
    for kept in ("a/b", "x2", "x3"):
        assert os.path.isdir(t.path(kept)), kept
