"""The stub (cmdline_stub.exe) copied into a folder with a blank, and two App Paths entries
of this test: "dgtool.exe" names the stub through a variable and a "Path" folder,
"dgtoolgone.exe" a program that does not exist. Both are removed after the run."""
import os
import shutil

import kvtest

APP_PATHS = r"HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths"
KEYS = [APP_PATHS + r"\dgtool.exe", APP_PATHS + r"\dgtoolgone.exe"]


def remove_keys():
    for key in KEYS:
        kvtest.reg("delete", key, "/f")


def setup(t):
    remove_keys()
    os.makedirs(t.path("stub dir"))
    shutil.copy(os.path.join(t.bin, "cmdline_stub.exe"), t.path("stub dir/dgstub.exe"))
    adds = [
        (KEYS[0], "/ve", "/t", "REG_EXPAND_SZ", "/d", r"%KVTEST_WORK%\stub dir\dgstub.exe"),
        (KEYS[0], "/v", "Path", "/t", "REG_EXPAND_SZ", "/d", r"%KVTEST_WORK%\tools"),
        (KEYS[1], "/ve", "/d", r"%KVTEST_WORK%\gone\none.exe"),
        (KEYS[1], "/v", "Path", "/d", r"%KVTEST_WORK%\gonetools"),
    ]
    for key, *add in adds:
        code, out = kvtest.reg("add", key, *add, "/f")
        assert code == 0, (add, out)


def check(t):
    try:
        lines = t.read("stub.txt").decode("utf-8").splitlines()
    finally:
        remove_keys()
    stub = t.work_win + r"\stub dir\dgstub.exe"
    commands = [l[4:] for l in lines if l.startswith("CMD ")]
    paths = [l[5:] for l in lines if l.startswith("PATH ")]
    assert commands == ['"%s" base' % stub, '"%s" quoted' % stub, '"%s" one two' % stub,
                        '"%s" after' % stub, '"%s" failed' % stub, '"%s"' % stub], commands
    base = paths[0]
    tools = t.work_win + "\\tools;"
    assert paths[2] == tools + base.lstrip(";"), (paths[2], base)
    assert paths[5] == tools + base.lstrip(";"), (paths[5], base)
    assert paths[1] == paths[3] == paths[4] == base, paths
