"""What the robustness runs share: the Wine environment, runs of the test host whose output
is watched line by line (a run that stops printing is a hang), the classification of a
run's end, and scratch folders on the prefix's drive C:.

A run is started with --show-end: the test host prints "END ..." when the script's run
returns and "STOPPED" once the engine instance is torn down. A run that ends without both
crashed, whatever its exit code (a stack overflow that Wine cannot even report ends the
process with 1, the code of a script that was stopped).
"""
import atexit
import os
import shutil
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "lib"))
import kvtest  # noqa: E402

# Wine hands on the low byte of a crashed process's exception code.
CRASH_NAMES = {5: "access violation", 253: "stack overflow", 116: "heap corruption",
               9: "stack buffer overrun", 150: "invalid handle", 29: "illegal instruction"}


# The host processes running now: stopped when the harness ends early.
_running = set()
_running_lock = threading.Lock()


def stop_running():
    with _running_lock:
        for process in list(_running):
            try:
                process.kill()
            except OSError:
                pass


atexit.register(stop_running)


def scratch_root(name):
    """A fresh folder C:\\kvrobust\\<name> of the prefix (Linux path)."""
    path = os.path.join(kvtest.drive_c(), "kvrobust", name)
    remove_tree(path)
    os.makedirs(path, exist_ok=True)
    return path


def remove_tree(path):
    def writable(func, p, _):
        try:
            os.chmod(p, 0o700)
            func(p)
        except OSError:
            pass
    shutil.rmtree(path, onerror=writable)


class Outcome:
    """How one run ended.

    kind: "ended" (the run returned and the engine was torn down), "crash" or "hang".
    lines: what the host printed but the markers; marker: the last marker seen (or None);
    code: the exit code (None for a hang, which was stopped).
    """

    def __init__(self, kind, code, lines, marker, detail="", marks=()):
        self.kind = kind
        self.code = code
        self.lines = lines
        self.marker = marker
        self.detail = detail
        self.marks = list(marks)    # (marker, seconds since the start) of every marker line

    def describe(self):
        if self.kind == "crash":
            name = CRASH_NAMES.get(self.code, "the process ended without tearing the engine down")
            return "crash (exit %s: %s)" % (self.code, name)
        if self.kind == "hang":
            return "hang (%s)" % self.detail
        return "ended (exit %s)" % self.code


class HostRun:
    """Runs `kvhost run --show-end <script>` in `work` and watches its output.

    marker(line) -> progress value or None: a line that is a progress marker; the run hangs
    when neither a marker nor any line came for `stall` seconds. `limit` seconds in all end
    it as "over time" (a hang whose detail says so).
    """

    def __init__(self, kvhost, script, work, stall=20.0, limit=600.0, marker=None, hooks=None,
                 desktop=False, extra_args=(), params=(), keep_markers=True):
        self.kvhost = kvhost
        self.script = script
        self.work = work
        self.stall = stall
        self.limit = limit
        self.marker = marker or (lambda line: None)
        self.hooks = hooks
        self.desktop = desktop
        self.extra_args = list(extra_args)
        self.params = list(params)
        self.keep_markers = keep_markers   # keep the times of the markers (Outcome.marks)
        self.process = None
        # Functions called with this run every quarter second once it printed nothing for
        # watch_after seconds (a box that waits stops the output).
        self.watchers = []
        self.watch_after = 0.5
        self.close_tries = {}      # window handle -> times a watcher tried to close it

    def pid(self):
        """The host's Windows process id (None before it wrote it)."""
        try:
            return int(open(os.path.join(self.work, "kvhost.pid")).read().strip())
        except (OSError, ValueError):
            return None

    def boxes(self):
        """The titles of the host's visible windows but its own: boxes waiting for a person."""
        pid = self.pid()
        if pid is None:
            return []
        probe = kvtest.Probe(os.path.dirname(self.kvhost), timeout=0)
        return [w.get("text", "") for w in probe.run("list", check=False, pid=pid, timeout=0)
                if w.kind == "WINDOW" and w.get("class") != "KvHostWindow" and w.get("visible") == "1"]

    def run(self):
        settings = os.path.join(self.work, "kvsettings")
        os.makedirs(settings, exist_ok=True)
        args = ["run", "--show-end", "--settings-root", kvtest.c_path(settings),
                "--pid-file", kvtest.c_path(os.path.join(self.work, "kvhost.pid"))]
        if self.hooks:
            args += ["--hooks", str(self.hooks)]
        args += self.extra_args + [kvtest.c_path(self.script)] + self.params
        env = dict(os.environ, KVTEST_WORK=kvtest.c_path(self.work),
                   KVTEST_DESKTOP="1" if self.desktop else "0")
        # A host that printed nothing at all never ran the script: under heavy load Wine
        # now and then fails to start a program. That start is made once more.
        for attempt in range(2):
            self.process = kvtest.start(self.kvhost, *args, cwd=self.work, env=env)
            with _running_lock:
                _running.add(self.process)
            try:
                outcome = self.watch()
            finally:
                with _running_lock:
                    _running.discard(self.process)
            if outcome.kind != "crash" or outcome.lines or outcome.marker is not None:
                break
        return outcome

    def watch(self):
        lines = []
        marks = []
        began = time.time()
        state = {"last": began, "marker": None}
        lock = threading.Lock()

        def read():
            for raw in self.process.stdout:
                line = raw.decode("utf-8", "replace").rstrip("\r\n")
                with lock:
                    state["last"] = time.time()
                    m = self.marker(line)
                    if m is None:
                        lines.append(line)
                    else:
                        state["marker"] = m
                        if self.keep_markers:
                            marks.append((m, state["last"] - began))
        reader = threading.Thread(target=read, daemon=True)
        reader.start()
        drain = threading.Thread(target=self.process.stderr.read, daemon=True)
        drain.start()

        started = time.time()
        detail = None
        while self.process.poll() is None:
            time.sleep(0.05 if time.time() - started < 2 else 0.25)
            with lock:
                quiet = time.time() - state["last"]
            if quiet >= self.watch_after:
                for watch in self.watchers:
                    watch(self)
            if quiet > self.stall:
                detail = "no progress for %.0f s" % quiet
                break
            # A run past its time that still starts lines loops; one that has gone quiet
            # is given the stall's time to show whether one statement is stuck.
            over = time.time() - started - self.limit
            if over > 0 and (quiet < 1.0 or over > self.stall):
                detail = "over time after %.0f s" % self.limit
                break
        if detail:
            waiting = self.boxes()
            if waiting:
                detail += "; a box waits: " + " | ".join(waiting)
            self.process.kill()
            self.process.wait()
            reader.join(5)
            return Outcome("hang", None, lines, state["marker"], detail, marks)
        reader.join(10)
        code = self.process.returncode
        ended = any(l.startswith("END result=") for l in lines) and "STOPPED" in lines
        kind = "ended" if ended and code in (0, 1, 2, 6) else "crash"
        return Outcome(kind, code, lines, state["marker"], marks=marks)


