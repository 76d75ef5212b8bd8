# The error dump of errors_only.zal.
HEADER_END = "=" * 30


def setup(t):
    t.write("here.txt", b"x")


def check(t):
    lines = t.read("errors.txt").decode("latin-1").split("\r\n")
    first = lines.index(HEADER_END)
    assert lines[:first] == ["", "*" * 60, "", "*** Error Dump Initialized ***"], lines[:first]
    body = lines[lines.index(HEADER_END, first + 1) + 1:]
    dump = body.index("---------- Begin variable table dump ----------")
    assert body[:dump] == ["x = 1/0", "VALUE INT => 1", "TERMINAL ZAL ERROR=>3062 (Attempt to divide by zero)",
                           ";;;END OF JOB;;;"], body
    variables = {}
    for line in body[dump + 1:body.index("----------- End variable table dump -----------")]:
        name, _, value = line.partition("  ")
        variables[name.strip()] = value.strip()
    assert variables["name"] == "kept", variables
    assert variables["n"] == "7", variables
    assert variables["x"] == "<uninitialized>", variables      # named by the failing statement
    assert variables["kverrorarray"] == "<array>", variables
    assert variables["kverrortextstring"] == "FileMove: Failed", variables
    assert body[-4:] == ["----------- End variable table dump -----------", "*" * 60, "", ""], body[-4:]
