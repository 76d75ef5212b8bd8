"""A copy of the test host that Wine tells it runs on Windows 7 (an AppDefaults version of
its own, removed after the run) finds RunApp unsupported there: 1253."""
import os
import shutil

import kvtest

COPY = "kvhost_runapp7.exe"
DEFAULTS = r"HKCU\Software\Wine\AppDefaults" + "\\" + COPY


def check(t):
    shutil.copy(os.path.join(t.bin, "kvhost.exe"), t.path(COPY))
    shutil.copy(os.path.join(t.bin, "KVDYC64I.dll"), t.path("KVDYC64I.dll"))
    t.write("win7.zal", '#DefineFunction onerror(info)\r\n   hostprint("error " : info[0])\r\n'
            '   Return 1\r\n#EndFunction\r\nIntControl(73, 3, 0, "onerror", "")\r\n'
            'hostprint(WinVersion(1) : "." : WinVersion(0))\r\nx = RunApp("Calculator", "")\r\n')
    assert kvtest.reg("add", DEFAULTS, "/v", "Version", "/d", "win7", "/f")[0] == 0
    try:
        code, out, err = kvtest.run(t.path(COPY), "run", "win7.zal", cwd=t.work)
    finally:
        kvtest.reg("delete", DEFAULTS, "/f")
    assert code == 0 and out.decode().splitlines() == ["6.1", "error 1253"], (code, out, err)
