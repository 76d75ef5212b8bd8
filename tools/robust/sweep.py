"""The built-in sweep: every built-in that the dispatch table serves (listed by
kvbuiltins.exe, so a family that lands later is swept without a change here) is called
with 0 to its maximum + 1 arguments drawn from hostile values, in scripts of a few hundred
calls run by the test host. Every call must answer, with a result or an error number; the
sweep prints each call that crashed the host or did not return.

    sweep.py [--bin DIR] [--seed N] [--per-arity N] [--coverage] [--only a,b] [--skip a,b]
             [--desktop | --all] [--private-only] [--live-windows] [--jobs N] [--out DIR]

--per-arity: random argument sets for each argument count; --coverage adds, for the
largest counts, every hostile value in every position. --desktop sweeps only the calls that
show a box or activate a window (one at a time, a watcher closing each box; run it with the
desktop to itself), --all the other calls and then these. --private-only leaves out the
built-ins that change what other tests running at the same time use (the clipboard, the
registry, programs started on the desktop).
Exit: 0 no crash and no hang, 1 some, 2 the sweep could not run.

--live-windows adds values that name live windows: the script's own, those of a program
nobody here wrote (Wine's notepad, a 300-character line in its edit) and the probe target's,
each program started again when a call has ended it; and numbers that are messages writing
back into their lParam (WM_GETTEXT, EM_GETLINE), IntControl's request that sends one and the
largest count a WORD holds. The message built-ins take these every other time in the
positions where they mean something. Without it the calls of a seed are the same as ever and
no program is started.

Each crash or hang is written as a script of its own into --out (repro-<n>.zal).
"""
import argparse
import collections
import os
import random
import re
import signal
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
import kvtest  # noqa: E402

# ---------------------------------------------------------------- hostile values
# (label, expression, held): a held value is assigned to a variable of its own just before
# the call (each call gets a fresh one, so a call that changes its argument changes nothing
# for the next), the others are written into the call.
VALUES = [
    ("empty", '""', False),
    ("text100k", 'StrFill("A", 102400)', True),
    ("text260", 'StrFill("B", 260)', True),
    ("text2049", 'StrFill("C", 2049)', True),
    ("text32767", 'StrFill("D", 32767)', True),
    ("text65535", 'StrFill("E", 65535)', True),
    ("minus1", "-1", False),
    ("zero", "0", False),
    ("one", "1", False),
    ("intmax", "2147483647", False),
    ("intmin", "(-2147483647 - 1)", False),
    ("int64max", "9223372036854775807", False),
    ("float1e308", "1.0E308", False),
    ("floatneg", "-1.0E308", False),
    ("floathalf", "0.5", False),
    ("wide", 'ChrHexToUnicode("E5652C67AC8A3DD800DE00D8")', True),   # with a lone surrogate
    ("wide40k", 'StrFill(ChrHexToUnicode("E565"), 40000)', True),
    ("array", "ArrDimension(3)", True),
    ("array2d", "kvr_array2d()", True),
    ("map", "kvr_map()", True),
    ("undefined", "kvr_undefined", False),
    ("missing", '"Q:\\kvrobust-missing\\x.txt"', False),   # no call can make it: no drive Q:
    ("longpath", '"\\\\?\\" : DirGet() : StrFill("P", 200) : "\\" : StrFill("Q", 200)', True),
    ("star", '"*"', False),
    ("starstar", '"*.*"', False),
    ("question", '"?"', False),
    ("list", '"a.txt|sub\\b.txt|nofile"', False),
    ("tabs", '"a" : @TAB : "b" : @TAB', True),
    ("name", '"a.txt"', False),
    ("numtext", '" 12abc "', False),
]
# The values of --live-windows, drawn only with it (a value more in the pool would change
# every call that a seed draws). kvr_window reads the identifiers that LiveWindows writes.
LIVE_VALUES = [
    ("ownwindow", 'WinIdGet("")', False),
    ("appwindow", 'kvr_window("app")', False),     # notepad's main window
    ("editwindow", 'kvr_window("edit")', False),   # its edit, holding a long line
    ("probewindow", 'kvr_window("probe")', False),
    ("wmgettext", "13", False),                    # messages that write into their lParam
    ("emgetline", "196", False),
    ("request22", "22", False),                    # IntControl's request that sends one
    ("wordmax", "65535", False),                   # the largest count a WORD holds
]
BY_LABEL = {v[0]: v for v in VALUES + LIVE_VALUES}
LIVE_WINDOWS = {"appwindow", "editwindow", "probewindow"}

