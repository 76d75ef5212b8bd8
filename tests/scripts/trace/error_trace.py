# The trace of error_trace.zal after its header; the settings file that its dump shows.
import os

HEADER_END = "=" * 30
SETTINGS = b"[TraceTest]\r\nKey=Value\r\n"


def setup(t):
    t.write("here.txt", b"x")
    os.makedirs(os.path.dirname(t.settings_ini()), exist_ok=True)
    with open(t.settings_ini(), "wb") as f:
        f.write(SETTINGS)


def check(t):
    lines = t.read("trace.txt").decode("latin-1").split("\r\n")
    body = lines[lines.index(HEADER_END, lines.index(HEADER_END) + 1) + 1:]
    stack = body.index("---------- Begin structure stack dump ----------")
    assert body[:stack] == [
        "", "********** ErrorMode: @OFF **********", "",
        "ErrorMode(@OFF)", "VALUE INT => 1",
        'FileMove("here.txt", "nosuchdir\\there.txt", @FALSE)', "VALUE INT => 0",
        "ZAL ERROR SUPPRESSED =>1003 (FileMove: Failed)",
        "", "********** ErrorMode: @CANCEL **********", "",
        "ErrorMode(@CANCEL)", "VALUE INT => 0",
        "n = 0", "VALUE INT => 0",
        "while n < 1", "WHILE==>TRUE",
        "x = 1/0", "VALUE INT => 1",
        "TERMINAL ZAL ERROR=>3062 (Attempt to divide by zero)",
        ";;;END OF JOB;;;",
    ], body[:stack]
    # The While frame, padded: its number, kind, line number, text and file name.
    frame = body[stack + 1]
    assert frame.split() == ["1", "while", "10", "while", "n", "<", "1", "error_trace.zal"], frame
    assert body[stack + 2:stack + 5] == ["-------- End structure stack dump --------", "",
                                         "---------- Begin TRIMVALE.INI dump ----------"], body[stack:]
    end = body.index("----------- End TRIMVALE.INI dump -----------")
    assert body[stack + 5:end] == ["[TraceTest]", "Key=Value"], body[stack + 5:end]
    assert body[end + 1:] == ["", ""], body[end:]
