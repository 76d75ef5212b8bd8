# Two programs of unique names in the work folder for RegApp; reg.exe reads their "App
# Paths" keys afterwards and removes them.
import kvtest

APPS = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths"
NAMES = ("ZALTESTREGAPP.EXE", "ZALTESTREGAPP2.EXE", "ZALTESTNOSUCHAPP.EXE")


def remove_keys():
    for name in NAMES:
        kvtest.reg("delete", APPS + "\\" + name, "/f")


def setup(t):
    remove_keys()
    t.write("zaltestregapp.exe", b"MZ")
    t.write("ZalTestRegApp2.exe", b"MZ")
    t.write("appdata.txt", t.settings_win)


def check(t):
    try:
        kind, path = kvtest.reg_value(APPS + r"\ZALTESTREGAPP.EXE", "")
        assert (kind, path.lower()) == ("REG_SZ", (t.work_win + r"\zaltestregapp.exe").lower()), path
        assert kvtest.reg_value(APPS + r"\ZALTESTREGAPP.EXE", "Path") is None
        assert kvtest.reg_value(APPS + r"\ZALTESTREGAPP2.EXE", "Path") == ("REG_SZ", r"C:\zal\bin")
        assert not kvtest.reg_key_exists(APPS + r"\ZALTESTNOSUCHAPP.EXE")
    finally:
        remove_keys()
