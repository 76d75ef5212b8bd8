"""Runs one script test: <name>.zal through the test host (kvhost run) under Wine, and
compares what it printed with <name>.out. See tests/scripts/README.md for the format.

    run_script_test.py --kvhost bin/kvhost.exe --script tests/scripts/area/name.zal
                       [--kvhost-arg=ARG ...]

Exit: 0 passed, 1 failed, 77 skipped (the engine lacks an export the host needs, or the
script says "; test: skip=<reason>"). KVTEST_UPDATE=1 writes the output into <name>.out.
"""
import argparse
import difflib
import importlib.util
import os
import re
import select
import shlex
import shutil
import subprocess
import sys
import threading
import time
import traceback

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lib"))
import kvtest  # noqa: E402

SKIP = 77
DIRECTIVE = re.compile(r"^;\s*test:\s*([\w-]+)\s*(?:=\s*(.*?))?\s*$")
KNOWN = {"args", "exit", "timeout", "boxes", "hooks", "lang", "tz", "skip", "desktop", "fixtures", "reserve",
         "quietlog", "window"}
# Wine hands on the low byte of a crashed process's exception code.
CRASHES = {5: " (the host crashed: access violation)", 253: " (the host crashed: stack overflow)",
           116: " (the host crashed: heap corruption)", 255: " (the host was stopped)"}


def read_directives(script):
    """Directives are comment lines "; test: key=value" at the top of the script."""
    found = {}
    with open(script, "rb") as f:
        for raw in f:
            line = raw.decode("latin-1").strip()
            if not line:
                continue
            if not line.startswith(";"):
                break
            m = DIRECTIVE.match(line)
            if m:
                if m.group(1) not in KNOWN:
                    raise SystemExit("%s: unknown directive '%s' (known: %s)" % (
                        script, m.group(1), ", ".join(sorted(KNOWN))))
                found[m.group(1)] = m.group(2) if m.group(2) is not None else ""
    return found


def normalise(text):
    lines = text.replace("\r\n", "\n").replace("\r", "\n").split("\n")
    while lines and lines[-1] == "":
        lines.pop()
    return lines


def line_matches(expected, actual):
    if "{ANY}" not in expected:
        return expected == actual
    pattern = ".*".join(re.escape(part) for part in expected.split("{ANY}"))
    return re.fullmatch(pattern, actual, re.S) is not None


class ScriptTest:
    """What a companion <name>.py receives: the work folder, the host's process, the probe."""

    def __init__(self, script, work, bin_dir):
        self.script = script
        self.name = os.path.splitext(os.path.basename(script))[0]
        self.work = work                         # Linux path of the work folder
        self.work_win = kvtest.c_path(work)      # the same as the script sees it (C:\...)
        self.bin = bin_dir
        self.probe = kvtest.Probe(bin_dir)
        self.pid_file = os.path.join(work, "kvhost.pid")
        # The run's own application-data folder, so the engine's settings file is private.
        self.settings = os.path.join(work, "kvsettings")
        self.settings_win = kvtest.c_path(self.settings)
        self.output = None                       # stdout lines, for check()
        self.exit_code = None
        self.process = None
        self.desktop = None                      # the run's own desktop (directive "desktop")
        self.programs = []                       # programs start() began, ended after the run

    def path(self, rel):
        return os.path.join(self.work, *rel.replace("\\", "/").split("/"))

    def write(self, rel, data):
        p = self.path(rel)
        os.makedirs(os.path.dirname(p), exist_ok=True)
        with open(p, "wb") as f:
            f.write(data.encode("utf-8") if isinstance(data, str) else data)

    def read(self, rel):
        with open(self.path(rel), "rb") as f:
            return f.read()

    def exists(self, rel):
        return os.path.exists(self.path(rel))

    def pid(self, timeout=10.0):
        """The Windows process id of the running test host."""
        return int(kvtest.wait_for_file(self.pid_file, timeout).strip())

    def window(self, **sel):
        """Waits for a window of the test host (by title, cls, ...) and returns its line."""
        return self.probe.wait(pid=self.pid(), **sel)

    def settings_ini(self):
        """The engine's settings file of this run (Linux path); it may not exist yet."""
        return os.path.join(self.settings, "Kelvoran", "Settings", "TRIMVALE.INI")

    def running(self):
        return self.process is not None and self.process.poll() is None

    def start(self, exe, *args):
        """Starts a program of bin/ (on the run's own desktop, when it has one: the program
        takes --desktop); it is stopped after the run if it is still running."""
        if self.desktop:
            args = ("--desktop", self.desktop) + args
        proc = kvtest.start(os.path.join(self.bin, exe), *args)
        self.programs.append(proc)
        return proc

    def checkpoint(self, name, timeout=20000):
        """Waits until the script stands at a checkpoint: it titles its window "KVT <name>"
        and waits for resume(name), which titles it "KVT <name> done"."""
        return self.probe.wait(pid=self.pid(), title_exact="KVT " + name, hidden=True, timeout=timeout)

    def resume(self, name):
        host = self.probe.wait(pid=self.pid(), title_exact="KVT " + name, hidden=True)
        self.probe.settext("KVT %s done" % name, hwnd=host.hwnd, hidden=True)

    def start_target(self, *args):
        """Starts the probe target (tests/tools/probe_target.cpp) and waits until its window
        is up; its report lines are read from .stdout."""
        proc = self.start("probe_target.exe", *args)
        ready = proc.stdout.readline().strip()
        assert ready == b"READY", "the probe target did not start: %r" % ready
        return proc

    def said(self, proc, timeout=10.0):
        """The lines a started program printed, once it has ended (or the time is up). The
        pipe is not read to its end: a program of Wine's that the started one began (the
        desktop's own process) may hold it open."""
        deadline = time.time() + timeout
        data = b""
        fd = proc.stdout.fileno()
        while True:
            if select.select([fd], [], [], 0.05)[0]:
                chunk = os.read(fd, 4096)
                if not chunk:
                    break
                data += chunk
            elif proc.poll() is not None or time.time() > deadline:
                break
        return data.decode("utf-8", "replace").splitlines()

    def stop_started(self):
        for proc in self.programs:
            if proc.poll() is None:
                proc.kill()
            proc.wait(timeout=10)
            proc.stdout.close()
            proc.stderr.close()