# Arguments that are a time to wait: -1 and the large values wait for ever by design, so
# these positions take values that wait at most a moment, and a call always gives them
# (an omitted time waits for ever).
# The program waits retry every half second as often as their count says.
WAITS = {"winwaitexist": {2}, "winwaitclose": {2}, "winwaitchild": {3}, "delay": {1},
         "pipeclientopen": {2}, "waitforkeyex": {2},
         "timedelay": {1}, "display": {1}, "appexist": {3}, "appprocid": {3}, "appwaitclose": {3}}
WAIT_VALUES = ["zero", "empty", "text100k", "array", "wide", "undefined", "floathalf"]

# Positions whose values are chosen apart, because some values make a call wait by design:
# keys are typed one at a time at the key delay (a long text types for minutes), and a
# program that a Run or ShellExecute waits for is a document's viewer that waits for a
# person ("a.txt" and the list start one).
LONG_TEXTS = {"text2049", "text32767", "text65535", "text100k", "wide40k", "longpath"}
KEY_TEXTS = LONG_TEXTS | {"text260"}
STARTS_VIEWER = {"name", "list"}
# The message numbers and counts: as a delay between keys or a pipe's time-out they wait
# seconds a key or minutes, by design; as a pipe handle (the engine keeps no table of pipes,
# a script names its handle by number) they name one of the host's own handles, its output
# among them, which the run then loses.
SMALL_NUMBERS = {"wmgettext", "emgetline", "request22", "wordmax"}
AVOID = {"sendkey": {1: KEY_TEXTS, 2: SMALL_NUMBERS}, "sendkeyw": {1: KEY_TEXTS, 2: SMALL_NUMBERS},
         "sendkeysto": {2: KEY_TEXTS, 3: SMALL_NUMBERS}, "sendkeystow": {2: KEY_TEXTS, 3: SMALL_NUMBERS},
         "sendkeyschild": {3: KEY_TEXTS, 4: SMALL_NUMBERS}, "sendkeyschildw": {3: KEY_TEXTS, 4: SMALL_NUMBERS},
         "pipeclientclose": {1: SMALL_NUMBERS}, "pipeserverwrite": {1: SMALL_NUMBERS},
         "pipeserverclose": {1: SMALL_NUMBERS, 2: SMALL_NUMBERS},
         "pipeserverread": {1: SMALL_NUMBERS, 2: SMALL_NUMBERS},
         "pipeclientsendrecvdata": {1: SMALL_NUMBERS, 3: SMALL_NUMBERS},
         "runwait": {1: STARTS_VIEWER}, "runhidewait": {1: STARTS_VIEWER},
         "runiconwait": {1: STARTS_VIEWER}, "runzoomwait": {1: STARTS_VIEWER},
         "runshell": {1: STARTS_VIEWER}, "shellexecutewait": {1: STARTS_VIEWER},
         # Wine's multi-line edit wraps a long default text slowly (30,000 characters take
         # some 14 s before the box shows): long enough to pass for a hang.
         "asktextbox": {3: LONG_TEXTS}}

# Positions that take, every other time, values chosen for what the built-in does: the
# message built-ins a live window, a message that writes back into its text and a count of
# what it may write.
WINDOW_VALUES = ["ownwindow", "appwindow", "editwindow", "probewindow"]
MESSAGE_VALUES = ["wmgettext", "emgetline"]
COUNT_VALUES = ["wordmax", "intmax", "minus1", "zero"]
FOCUS = {"sendmessagea": {1: WINDOW_VALUES, 2: MESSAGE_VALUES, 3: COUNT_VALUES},
         "sendmessagew": {1: WINDOW_VALUES, 2: MESSAGE_VALUES, 3: COUNT_VALUES},
         "intcontrol": {1: ["request22"], 2: WINDOW_VALUES, 3: MESSAGE_VALUES, 4: COUNT_VALUES}}

# Never called: they act on the whole session, or wait for a person by design.
DENY = {"endsession": "logs the session off",
        "waitforkey": "waits for a key press"}
