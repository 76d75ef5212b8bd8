# reg.exe writes the values the script reads and reads back, byte for byte, those the script
# writes; the key HKLM\Software\ZalTest\values is this test's own and is removed at the end.
import kvtest

ROOT = r"HKLM\Software\ZalTest\values"


def setup(t):
    kvtest.reg("delete", ROOT, "/f")
    adds = [
        ("/v", "dw", "/t", "REG_DWORD", "/d", "0xffffffff"),
        ("/v", "bin", "/t", "REG_BINARY", "/d", "01ab"),
        ("/v", "nobytes", "/t", "REG_BINARY"),
        ("/v", "multi", "/t", "REG_MULTI_SZ", "/d", r"a\0b"),
        ("/v", "nostrings", "/t", "REG_MULTI_SZ", "/d", ""),
        ("/v", "exp", "/t", "REG_EXPAND_SZ", "/d", r"%SystemRoot%\x"),
        ("/v", "sz", "/t", "REG_SZ", "/d", "plain"),
        ("/v", "none", "/t", "REG_NONE"),
        ("/ve", "/d", "key default"),
    ]
    for add in adds:
        code, out = kvtest.reg("add", ROOT, *add, "/f")
        assert code == 0, (add, out)
    # reg add stores a big-endian DWORD in the machine's order: imported, the bytes are exact.
    t.write("be.reg", "REGEDIT4\r\n\r\n[%s]\r\n\"be\"=hex(5):00,00,01,02\r\n" % ROOT.replace(
        "HKLM", "HKEY_LOCAL_MACHINE"))
    assert kvtest.reg("import", kvtest.windows_path(t.path("be.reg")))[0] == 0
    for add in [("/ve", "/d", "sub default"), ("/v", "a", "/d", "1"), ("/v", "b", "/d", "2")]:
        assert kvtest.reg("add", ROOT + r"\sub", *add, "/f")[0] == 0


def check(t):
    try:
        values = kvtest.reg_export(ROOT, t.path("values.reg"))
        assert values["w_bin"] == "hex:01,ab,ff", values["w_bin"]
        assert values["w_nobytes"] == "hex:", values["w_nobytes"]
        assert values["w_q"] == "hex(b):01,02,03,04,05,06,07,08", values["w_q"]
        assert values["w_q3"] == "hex(b):01,02,03", values["w_q3"]
        assert "w_bad" not in values
        assert values["w_m1"] == values["w_m2"] == "hex(7):61,00,00,00,62,00,00,00,00,00", values["w_m1"]
        assert values["w_m0"] == "hex(7):00,00,00,00", values["w_m0"]
        assert values["w_d16"] == "dword:00000010", values["w_d16"]
        assert values["w_dmax"] == "dword:ffffffff", values["w_dmax"]
        assert values["w_dneg"] == "dword:fffffffe", values["w_dneg"]
        assert values["w_ex4"] == "dword:000000ff", values["w_ex4"]
        assert values["w_none"] == "hex(0):", values["w_none"]
        assert values["w_exp"].startswith("hex(2):25,00,53,00"), values["w_exp"]
        assert kvtest.reg_value(ROOT + r"\new\deeper", "w_sz") == ("REG_SZ", "text")
        assert kvtest.reg_value(ROOT + r"\new", "") == ("REG_SZ", "default text")
        assert kvtest.reg_value(ROOT + r"\sub", "b") is None
        assert values["w_owndw"] == "dword:00000007", values["w_owndw"]
        assert values["w_ownex"] == "hex(7):61,00,00,00,62,00,00,00,00,00", values["w_ownex"]
        assert "w_own" not in values
    finally:
        kvtest.reg("delete", ROOT, "/f")
