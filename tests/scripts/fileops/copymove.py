# Files for each case; "far" is a folder on drive Z: (outside drive C:) for a move that
# crosses volumes.
import os
import shutil
import stat
import tempfile


def setup(t):
    files = {"r1.txt": "r1", "r2.txt": "r2", "sub/s1.txt": "s1", "case.txt": "case",
             "m1.txt": "new m1", "dest/m1.txt": "old m1", "m2.log": "m2", "m3.log": "m3",
             "self.txt": "self", "mc.txt": "mc", "m2.txt": "m2 text", "far.txt": "far", "c1.txt": "c1", "c2.txt": "c2", "ma.txt": "ma",
             "bak/keep": "", "attr/keep": "", "empty.bin": ""}
    for name, text in files.items():
        t.write("d/" + name, text)
    t.write("d/p1.bin", bytes(range(256)) * 3)
    t.write("d/p2.bin", b"\r\n\x00\x1a tail")
    far = tempfile.mkdtemp(prefix="kvfar")
    t.far = far
    t.write("d/zdir.txt", "Z:" + far.replace("/", "\\") + "\\")


def check(t):
    r = lambda name: t.read("d/" + name)
    try:
        assert r("r2.txt") == b"r2" and r("r3.txt") == b"r1"     # the failed rename kept both
        assert not t.exists("d/sub/s1.txt") and r("fromsub.txt") == b"s1"
        assert r("dest/m1.txt") == b"new m1" and not t.exists("d/m1.txt")
        assert r("dest/m2.old") == b"m2" and r("dest/m3.old") == b"m3"
        assert r("self.txt") == b"self"
        assert r("m2.txt") == b"m2 text" and not t.exists("d/nodir")   # the failed move kept it
        assert open(os.path.join(t.far, "far.txt"), "rb").read() == b"far" and not t.exists("d/far.txt")
        assert r("bak/c1.old") == b"c1" and r("bak/c2.old") == b"c2" and r("bak/c1.txt") == b"c1"
        assert r("c1.txt") == b"c1"
        assert r("joined.bin") == bytes(range(256)) * 3 + b"\r\n\x00\x1a tail"
        assert r("new.bin") == b""
        assert r("p1.bin") == bytes(range(256)) * 3
        # A case-only rename is done in place; this platform may keep the old case.
        names = os.listdir(t.path("d"))
        assert ("MC.TXT" in names) != ("mc.txt" in names), names
        assert ("CASE.TXT" in names) != ("case.txt" in names), names
    finally:
        shutil.rmtree(t.far, ignore_errors=True)
        for name in ("attr/c1.txt", "attr/c2.txt"):
            if t.exists("d/" + name):
                os.chmod(t.path("d/" + name), stat.S_IREAD | stat.S_IWRITE)
