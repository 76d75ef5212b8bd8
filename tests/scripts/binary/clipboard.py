# The clipboard is shared by every program on the desktop, so this test takes the desktop
# lock; it checks the UTF-16 text the script took from the clipboard.


def check(t):
    assert t.read("clip16.bin") == "abc".encode("utf-16-le"), t.read("clip16.bin")
