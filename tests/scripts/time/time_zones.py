# The count of names the script printed, against the subkeys of the prefix's Time Zones key.
import os

KEY = r"[Software\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones" + "\\\\"


def check(t):
    with open(os.path.join(os.environ["WINEPREFIX"], "system.reg"), encoding="utf-8", errors="replace") as f:
        zones = {line[len(KEY):].split("]")[0] for line in f if line.startswith(KEY)}
    zones = {z for z in zones if "\\" not in z}
    count = [line for line in t.output if line.startswith("count ")]
    assert count == ["count %d" % len(zones)], (count, len(zones))
