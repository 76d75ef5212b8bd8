# HKLM\Software\ZalTest\links is this test's own: reg.exe must see the link gone and its
# target whole (with the value written through the link) after the run; then it goes.
import kvtest

ROOT = r"HKLM\Software\ZalTest\links"


def setup(t):
    kvtest.reg("delete", ROOT, "/f")
    t.write("settings.txt", t.settings_win + "\\Kelvoran\\Settings\\TRIMVALE.INI")


def check(t):
    try:
        for gone in ("link", "tree", "direct"):
            assert not kvtest.reg_key_exists(ROOT + "\\" + gone), gone
        assert kvtest.reg_value(ROOT + r"\t", "v") == ("REG_SZ", "target value")
        assert kvtest.reg_value(ROOT + r"\t", "w") == ("REG_SZ", "written through")
    finally:
        kvtest.reg("delete", ROOT, "/f")
