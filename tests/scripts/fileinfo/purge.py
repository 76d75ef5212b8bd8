# Sources for FilePurge and a model of its records that every target and count is checked
# against: a record runs up to and including its line feed; a last line without one is
# compared as if it ended like the first record; the target ends as the source did.
import random

MARKS = {"utf-16-le": b"\xff\xfe", "utf-16-be": b"\xfe\xff", "utf-8": b"\xef\xbb\xbf"}
MODES = {2: "utf-16-le", 3: "utf-16-be", 4: "utf-8"}

SOURCES = {
    "crlf.txt": b"a\r\nb\r\na\r\nc\r\n",
    "case.txt": b"Abc\nABC\n",
    "mark8.txt": b"\xef\xbb\xbfx\ny\nx\n",
    "empty.txt": b"",
    "odd16.txt": "ab".encode("utf-16-le") + b"c",
    "odd16mark.txt": b"\xff\xfe" + "ab".encode("utf-16-le") + b"c",
    "lastlf.txt": b"x\ny\nx",
    "mixed.txt": b"a\r\nb\na",
    "lastnew.txt": b"a\nb\na\nc",
    "lastcrlf.txt": b"a\r\nb\r\na",
    "ends.txt": b"a\r\na\n",
    "single.txt": b"lonely",
    "wide.txt": b"\xff\xfe" + "Ab\r\nab\r\nc\r\nAB".encode("utf-16-le"),
    "widebe.txt": b"\xfe\xff" + "x\ny\nx\nY".encode("utf-16-be"),
    "nomark16.txt": "a\nb\na\n".encode("utf-16-le"),
    "nomark16be.txt": "a\nb\na\n".encode("utf-16-be"),
    "same.txt": b"s\ns\n",
}

# The script's label, the target, the source, ignore case, the encoding mode.
EXPECTED = [
    ("crlf", "crlf.txt", "crlf.txt", False, 0),
    ("case, exact", "case_exact.txt", "case.txt", False, 0),
    ("case, ignored", "case_ignored.txt", "case.txt", True, 0),
    ("mark kept", "mark8.txt", "mark8.txt", False, 0),
    ("lf, last dropped", "lastlf.txt", "lastlf.txt", False, 0),
    ("mixed ends, last dropped", "mixed.txt", "mixed.txt", False, 0),
    ("last line new", "lastnew.txt", "lastnew.txt", False, 0),
    ("crlf, last dropped", "lastcrlf.txt", "lastcrlf.txt", False, 0),
    ("cr lf and lf differ", "ends.txt", "ends.txt", False, 0),
    ("no line end at all", "single.txt", "single.txt", False, 0),
    ("utf-16le mark, ignore case", "wide.txt", "wide.txt", True, 0),
    ("utf-16be mark", "widebe.txt", "widebe.txt", False, 0),
    ("utf-16le mode 2", "nomark16.txt", "nomark16.txt", False, 2),
    ("utf-16be mode 3", "nomark16be.txt", "nomark16be.txt", False, 3),
    ("many lines", "many.txt", "many.txt", False, 0),
    ("many lines, ignore case", "many_ignored.txt", "many.txt", True, 0),
]
ABSENT = ["empty.txt", "odd16.txt", "odd16mark.txt", "mark8_ignored.txt", "mode4_ignored.txt",
          "widebe_ignored.txt", "none.txt"]


def many_lines():
    rng = random.Random(20)
    words = ["alpha", "Alpha", "beta", "BETA", "gamma", "delta", "x", ""]
    return "\r\n".join("%s%d" % (rng.choice(words), rng.randrange(3000)) for _ in range(20000)).encode("ascii")


def records_of(text):
    out, start = [], 0
    for i, ch in enumerate(text):
        if ch == "\n":
            out.append(text[start:i + 1])
            start = i + 1
    if start < len(text):
        out.append(text[start:])
    return out


def model(data, ignore_case, mode):
    """The target's bytes and the dropped count."""
    codec, mark = MODES.get(mode, "latin-1"), b""
    for name, m in MARKS.items():
        if data.startswith(m):
            codec, mark = name, m
            break
    records = records_of(data[len(mark):].decode(codec))
    appended = ""
    if records and not records[-1].endswith("\n"):
        appended = "\r\n" if records[0].endswith("\r\n") else "\n"
        records[-1] += appended
    seen, kept, dropped, last_kept = set(), [], 0, False
    for r in records:
        key = r.lower() if ignore_case else r
        last_kept = key not in seen
        if last_kept:
            seen.add(key)
            kept.append(r)
        else:
            dropped += 1
    out = "".join(kept)
    if appended:
        if last_kept:
            out = out[:-len(appended)]
        else:
            out = out[:-2] if out.endswith("\r\n") else out[:-1]
    return mark + out.encode(codec), dropped


def setup(t):
    SOURCES["many.txt"] = many_lines()
    for name, data in SOURCES.items():
        t.write(name, data)
    t.write("out/.keep", b"")


def check(t):
    counts = {}
    for line in t.output:
        label, _, value = line.rpartition(" ")
        counts[label] = value
    for label, target, source, ignore_case, mode in EXPECTED:
        want, dropped = model(SOURCES[source], ignore_case, mode)
        got = t.read("out/" + target)
        assert got == want, (target, got[:80], want[:80])
        assert counts[label] == str(dropped), (label, counts[label], dropped)
    for target in ABSENT:
        assert not t.exists("out/" + target), target
    assert t.read("same.txt") == SOURCES["same.txt"]
