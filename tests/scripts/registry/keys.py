# The script's key under HKLM is its own: a leftover of a failed run goes first. Afterwards
# reg.exe must see what the script left (made\a\b, its own default-less value) and nothing
# of what it deleted; then the key is removed.
import kvtest

ROOT = r"HKLM\Software\ZalTest\keys"


def setup(t):
    kvtest.reg("delete", ROOT, "/f")
    t.write("settings.txt", t.settings_win + "\\Kelvoran\\Settings\\TRIMVALE.INI")


def check(t):
    try:
        assert kvtest.reg_key_exists(ROOT + r"\made\a\b")
        for gone in ("tree", "list", "long", "wow", "n", "ex"):
            assert not kvtest.reg_key_exists(ROOT + "\\" + gone), gone
        assert kvtest.reg_value(ROOT, "v") == ("REG_SZ", "own")
    finally:
        kvtest.reg("delete", ROOT, "/f")
