# A second test host holds "locked.txt" open for writing without sharing while the script
# tests it; the script ends the holder by writing "stop.flag".
import os

import kvtest

HOLDER = """h = FileOpen("locked.txt", "WRITE")
FilePut("held.flag", "1")
While !FileExist(".\\stop.flag")
EndWhile
FileClose(h)
"""


def setup(t):
    t.write("holder.zal", HOLDER)


def during(t):
    holder = kvtest.start(os.path.join(t.bin, "kvhost.exe"), "run", t.work_win + "\\holder.zal", cwd=t.work)
    out, err = holder.communicate(timeout=60)
    assert holder.returncode == 0, (holder.returncode, out, err)
