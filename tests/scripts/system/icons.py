# Copies of the fixture library and .ICO files for the icon script; afterwards the written
# .ICO files and the changed libraries are read back with the resource lister.
import os
import shutil
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))
sys.path.insert(0, os.path.join(HERE, "..", "..", "e2e"))
import make_icon_fixture as fixture  # noqa: E402
import pe_resources  # noqa: E402

import kvtest  # noqa: E402


def icons_of(path):
    """The RT_ICON data of a library by id, and its RT_GROUP_ICON data by id."""
    res = pe_resources.resources(path)
    return ({name: data for kind, name, lang, size, data in res if kind == 3},
            {name: data for kind, name, lang, size, data in res if kind == 14})


def ico_images(data):
    count = struct.unpack_from("<H", data, 4)[0]
    images = []
    for i in range(count):
        size, offset = struct.unpack_from("<II", data, 6 + 16 * i + 8)
        images.append(data[offset:offset + size])
    return images


def setup(t):
    dll = os.path.join(t.bin, "icon_fixture.dll")
    for name in ("fixture.dll", "loaded.dll", "readonly.dll", "copy1.dll", "copy2.dll", "copy3.dll", "copy4.dll"):
        shutil.copy(dll, t.path(name))
    os.chmod(t.path("readonly.dll"), 0o444)
    t.write("plain.txt", b"not a program")
    t.write("same.ico", fixture.fixture_ico(fixture.THREE, shade=50))
    t.write("two_same.ico", fixture.fixture_ico(fixture.TWO, shade=7))
    t.write("other.ico", fixture.fixture_ico([(20, 32, False)]))
    t.write("one.ico", fixture.fixture_ico([(32, 4, True)], shade=50))
    cursor = bytearray(fixture.fixture_ico([(16, 32, False)]))
    cursor[2] = 2
    t.write("cursor.ico", bytes(cursor))
    other = [(20, 20, 0, 32, fixture.image(20, 32, i)) for i in range(20)]
    match = (16, 16, 0, 32, fixture.image(16, 32, 50))
    t.write("many.ico", fixture.ico(other + [match]))
    t.write("twenty.ico", fixture.ico(other[:19] + [match]))
    # A program that has loaded a copy while the script extracts from it.
    t.holder = kvtest.start("rundll32.exe", kvtest.c_path(t.path("loaded.dll")) + ",Hold", "30",
                            kvtest.c_path(t.path("held.txt")))
    t.programs.append(t.holder)
    kvtest.wait_for_file(t.path("held.txt"), 20)


def check(t):
    t.holder.kill()
    images, groups = icons_of(t.path("fixture.dll"))
    o = t.read("o.ico")
    assert o[:6] == bytes([0, 0, 1, 0, 3, 0]), o[:6]
    assert struct.unpack_from("<I", o, 6 + 12)[0] == 54
    assert ico_images(o) == [images[1], images[2], images[3]]
    assert ico_images(t.read("t.ico")) == [images[4], images[5]]
    assert t.read("l.ico") == o and t.read("r.ico") == o
    same = ico_images(t.read("same.ico"))
    assert ico_images(t.read("after.ico")) == same
    copy1, _ = icons_of(t.path("copy1.dll"))
    assert [copy1[1], copy1[2], copy1[3]] == same
    copy2, _ = icons_of(t.path("copy2.dll"))
    assert copy2[1] == ico_images(t.read("twenty.ico"))[19]
    assert [copy2[2], copy2[3]] == [images[2], images[3]]
    copy3, groups3 = icons_of(t.path("copy3.dll"))
    assert struct.unpack_from("<H", groups3[1], 4)[0] == 1 and len(groups3[1]) == 6 + 14
    assert groups3[1][6 + 12] == 2   # the kept entry names RT_ICON 2, the 32x32 image
    assert copy3[2] == ico_images(t.read("one.ico"))[0]
    copy4, _ = icons_of(t.path("copy4.dll"))
    assert [copy4[4], copy4[5]] == ico_images(t.read("two_same.ico"))
