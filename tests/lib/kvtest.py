"""Helpers for tests that run the Windows programs under the Wine environment of
tools/test.sh: starting programs, path conversion, and the window probe.

    from kvtest import Probe, start, windows_path
    probe = Probe(bin_dir)
    box = probe.wait(title="DLL mismatch", pid=proc.pid_windows)
    probe.click(title="DLL mismatch", button="OK")
"""
import os
import re
import subprocess
import time


def require_env():
    """The Wine environment of tools/test.sh must be up."""
    prefix = os.environ.get("WINEPREFIX")
    if not prefix or os.environ.get("KV_WINE_ENV") != prefix:
        raise SystemExit("no test environment; run tests through tools/test.sh")


def windows_path(path):
    """A Linux path as the Windows programs see it (drive Z: is the root)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def drive_c():
    """The prefix's drive C: on the Linux side."""
    return os.path.join(os.environ["WINEPREFIX"], "drive_c")


def c_path(linux_path):
    """A path under drive_c as C:\\... for the Windows programs."""
    rel = os.path.relpath(os.path.abspath(linux_path), drive_c())
    if rel.startswith(".."):
        return windows_path(linux_path)
    return "C:\\" + rel.replace("/", "\\")


def start(exe, *args, cwd=None, env=None, stdin=subprocess.DEVNULL):
    """Starts a Windows program under Wine; stdout and stderr are pipes."""
    return subprocess.Popen(["wine", exe, *map(str, args)], cwd=cwd, env=env, stdin=stdin,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)


def run(exe, *args, timeout=60, cwd=None, env=None):
    """Runs a Windows program to its end: (exit code, stdout bytes, stderr bytes)."""
    proc = start(exe, *args, cwd=cwd, env=env)
    try:
        out, err = proc.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        proc.kill()
        out, err = proc.communicate()
        raise TimeoutError("%s did not end within %s s\n%s%s" % (
            os.path.basename(exe), timeout, out.decode(errors="replace"), err.decode(errors="replace")))
    return proc.returncode, out, err


# ---------------------------------------------------------------- registry oracle

def reg(*args, timeout=60):
    """Runs Wine's reg.exe ("query", "add", "delete" ...): (exit code, stdout text)."""
    proc = subprocess.run(["wine", "reg", *map(str, args)], stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout)
    return proc.returncode, proc.stdout.decode("utf-8", "replace")


def reg_value(key, name):
    """(type, data) of a value (a name without blanks; "" the default) as "reg query" shows it,
    or None."""
    args = ["query", key, "/ve"] if name == "" else ["query", key, "/v", name]
    code, out = reg(*args)
    if code != 0:
        return None
    for line in out.splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) >= 2 and parts[1].startswith("REG_") and (parts[0] == name or name == ""):
            return parts[1], parts[2] if len(parts) > 2 else ""
    return None


def reg_export(key, linux_path):
    """The values of one key as "reg export" writes them: {name: data}, the data as in a
    .reg file ("hex:01,ab", "dword:0000ffff", "hex(b):01,...", '"text"'); "@" is the default."""
    code, out = reg("export", key, windows_path(linux_path), "/y")
    if code != 0:
        return None
    with open(linux_path, "rb") as f:
        text = f.read().decode("utf-16").replace("\\\r\n  ", "").replace("\\\n  ", "")
    values, inside = {}, False
    for line in text.splitlines():
        if line.startswith("["):
            inside = line[1:-1].lower() == key.replace("HKLM", "HKEY_LOCAL_MACHINE", 1).lower()
        elif inside and "=" in line:
            name, data = line.split("=", 1)
            values["@" if name == "@" else name.strip('"')] = data
    return values


def reg_key_exists(key):
    return reg("query", key)[0] == 0


# ---------------------------------------------------------------- window probe

_FIELD = re.compile(r"(\w+)=(\S*)")


def _unescape(text):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            out.append({"n": "\n", "r": "\r", "t": "\t", "\\": "\\"}.get(text[i + 1], text[i + 1]))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


class Line(dict):
    """One probe output line: .kind ("WINDOW", "CONTROL", "ITEM", ...) and its fields."""

    def __init__(self, raw):
        super().__init__()
        self.raw = raw
        kind, _, rest = raw.partition(" ")
        self.kind = kind
        while rest:
            if rest.startswith("text="):
                self["text"] = _unescape(rest[5:])
                break
            m = _FIELD.match(rest)
            if not m:
                break
            self[m.group(1)] = m.group(2)
            rest = rest[m.end():].lstrip(" ")

    def __getattr__(self, name):
        try:
            return self[name]
        except KeyError:
            raise AttributeError(name)

    @property
    def hwnd(self):
        return int(self["hwnd"], 16)