# Built-ins that show a box or activate a window: swept with the desktop (--desktop), a
# watcher closing each box. BOX_REQUESTS: the same for some values of a built-in's first
# argument (IntControl 1 shows two boxes; 0.5 rounds to 1).
DESKTOP = {"message", "pause", "askyesno", "askitemlist", "askfiletext", "textbox", "textboxsort",
           "textselect", "itemselect", "about", "winactivate", "winactivchild", "winactivechild",
           "askline", "askpassword", "asktextbox", "askfilename", "askdirectory", "askcolor",
           "askfont", "display", "dialog", "dialogbox",
           "sendkey", "sendkeyw", "sendkeysto", "sendkeystow", "sendkeyschild", "sendkeyschildw",
           "sendmenusto", "sendmenustoex"}
BOX_REQUESTS = {"intcontrol": {"one", "floathalf"}}
# Built-ins that change what other tests running at the same time use (--private-only): the
# clipboard, the registry (a hostile number is a root key, so a hostile name such as "*" can
# name a key that other tests read), and the desktop, where a started document's viewer
# stays open among the windows that other tests arrange and click.
SHARED = {"clipput", "clipappend", "print", "shellexecute", "shellexecutewait"}
SHARED_PREFIXES = ("reg", "run")

# Errors and cancels are trapped and counted, so the calls go on; a window that is not
# there is looked for once (IntControl 46), not for nine seconds.
PREAMBLE = """#DefineFunction kvr_onerror(info)
   hostprint("E " : info[0])
   Return 1
#EndFunction
#DefineFunction kvr_oncancel(info)
   hostprint("C")
   Return 1
#EndFunction
#DefineFunction kvr_array2d()
   a = ArrDimension(2, 3)
   ArrInitialize(a, "x")
   Return a
#EndFunction
#DefineFunction kvr_window(name)
   Return IniReadPvt("windows", name, "0", Environment("KVTEST_WORK") : "\\kvr_windows.ini")
#EndFunction
#DefineFunction kvr_map()
   m = MapCreate()
   m["k"] = "v"
   m[""] = 1
   Return m
#EndFunction
IntControl(73, 3, 0, "kvr_onerror", "")
IntControl(72, 3, 0, "kvr_oncancel", "")
IntControl(46, 0, 0, 0, 0)
"""

MARKER = re.compile(r"^@(\d+)$")


class Builtin:
    def __init__(self, line):
        parts = line.split()
        self.id = int(parts[0])
        self.name = parts[1]
        self.special = parts[2] == "special"
        self.required = int(parts[3])
        self.optional = int(parts[4])
        self.codes = "" if parts[5] == "-" else parts[5]

    def counts(self):
        """The argument counts to try: 0 to the largest + 1."""
        if self.special:
            return range(0, 3)
        if self.required == 255:        # reads its own argument list
            return range(0, 6)
        return range(0, self.required + self.optional + 2)


def served_builtins(bin_dir):
    code, out, err = kvtest.run(os.path.join(bin_dir, "kvbuiltins.exe"), timeout=60)
    if code != 0:
        harness.fail("kvbuiltins.exe failed (%s): %s" % (code, err.decode(errors="replace")))
    return [Builtin(l) for l in out.decode().splitlines() if l.strip()]


class Call:
    def __init__(self, builtin, labels):
        self.builtin = builtin
        self.labels = labels

    def lines(self):
        """The statements of the call: the held values, then the call itself."""
        setup, args = [], []
        for i, label in enumerate(self.labels, 1):
            _, expression, held = BY_LABEL[label]
            if held:
                setup.append("kvr_a%d = %s" % (i, expression))
                args.append("kvr_a%d" % i)
            else:
                args.append(expression)
        return setup + ["kvr_r = %s(%s)" % (self.builtin.name, ", ".join(args))]

    def text(self):
        return "%s(%s)" % (self.builtin.name, ", ".join(self.labels))

    def shows_box(self):
        name = self.builtin.name
        return name in DESKTOP or bool(self.labels and self.labels[0] in BOX_REQUESTS.get(name, ()))


