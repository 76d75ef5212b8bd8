"""The target reports the key messages of the keys the script sent, in order."""


def setup(t):
    t.target = t.start_target("input", "--title", "Key Target")


def press(vk, char=None, ext=0):
    """A key going down and up, with the character it types between."""
    lines = ["KEYDOWN %02X %d" % (vk, ext)]
    if char is not None:
        lines.append("CHAR %04X%s" % (ord(char), " " + char if ord(char) >= 0x20 else ""))
    return lines + ["KEYUP %02X %d" % (vk, ext)]


def held(vk, inner, ext=0):
    return ["KEYDOWN %02X %d" % (vk, ext)] + inner + ["KEYUP %02X %d" % (vk, ext)]


def typed(char):
    """A character sent as a character event (VK_PACKET)."""
    return press(0xE7, char)


SHIFT, ENTER = 0x10, 0x0D


def check(t):
    expected = (press(0x41, "a") + held(SHIFT, press(0x42, "B")) + press(ENTER, "\r")
                + held(SHIFT, press(0x09, "\t"))
                + press(ENTER, "\r") * 3
                + held(0x5B, press(0x52, "r"), ext=1)
                + press(0x24, ext=1) + press(0x41, "a")
                + held(SHIFT, press(0xDB, "{")) + held(SHIFT, press(0xDD, "}"))
                + held(SHIFT, press(0xBB, "+")) + held(SHIFT, press(0xC0, "~"))
                + press(0x58, "x")
                + typed("\u00e9") + typed("\u20ac") + typed("\u20ac")
                + press(0x74)
                + press(0x5A, "z")
                + press(0x42, "b")
                + ["CLOSE"])
    said = t.said(t.target)
    assert said[0].startswith("CLIENT ")
    assert said[1:] == expected, "\n".join(said)
