# The end of udf_error.zal's trace.
def check(t):
    lines = t.read("trace.txt").decode("latin-1").split("\r\n")
    end = lines.index("z = half(4)")
    assert lines[end - 2:] == [
        "--- In UDF (half) ---", "",
        "z = half(4)", "CALLING UDF (half)",
        "z = half(4)", "RETURNING FROM UDF (half)",
        "z = half(4)", "VALUE INT => 0",
        "TERMINAL UDF ERROR OCCURRED -- JOB EXITING=>9015",
        ";;;END OF JOB;;;", "",
    ], lines[end - 2:]