def generate(builtins, rng, per_arity, coverage, live=False):
    calls = []
    labels = [v[0] for v in VALUES + (LIVE_VALUES if live else [])]
    for b in builtins:
        waits = WAITS.get(b.name, set())
        avoid = AVOID.get(b.name, {})
        focus = FOCUS.get(b.name, {}) if live else {}

        def choices(position):
            if position in waits:
                return WAIT_VALUES
            return [l for l in labels if l not in avoid.get(position, ())]

        def pick(position):
            if position in focus and rng.random() < 0.5:
                return rng.choice(focus[position])
            return rng.choice(choices(position))

        counts = [n for n in b.counts() if n == 0 or not waits or n >= max(waits)]
        if not counts:
            continue
        for n in counts:
            for _ in range(per_arity):
                calls.append(Call(b, [pick(p) for p in range(1, n + 1)]))
        if coverage:
            # Every value in every position, at the largest count and at the required one.
            full = {counts[-2] if len(counts) > 1 else counts[-1]}
            if not b.special and b.required != 255 and b.required in counts:
                full.add(b.required)
            for n in sorted(full):
                for p in range(1, n + 1):
                    for label in choices(p):
                        args = [pick(q) for q in range(1, n + 1)]
                        args[p - 1] = label
                        calls.append(Call(b, args))
    return calls


def write_script(path, calls, first):
    out = [PREAMBLE]
    for k, call in enumerate(calls):
        out.append('hostprint("@%d")' % (first + k))
        out.extend(call.lines())
    out.append('hostprint("@%d")' % (first + len(calls)))
    with open(path, "w", encoding="latin-1", newline="\r\n") as f:
        f.write("\n".join(out) + "\n")


def fill_scratch(work):
    """The files and folders the relative names of the hostile values find."""
    harness.remove_tree(work)
    os.makedirs(os.path.join(work, "sub"))
    os.makedirs(os.path.join(work, "d"))
    for name, text in (("a.txt", "x = 1\r\n"), ("sub/b.txt", "line\r\n"),
                       ("c.ini", "[s]\r\nk=v\r\n[t]\r\nk=w\r\n")):
        with open(os.path.join(work, name), "w") as f:
            f.write(text)


class LiveWindows:
    """The windows of other programs that the window values name, shared by the workers:
    Wine's notepad with a long line in its edit, and the probe target. A program that a call
    has ended (closing its window ends it) is started again before the next batch."""

    LINE = "N" * 300
    TITLE = "Kvr probe"

    def __init__(self, bin_dir, probe):
        self.bin_dir, self.probe = bin_dir, probe
        self.lock = threading.Lock()
        self.procs = {}             # "app", "probe" -> the program
        self.handles = {"app": 0, "edit": 0, "probe": 0}
        self.starts = collections.Counter()    # how often each was started: a call ended it
        self.warm = False

    def ensure(self, work):
        """Starts again what has ended; writes the windows' identifiers for the script."""
        with self.lock:
            for name, start in (("app", self.start_notepad), ("probe", self.start_target)):
                proc = self.procs.get(name)
                if proc is None or proc.poll() is not None:
                    start()
            handles = dict(self.handles)
        with open(os.path.join(work, "kvr_windows.ini"), "w", newline="\r\n") as f:
            f.write("[windows]\n")
            for key, hwnd in handles.items():
                f.write("%s=#WIN$ID#%08X\n" % (key, hwnd))

    # Nobody reads what they print: a full pipe would stop them.
    QUIET = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def launch(self, name, *command):
        if not self.warm:
            # The first program that looks at the windows starts the virtual desktop's own
            # process, which keeps that program's output open: a probe whose output goes
            # nowhere does it.
            subprocess.run(["wine", self.probe.exe, "list"], timeout=60, **self.QUIET)
            self.warm = True
        self.starts[name] += 1
        self.procs[name] = subprocess.Popen(["wine", *command], **self.QUIET)

    def notepads(self):
        return {w.hwnd for w in self.probe.run("list", check=False, cls="Notepad", timeout=0)}

    def start_notepad(self):
        # A window that does not come (the machine is busy) is named 0 for this batch.
        self.handles["app"] = self.handles["edit"] = 0
        before = self.notepads()
        self.launch("app", "notepad.exe")
        for _ in range(300):
            new = self.notepads() - before
            if new:
                app = new.pop()
                try:
                    self.probe.run("settext", hwnd=app, control_class="Edit", text=self.LINE)
                    edits = [c for c in self.probe.dump(hwnd=app)[1] if c.get("class") == "Edit"]
                except (kvtest.ProbeError, TimeoutError):
                    edits = []
                self.handles["app"] = app
                self.handles["edit"] = edits[0].hwnd if edits else 0
                return
            time.sleep(0.1)
        print("sweep: notepad's window did not come", flush=True)

    def start_target(self):
        self.handles["probe"] = 0
        self.launch("probe", os.path.join(self.bin_dir, "probe_target.exe"), "--quiet", "--title", self.TITLE)
        try:
            self.handles["probe"] = self.probe.run("wait", title_exact=self.TITLE, timeout=30000)[0].hwnd
        except (kvtest.ProbeError, TimeoutError):
            print("sweep: the probe target's window did not come", flush=True)

    def stop(self):
        for p in self.procs.values():
            if p.poll() is None:
                p.kill()
            p.wait()
        self.procs = {}