def run_workers(jobs, scratch, items, handle):
    """Calls handle(work folder, item) for each item, on `jobs` threads that each have a work
    folder of their own under `scratch`."""
    pending = list(items)
    lock = threading.Lock()

    def worker(number):
        work = os.path.join(scratch, "w%d" % number)
        while True:
            with lock:
                if not pending:
                    return
                item = pending.pop(0)
            handle(work, item)
    threads = [threading.Thread(target=worker, args=(i,), daemon=True) for i in range(max(1, jobs))]
    for t in threads:
        t.start()
    for t in threads:
        while t.is_alive():   # a short join keeps the main thread open to SIGTERM
            t.join(1)


def finish(failures, out_dir, scratch):
    """Prints the failures; answers the exit code. Without failures the scratch folder goes."""
    for text in failures:
        print("  " + text)
    if failures:
        print("kept in %s" % out_dir)
        return 1
    remove_tree(scratch)
    return 0


def close_boxes(run, probe):
    """Closes every visible window of the host but its own (a box nobody is there to
    answer); the run goes on as if the box had been cancelled. Answers their titles."""
    pid = run.pid()
    if pid is None:
        return []
    closed = []
    tries = run.close_tries
    for w in probe.run("list", check=False, pid=pid, timeout=0):
        if w.kind != "WINDOW" or w.get("class") == "KvHostWindow" or w.get("visible") != "1":
            continue
        # A box that stays after being closed (a file list whose close opens the folder
        # chosen, as OK does) is left the way a person leaves it: with Escape.
        tries[w.hwnd] = tries.get(w.hwnd, 0) + 1
        if tries[w.hwnd] % 4 == 0:
            probe.run("keys", check=False, hwnd=w.hwnd, keys="{ESC}", timeout=0)
        else:
            probe.run("close", check=False, hwnd=w.hwnd, timeout=0)
        closed.append(w.get("text", ""))
    return closed


# What a run puts back however it ends (see fail).
cleanups = []


def fail(message):
    """Ends a run that cannot go on (exit 2), from any thread: the hosts running are
    stopped and the cleanups run first."""
    print("robust: " + message, file=sys.stderr, flush=True)
    stop_running()
    for cleanup in cleanups:
        cleanup()
    os._exit(2)     # the workers' threads end with the process


def ensure_env():
    try:
        kvtest.require_env()
    except SystemExit as e:
        fail(str(e))


def bin_dir(explicit=None):
    path = explicit or os.environ.get("KVTEST_BIN")
    if not path:
        fail("the programs' folder is unknown: pass --bin or set KVTEST_BIN")
    return os.path.abspath(path)
