# A folder whose names tell the matchers apart: names without extension, a ".html" page
# (whose short name ends in ".HTM"), one- and two-letter names, a folder.
import os

NAMES = ["abc", "abc.txt", "abd.log", "page.html", "a.txt", "ab.txt", "noext", "tests.txt",
         "x.y.z", "sub/inner.txt", "sub/two.dat"]

EXPECTED = {
    "a*": ["abc"],
    "a*.*": ["a.txt", "ab.txt", "abc", "abc.txt", "abd.log"],
    "*.htm": [],
    "?.txt": ["a.txt"],
    "*.": ["abc", "noext"],
    "*s.txt": ["tests.txt"],
    "*": ["a.txt", "ab.txt", "abc", "abc.txt", "abd.log", "noext", "page.html", "tests.txt", "x.y.z"],
    "*.*": ["a.txt", "ab.txt", "abc", "abc.txt", "abd.log", "noext", "page.html", "tests.txt", "x.y.z"],
    "A?C.TXT": ["abc.txt"],
    "two items": ["a.txt", "abd.log"],
    "empty item": [],
    "dirs": ["sub"],
    "nothing": [],
    "system a*": ["a.txt", "ab.txt", "abc", "abc.txt", "abd.log"],
    "none a*": ["a.txt", "ab.txt", "abc", "abc.txt", "abd.log"],
    "none *.htm": ["page.html"],
    "own again a*": ["abc"],
}


def setup(t):
    for name in NAMES:
        t.write("d/" + name, name)


def check(t):
    seen = set()
    for line in t.output:
        if not line.startswith("LIST "):
            continue
        spec, _, names = line[5:].partition(" = ")
        items = names.split("\t") if names else []
        seen.add(spec)
        if spec == "paths":
            want = ["{WORK}\\d\\sub\\" + n for n in ("inner.txt", "two.dat")]
            assert sorted(items) == want, (items, want)
            continue
        if spec == "two items":
            # list order: the items of "?.txt" before those of "*.log"
            assert items == EXPECTED[spec], items
            continue
        assert sorted(items) == EXPECTED[spec], (spec, items)
    assert seen == set(EXPECTED) | {"paths"}, seen