class Sweep:
    """Runs calls in batches on `jobs` workers and keeps what they met. With `desktop` the
    host may activate windows and a watcher closes each box."""

    def __init__(self, opts, kvhost, out_dir):
        self.opts = opts
        self.kvhost = kvhost
        self.out_dir = out_dir
        self.lock = threading.Lock()
        self.failures = []          # descriptions
        self.kinds = collections.Counter()
        self.errors = collections.Counter()
        self.ended_early = collections.Counter()
        self.durations = []         # (seconds, call text)
        self.runs = 0
        self.probe = kvtest.Probe(harness.bin_dir(opts.bin), timeout=0)
        self.windows = None
        if opts.live_windows:
            self.windows = LiveWindows(harness.bin_dir(opts.bin), kvtest.Probe(harness.bin_dir(opts.bin)))
            harness.cleanups.append(self.windows.stop)

    def run(self, calls, desktop, jobs):
        self.calls, self.desktop = calls, desktop
        spans = [(first, min(len(calls), first + self.opts.batch)) for first in range(0, len(calls), self.opts.batch)]
        harness.run_workers(jobs, self.opts.scratch, spans, self.run_span)

    def run_span(self, work, span):
        first, end = span
        while first < end:
            first = self.run_batch(work, first, end)

    def run_batch(self, work, first, end):
        """Runs calls first..end-1; answers where to go on."""
        fill_scratch(work)
        if self.windows:
            self.windows.ensure(work)
        script = os.path.join(work, "sweep.zal")
        write_script(script, self.calls[first:end], first)

        def marker(line):
            m = MARKER.match(line)
            return int(m.group(1)) if m else None
        run = harness.HostRun(self.kvhost, script, work, stall=self.opts.stall, limit=3600,
                              marker=marker, desktop=self.desktop)
        if self.desktop:
            run.watchers.append(lambda r: harness.close_boxes(r, self.probe))
        outcome = run.run()
        with self.lock:
            self.runs += 1
            for (a, ta), (b, tb) in zip(outcome.marks, outcome.marks[1:]):
                if b == a + 1 and a < len(self.calls):
                    self.durations.append((tb - ta, self.calls[a].text()))
            for line in outcome.lines:
                if line.startswith("E "):
                    self.errors[line[2:]] += 1
        last = outcome.marker
        if last is None:
            harness.fail("the sweep's script did not start (%s):\n%s" % (
                outcome.describe(), "\n".join(outcome.lines[-20:])))
        if outcome.kind == "ended" and last >= end:
            return end
        if outcome.kind == "ended":
            # A call that ends the run (Terminate, a cancel, an error that cannot be trapped):
            # not a fault; go on behind it.
            with self.lock:
                self.ended_early[self.calls[last].builtin.name] += 1
        else:
            self.record(outcome, self.calls[last])
        return last + 1

    def record(self, outcome, call):
        with self.lock:
            n = len(self.failures) + 1
            self.failures.append("%s: %s" % (outcome.describe(), call.text()))
            self.kinds[outcome.kind] += 1
        path = os.path.join(self.out_dir, "repro-%d.zal" % n)
        with open(path, "w", encoding="latin-1", newline="\r\n") as f:
            f.write("; %s\n" % outcome.describe())
            if any(label in LIVE_WINDOWS for label in call.labels):
                f.write("; kvr_window() reads kvr_windows.ini of the work folder: the windows that "
                        "LiveWindows starts\n")
            f.write("\n".join(PREAMBLE.splitlines() + call.lines()) + "\n")
            f.write('hostprint("returned")\n')
        print("%s: %s (%s)" % (outcome.kind.upper(), call.text(), path), flush=True)


