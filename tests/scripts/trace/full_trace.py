# The trace files of full_trace.zal: the header's fixed lines, and the events after it.
import re

HEADER_END = "=" * 30


def lines_of(t, name):
    return t.read(name).decode("latin-1").split("\r\n")


def split_header(lines):
    """The banner, the header (between its two lines of "=") and the events after it."""
    first = lines.index(HEADER_END)
    last = lines.index(HEADER_END, first + 1)
    return lines[:first], lines[first + 1:last], lines[last + 1:]


BODY = [
    "x = 5", "VALUE INT => 5",
    "if x == 5 then", "IF DO==>TRUE",
    'y = "five"', 'VALUE STRING => "five"',
    "else", "ELSE DO==>FALSE",
    'y = "other"', "STATEMENT SKIPPED",
    "endif", "END OPERATOR",
    "while x < 6", "WHILE==>TRUE",
    "x = x + 1", "VALUE INT => 6",
    "endwhile", "END OPERATOR",
    "while x < 6", "WHILE==>FALSE",
    "x = x + 1", "STATEMENT SKIPPED",
    "endwhile", "END OPERATOR",
    "switch x", "SWITCH==>",
    "case 6", "CASE TRUE==>",
    "break", "BREAKING",
    "endswitch", "END OPERATOR",
    "--- In UDF (f) ---", "",
    "z = f(3)", "CALLING UDF (f)",
    "z = f(3)", "RETURNING FROM UDF (f)",
    "z = f(3)", "VALUE INT => 6",
    "gosub there", "GOSUB",
    "return", "RETURN VALUE INT => 0",
    'hostprint("traced")', "VALUE INT => 1",
    "exit", "VALUE INT => 0",
    "--- Normal termination ---",
    ";;;END OF JOB;;;",
    "",
]


def setup(t):
    t.write("trace.txt", b"an old trace that mode 10 deletes\r\n")


def check(t):
    banner, header, body = split_header(lines_of(t, "trace.txt"))
    assert banner == ["", "*" * 60, "", "*** Debug Initialized ***"], banner
    assert header[1] == "kvhost 2025C", header       # the host's version (its function 1001)
    for fixed in ("ZAL DLL 6.25cyc", "ErrorMode: @CANCEL", "Valid Code Signature: No"):
        assert fixed in header, (fixed, header)
    assert any(line.endswith("full_trace.zal") for line in header), header     # the source file
    assert body == BODY, body

    # With elapsed times: each statement line has its "(ms) " prefix, and the function's
    # announcement is followed by the date.
    _, _, timed = split_header(lines_of(t, "timed.txt"))
    assert re.fullmatch(r"\(\d+\) t = 1", timed[0]), timed
    assert timed[1] == "VALUE INT => 1", timed
    assert timed[2] == "--- In UDF (f) ---", timed
    assert re.search(r"\d", timed[3]) and timed[4] == "", timed
    assert re.fullmatch(r"\(\d+\) z = f\(1\)", timed[5]) and timed[6] == "CALLING UDF (f)", timed
    assert ";;;END OF JOB;;;" not in timed, timed