class ProbeError(AssertionError):
    pass


class Probe:
    """Runs winprobe.exe. Window selection keywords: title, title_exact, cls, pid, hwnd,
    hidden; control selection: id, button, control_class, nth; timeout in ms."""

    def __init__(self, bin_dir, timeout=5000):
        self.exe = os.path.join(bin_dir, "winprobe.exe")
        self.timeout = timeout

    def run(self, command, check=True, **sel):
        args = [command]
        names = {"cls": "--class", "title_exact": "--title-exact", "control_class": "--control-class"}
        sel.setdefault("timeout", self.timeout)
        for key, value in sel.items():
            if value is None or value is False:
                continue
            option = names.get(key, "--" + key.replace("_", "-"))
            args.append(option)
            if value is not True:
                args.append(str(value))
        code, out, err = run(self.exe, *args, timeout=sel["timeout"] / 1000 + 30)
        lines = [Line(l) for l in out.decode("utf-8", "replace").splitlines() if l]
        if check and code != 0:
            raise ProbeError("winprobe %s failed (%d): %s %s" % (
                " ".join(args), code, err.decode(errors="replace").strip(), [l.raw for l in lines]))
        self.last_code = code
        return lines

    def list(self, **sel):
        return self.run("list", **sel)

    def wait(self, **sel):
        """The first matching window (waits for it)."""
        return self.run("wait", **sel)[0]

    def gone(self, **sel):
        self.run("gone", **sel)

    def dump(self, **sel):
        """(window line, control lines, item lines) of the first matching window."""
        lines = self.run("dump", **sel)
        return (lines[0], [l for l in lines if l.kind == "CONTROL"], [l for l in lines if l.kind == "ITEM"])

    def texts(self, **sel):
        """The texts of every control of the window, in order."""
        return [c["text"] for c in self.dump(**sel)[1]]

    def text(self, **sel):
        return self.run("text", **sel)[0]["text"]

    def items(self, **sel):
        return [l["text"] for l in self.run("items", **sel)]

    def click(self, **sel):
        self.run("click", **sel)

    def rclick(self, **sel):
        """A right-button click at the control's centre, or with pos=N at the centre of a
        list view's row N (real mouse input)."""
        self.run("rclick", **sel)

    def lclick(self, **sel):
        """The same with the left button."""
        self.run("lclick", **sel)

    def settext(self, text, **sel):
        self.run("settext", text=text, **sel)

    def select(self, item=None, pos=None, **sel):
        self.run("select", item=item, pos=pos, **sel)

    def keys(self, keys, **sel):
        self.run("keys", keys=keys, **sel)

    def close(self, **sel):
        self.run("close", **sel)

    def size(self, width, height, **sel):
        """Resizes the window (outer size in pixels); answers its WINDOW line."""
        return self.run("size", width=width, height=height, **sel)[0]

    def metrics(self):
        """The METRICS line: basex, basey, caption, screen (as ints and int tuples)."""
        line = self.run("metrics")[0]
        out = {}
        for key, value in line.items():
            parts = [int(v) for v in value.split(",")]
            out[key] = parts[0] if len(parts) == 1 else tuple(parts)
        return out


def screen_pixel(x, y):
    """ImageMagick's text line for the screen point x, y (its colour as "#RRGGBB" in it)."""
    out = subprocess.run(["import", "-window", "root", "-depth", "8", "-crop", "1x1+%d+%d" % (x, y), "txt:-"],
                         capture_output=True, text=True, env=dict(os.environ)).stdout
    return out.strip().splitlines()[-1]


def screen_rgb(x, y):
    """The colour at the screen point x, y as (red, green, blue)."""
    line = screen_pixel(x, y)
    hex_colour = line[line.index("#") + 1:][:6]
    return tuple(int(hex_colour[i:i + 2], 16) for i in (0, 2, 4))


def wait_for_file(path, timeout=10.0):
    """Polls until a file exists and is not empty; returns its text."""
    deadline = time.time() + timeout
    while time.time() < deadline:
        if os.path.exists(path) and os.path.getsize(path) > 0:
            with open(path, encoding="utf-8", errors="replace") as f:
                return f.read()
        time.sleep(0.02)
    raise TimeoutError("%s did not appear within %s s" % (path, timeout))