def load_companion(script):
    path = os.path.splitext(script)[0] + ".py"
    if not os.path.exists(path):
        return None
    spec = importlib.util.spec_from_file_location("companion", path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def compare_tree(expected_dir, work):
    """Every file under <name>.expect must be in the work folder with the same bytes."""
    problems = []
    for base, _, files in os.walk(expected_dir):
        for f in files:
            want = os.path.join(base, f)
            rel = os.path.relpath(want, expected_dir)
            got = os.path.join(work, rel)
            if not os.path.exists(got):
                problems.append("missing after the run: %s" % rel)
                continue
            with open(want, "rb") as a, open(got, "rb") as b:
                if a.read() != b.read():
                    problems.append("differs after the run: %s" % rel)
    return problems


def copy_fixtures(names, fixtures, work):
    """Copies the build's fixtures (files or folders under bin/fixtures) into the work
    folder; answers a problem text, or None."""
    for name in [n.strip() for n in names.split(",") if n.strip()]:
        source = os.path.normpath(os.path.join(fixtures, name))
        if not source.startswith(os.path.normpath(fixtures) + os.sep) or not os.path.exists(source):
            return "fixture %r is not in %s (is it built?)" % (name, fixtures)
        target = os.path.join(work, os.path.basename(source))
        if os.path.isdir(source):
            shutil.copytree(source, target, dirs_exist_ok=True)
        else:
            shutil.copy2(source, target)
    return None


def describe_windows(t):
    """The visible windows of the host at a time-out: usually a box nobody answered."""
    try:
        pid = int(open(t.pid_file).read().strip())
        lines = t.probe.run("list", check=False, pid=pid, timeout=0)
        report = []
        for w in lines:
            _, controls, items = t.probe.dump(hwnd=w.hwnd, timeout=0)
            report.append("  window %r (%s)" % (w.get("text"), w.get("class")))
            report += ["    %s %r" % (c.get("class"), c.get("text")) for c in controls if c.get("text")]
        return "\n".join(report) or "  (no visible window)"
    except Exception as e:  # a report of a failure must not fail itself
        return "  (windows could not be listed: %s)" % e


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--kvhost", required=True)
    ap.add_argument("--script", required=True)
    ap.add_argument("--kvhost-arg", action="append", default=[])
    opts = ap.parse_args()
    kvtest.require_env()

    script = os.path.abspath(opts.script)
    stem = os.path.splitext(script)[0]
    area = os.path.basename(os.path.dirname(script))
    directives = read_directives(script)
    if "skip" in directives:
        print("skipped: %s" % (directives["skip"] or "the script says so"))
        return SKIP

    bin_dir = os.path.dirname(os.path.abspath(opts.kvhost))
    suite = os.path.basename(os.path.dirname(os.path.dirname(script)))
    work = os.path.join(kvtest.drive_c(), "kvtest", "%s.%s.%s" % (suite, area, os.path.basename(stem)))
    shutil.rmtree(work, ignore_errors=True)
    if os.path.isdir(stem + ".files"):
        shutil.copytree(stem + ".files", work)
    os.makedirs(work, exist_ok=True)
    problem = copy_fixtures(directives.get("fixtures", ""), os.path.join(bin_dir, "fixtures"), work)
    if problem:
        print("FAILED: %s" % problem)
        return 1

    t = ScriptTest(script, work, bin_dir)
    if directives.get("desktop") is not None:
        t.desktop = "kvtest.%s.%s" % (area, os.path.basename(stem))
    try:
        return run(opts, directives, script, stem, work, t)
    finally:
        t.stop_started()


def run(opts, directives, script, stem, work, t):
    companion = load_companion(script)
    if companion and hasattr(companion, "setup"):
        companion.setup(t)

    args = list(opts.kvhost_arg)
    if "boxes" in directives:
        args.append("--boxes")
    if directives.get("hooks"):
        args += ["--hooks", directives["hooks"]]
    if directives.get("reserve"):
        args += ["--reserve", directives["reserve"]]
    if "quietlog" in directives:
        args += ["--quiet-log", t.work_win + "\\quiet.log"]
    if t.desktop:
        args += ["--desktop", t.desktop]
    args += ["--settings-root", t.settings_win, "--pid-file", kvtest.c_path(t.pid_file),
             kvtest.windows_path(script)]
    args += shlex.split(directives.get("args", ""))
    env = dict(os.environ, KVTEST_WORK=t.work_win)
    if directives.get("lang"):
        env["LC_ALL"] = directives["lang"]
    if directives.get("tz"):
        env["TZ"] = directives["tz"]
    timeout = float(directives.get("timeout") or 30)

    t.process = kvtest.start(opts.kvhost, "run", *args, cwd=work, env=env)
    errors = []
    during = None
    if companion and hasattr(companion, "during"):
        def drive():
            try:
                companion.during(t)
            except Exception:
                errors.append("the companion's during() failed:\n" + traceback.format_exc())
        during = threading.Thread(target=drive, daemon=True)
        during.start()

    started = time.time()
    try:
        out, err = t.process.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        windows = describe_windows(t)
        t.process.kill()
        out, err = t.process.communicate()
        print("FAILED: the script did not end within %g s; its windows then:\n%s" % (timeout, windows))
        print("output so far:\n" + out.decode("utf-8", "replace") + err.decode("utf-8", "replace"))
        for e in errors:
            print(e)
        print("work folder kept: %s" % work)
        return 1
    if during:
        during.join(max(1.0, timeout - (time.time() - started)))
        if during.is_alive():
            errors.append("the companion's during() did not finish")

    code = t.process.returncode
    text = out.decode("utf-8", "replace")
    for variant in {t.work_win, t.work_win.lower(), t.work_win.upper()}:
        text = text.replace(variant, "{WORK}")
    t.output = normalise(text)
    t.exit_code = code
    stderr = err.decode("utf-8", "replace").strip()

    if code == SKIP:
        print("skipped: the test host could not run the script:\n" + stderr)
        shutil.rmtree(work, ignore_errors=True)
        return SKIP

    if os.environ.get("KVTEST_UPDATE") == "1":
        with open(stem + ".out", "w", encoding="utf-8", newline="\n") as f:
            f.write("".join(l + "\n" for l in t.output))
        print("updated %s.out" % stem)
    expected = normalise(open(stem + ".out", encoding="utf-8").read()) if os.path.exists(stem + ".out") else None
    if expected is None:
        errors.append("%s.out is missing (KVTEST_UPDATE=1 writes it)" % stem)
    elif len(expected) != len(t.output) or not all(map(line_matches, expected, t.output)):
        # Lines that match through {ANY} are shown as they came, so the diff shows real changes.
        shown = [a if line_matches(e, a) else e for e, a in zip(expected, t.output)]
        shown += expected[len(shown):]
        diff = difflib.unified_diff(shown, t.output, "expected (%s.out)" % os.path.basename(stem),
                                    "actual", lineterm="")
        errors.append("output differs:\n" + "\n".join(diff))

    want_code = int(directives.get("exit") or 0)
    if code != want_code:
        errors.append("exit code %d, expected %d%s" % (code, want_code, CRASHES.get(code, "")))
    if os.path.isdir(stem + ".expect"):
        errors += compare_tree(stem + ".expect", work)
    if directives.get("quietlog"):
        # The text the quiet-mode log must hold; "\n" in it stands for a line end (CR LF).
        wanted = directives["quietlog"].replace("\\n", "\r\n")
        path = os.path.join(work, "quiet.log")
        log = open(path, "rb").read().decode("latin-1") if os.path.exists(path) else ""
        if wanted not in log:
            errors.append("quiet.log does not hold %r; it holds:\n%s" % (wanted, log))
    if not errors and companion and hasattr(companion, "check"):
        try:
            companion.check(t)
        except Exception:
            errors.append("the companion's check() failed:\n" + traceback.format_exc())

    if errors:
        print("FAILED: %s" % script)
        for e in errors:
            print(e)
        if stderr:
            print("test host stderr:\n" + stderr)
        print("work folder kept: %s" % work)
        return 1
    shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
