"""Starts the targets and reads what Wallpaper left in the run's private user registry."""
import kvtest

seen = {}


def setup(t):
    t.start_target("--title", "Hidden Probe", "--hidden")
    t.start_target("msgbox")
    target = t.start_target("--title", "Info Target")
    line = t.probe.wait(title_exact="Info Target")
    t.write("pid.txt", line["pid"])


def during(t):
    t.checkpoint("wallpaper")
    key = "HKCU\\Software\\KvTestSettings\\%d_1\\User\\Control Panel\\Desktop" % t.pid()
    _, out, _ = kvtest.run("reg", "query", key)
    for line in out.decode("utf-8", "replace").splitlines():
        parts = line.split()
        if len(parts) == 3 and parts[1] == "REG_SZ":
            seen[parts[0]] = parts[2]
    t.resume("wallpaper")


def check(t):
    assert seen == {"TileWallpaper": "1", "WallpaperStyle": "0"}, seen
