"""Three probe targets for the script; the ids AppProcId answered are those of their
windows; "App Three" hears the request to close; "App Four", which the script starts, is
closed while the script waits for its end."""
import os

import kvtest

TITLES = ["App One", "App Two", "App Three"]


def setup(t):
    t.write("target.txt", kvtest.windows_path(os.path.join(t.bin, "probe_target.exe")))
    t.targets = [t.start_target("--title", title) for title in TITLES]
    t.pids = [int(t.probe.wait(title_exact=title)["pid"]) for title in TITLES]


def during(t):
    four = t.probe.wait(title_exact="App Four", timeout=60000)
    t.probe.close(hwnd=four.hwnd)


def check(t):
    assert sorted(int(i) for i in t.output[2].split("\t")) == sorted(t.pids), (t.output[2], t.pids)
    assert t.said(t.targets[2]) == ["CLOSE"]
