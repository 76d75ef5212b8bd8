# The trace file of modes.zal: comments written on request while the trace is off, the
# internal-info dumps, the variable dump, and a comment while the trace is on.
INFO_LINES = [
    "Total memory allocated for strings, in bytes: ", "Number of variables assigned: ",
    "Number of variable slots available: ", "Number of files open: 1", "Number of file slots available: 127",
    "Number of binary buffers open: 0", "Number of binary buffer slots available: 128",
    "Number of extenders loaded: 0", "Number of extender slots available: 32",
    "Number of extender functions loaded: 0", "Number of extender function slots available: 751",
    "Number of OLE objects open: 0", "Current structure depth: 0", "Current structure slots remaining: 100",
    "Current Call level depth: 0", "Number of UDF's defined: 0", "Number of UDF slots available: 512",
    "Number of DDE conversations open: 0", "Number of DDE conversations available: 10",
]
BEGIN_INFO = "---------- Begin internal info dump -----------"
END_INFO = "----------- End internal info dump ------------"


def setup(t):
    t.write("old.txt", b"an old trace")


def check(t):
    lines = t.read("modes.txt").decode("latin-1").split("\r\n")
    assert "not written while the trace is off" not in lines
    assert lines[:6] == ["", "a comment while off", "", "$" * 80, "framed", "$" * 80], lines[:6]

    at = 6
    assert lines[at] == BEGIN_INFO and lines[at + 20] == END_INFO and lines[at + 21] == "", lines[at:at + 22]
    for line, start in zip(lines[at + 1:at + 20], INFO_LINES):
        assert line.startswith(start), (line, start)
    at += 22
    assert lines[at:at + 4] == [BEGIN_INFO, "Invalid param: abc", END_INFO, ""], lines[at:at + 4]
    at += 4
    assert lines[at:at + 4] == [BEGIN_INFO, "Number of file slots available: 127", END_INFO, ""], lines[at:at + 4]
    at += 4

    assert lines[at] == "---------- Begin variable table dump ----------", lines[at]
    end = lines.index("----------- End variable table dump -----------")
    variables = {}
    for line in lines[at + 1:end]:
        name, _, value = line.partition("  ")    # "%-13s  %s"
        variables[name.strip()] = value.strip()
    assert variables["y"] == "<uninitialized>", variables
    assert variables["n"] == "1" and variables["kverrorarray"] == "<array>", variables
    assert variables["kverrortextstring"] == "FileMove: FROM file open failed", variables
    assert lines[end + 1:end + 3] == ["*" * 60, ""], lines[end:end + 3]

    # Switched on: the banner and header, then the comment framed in "$" lines.
    assert lines[end + 3:end + 7] == ["", "*" * 60, "", "*** Debug Initialized ***"], lines[end + 3:]
    # Every keyword lookup while the option is on writes its dump.
    lookup = lines.index("------- Begin keyword lookup debug dump -------")
    assert lines[lookup + 1] == "QuickLook structure is okay.", lines[lookup:lookup + 12]
    assert lines[lookup + 2:lookup + 7] == ["VARNAMESIZE:          30", "PARENTSTART:          1000",
                                            "UDFSTART:             4000", "ADDONSTART:           10000",
                                            "NKEYTOKENS:           809"], lines[lookup:lookup + 12]
    assert lines[lookup + 9].startswith("lpBDS->prog:"), lines[lookup + 9]
    assert lines[lookup + 10] == "-------- End keyword lookup debug dump --------", lines[lookup + 10]
    framed = lines.index("framed while on")
    assert lines[framed - 2:framed + 2] == ["", "$" * 80, "framed while on", "$" * 80], lines[framed - 2:]
