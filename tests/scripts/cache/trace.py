# The trace of trace.zal: each pass of the loop traces the same events as the first, with
# the values of its own x (3, 5 and 7); only the If's outcome differs on the first pass and
# the loop's end on the last.
HEADER_END = "=" * 30


def passes_of(body):
    found = []
    start = body.index("x = twice(pass) + 1")
    for _ in range(3):
        end = body.index("To 3", start) + 2   # `To 3` and its outcome end a pass
        found.append(body[start:end])
        start = end
    return found


def check(t):
    lines = t.read("trace.txt").decode("latin-1").split("\r\n")
    first = lines.index(HEADER_END)
    body = lines[lines.index(HEADER_END, first + 1) + 1:]
    passes = passes_of(body)
    same = [[line.replace(str(x), "X") if line.startswith("VALUE") else line for line in p]
            for p, x in zip(passes, (3, 5, 7))]
    # The last pass ends the loop: its `To 3` is false.
    assert [p[-1] for p in passes] == ["FOR TRUE==>", "FOR TRUE==>", "FOR FALSE==>"], passes
    assert same[1][:-1] == same[2][:-1], passes
    skipped = same[1].index('If x > 4 Then t = s : s') + 1
    assert same[0][skipped] == "STATEMENT SKIPPED", passes[0]
    assert same[0][:skipped] + same[0][skipped + 1:] == same[1][:skipped] + same[1][skipped + 1:], passes
    assert len(passes[0]) == 16, passes
