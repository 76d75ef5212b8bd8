"""The stub (cmdline_stub.exe) copied into a folder with a blank; the script's extension
".kvtassoc" and its class "kvtassoc.file" are removed before and after the run."""
import os
import shutil

import kvtest

KEYS = [r"HKCR\.kvtassoc", r"HKCR\kvtassoc.file"]


def setup(t):
    for key in KEYS:
        kvtest.reg("delete", key, "/f")
    os.makedirs(t.path("stub dir"))
    shutil.copy(os.path.join(t.bin, "cmdline_stub.exe"), t.path("stub dir/kvtstub.exe"))


def check(t):
    for key in KEYS:
        assert not kvtest.reg_key_exists(key), key
