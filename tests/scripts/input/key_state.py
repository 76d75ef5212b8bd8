"""Keys held down on the X display at the script's signals; the target reports Caps Lock
switched on and off, and the keys it got."""
import subprocess
import time


def setup(t):
    t.target = t.start_target("input", "--title", "Toggle Target")


def hold(key):
    subprocess.run(["xdotool", "keydown", key], check=True)
    time.sleep(0.3)
    subprocess.run(["xdotool", "keyup", key], check=True)


def during(t):
    for name, key in (("f5", "F5"), ("a", "a"), ("b", "b")):
        t.checkpoint(name)
        hold(key)
    t.checkpoint("released")
    t.resume("released")


def press(vk, char=None, ext=0):
    lines = ["KEYDOWN %02X %d" % (vk, ext)]
    if char is not None:
        lines.append("CHAR %04X %s" % (ord(char), char))
    return lines + ["KEYUP %02X %d" % (vk, ext)]


CAPS = press(0x14, ext=1)


def check(t):
    said = t.said(t.target)
    assert said[0].startswith("CLIENT ")
    expected = (CAPS + CAPS + press(0x41, "a")
                + ["KEYDOWN 10 0"] + press(0x42, "B") + ["KEYUP 10 0"] + CAPS + CAPS
                + press(0x74) + press(0x41, "a") + press(0x42, "b") + ["CLOSE"])
    assert said[1:] == expected, "\n".join(said)
