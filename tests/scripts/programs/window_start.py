"""Tells the script where the probe target is, notes the id of the process whose window is
"Started Target" and closes both windows the script opens."""
import os

import kvtest


def setup(t):
    t.write("target.txt", kvtest.windows_path(os.path.join(t.bin, "probe_target.exe")))


def during(t):
    started = t.probe.wait(title_exact="Started Target", timeout=20000)
    t.started_pid = int(started["pid"])
    t.probe.close(hwnd=started.hwnd)
    waited = t.probe.wait(title_exact="Waited Target", timeout=20000)
    t.probe.close(hwnd=waited.hwnd)


def check(t):
    assert t.output[0] == str(t.started_pid), (t.output, t.started_pid)