def windows_folder_files():
    folder = os.path.join(kvtest.drive_c(), "windows")
    return folder, {n for n in os.listdir(folder) if os.path.isfile(os.path.join(folder, n))}


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--bin")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--per-arity", type=int, default=20)
    ap.add_argument("--coverage", action="store_true")
    ap.add_argument("--only", default="")
    ap.add_argument("--skip", default="")
    ap.add_argument("--desktop", action="store_true")
    ap.add_argument("--all", action="store_true")
    ap.add_argument("--private-only", action="store_true")
    ap.add_argument("--live-windows", action="store_true")
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--batch", type=int, default=250)
    ap.add_argument("--stall", type=float, default=20.0)
    ap.add_argument("--slowest", type=int, default=5)
    ap.add_argument("--out", default=None)
    opts = ap.parse_args()
    harness.ensure_env()
    bin_dir = harness.bin_dir(opts.bin)
    kvhost = os.path.join(bin_dir, "kvhost.exe")

    builtins = served_builtins(bin_dir)
    only = {n.strip().lower() for n in opts.only.split(",") if n.strip()}
    skip = {n.strip().lower() for n in opts.skip.split(",") if n.strip()}
    chosen = []
    for b in builtins:
        if b.name in DENY or b.name in skip or (only and b.name not in only):
            continue
        if opts.private_only and (b.name in SHARED or b.name.startswith(SHARED_PREFIXES)):
            continue
        chosen.append(b)
    rng = random.Random(opts.seed)
    calls = generate(chosen, rng, opts.per_arity, opts.coverage, opts.live_windows)
    plain = [c for c in calls if not c.shows_box()]
    boxes = [c for c in calls if c.shows_box()]
    if not opts.all:
        plain, boxes = ([], boxes) if opts.desktop else (plain, [])
    calls = plain + boxes
    chosen = [b for b in chosen if any(c.builtin is b for c in calls)]
    opts.scratch = harness.scratch_root("sweep-%d" % opts.seed)
    out_dir = os.path.abspath(opts.out or os.path.join(opts.scratch, "repro"))
    os.makedirs(out_dir, exist_ok=True)
    print("sweep: %d of %d served built-ins, %d calls (%d that show boxes), seed %d" % (
        len(chosen), len(builtins), len(calls), len(boxes), opts.seed), flush=True)

    # The WIN.INI built-ins write the prefix's WIN.INI, and a private INI file named
    # without a folder lands in the Windows folder: both are put back afterwards.
    win_folder, before = windows_folder_files()
    win_ini = os.path.join(win_folder, "win.ini")
    saved_ini = open(win_ini, "rb").read() if os.path.exists(win_ini) else None

    def put_back():
        if saved_ini is not None:
            with open(win_ini, "wb") as f:
                f.write(saved_ini)
        _, after = windows_folder_files()
        for name in after - before:
            try:
                os.remove(os.path.join(win_folder, name))
            except OSError:
                pass
    harness.cleanups.append(put_back)
    sweep = Sweep(opts, kvhost, out_dir)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(3))
    try:
        if plain:
            sweep.run(plain, False, opts.jobs)
        if boxes:
            sweep.run(boxes, True, 1)     # one box at a time on the desktop
    finally:
        if sweep.windows:
            sweep.windows.stop()
        put_back()

    print("sweep: %d calls of %d built-ins in %d runs: %d crashes, %d hangs" % (
        len(calls), len(chosen), sweep.runs, sweep.kinds["crash"], sweep.kinds["hang"]))
    if sweep.windows:
        print("live windows: notepad started %d times, the probe target %d times" % (
            sweep.windows.starts["app"], sweep.windows.starts["probe"]))
    if sweep.ended_early:
        print("calls that ended their run (not faults): %s" % ", ".join(
            "%s %d" % kv for kv in sorted(sweep.ended_early.items())))
    print("error numbers answered: %s" % ", ".join(
        "%s x%d" % kv for kv in sorted(sweep.errors.items(), key=lambda kv: -kv[1])[:25]))
    slowest = sorted(sweep.durations, reverse=True)[:opts.slowest]
    if slowest:
        print("slowest calls: %s" % "; ".join("%s %.1f s" % (text, t) for t, text in slowest))
    return harness.finish(sweep.failures, out_dir, opts.scratch)

if __name__ == "__main__":
    sys.exit(main())
