"""The mutation run: the project's script tests (tests/scripts/<area>/<name>.zal), each
changed in one to three places (lines dropped, doubled, moved or cut, literals made
hostile, brackets nested deep, flow words and names put where they do not belong), run by
the test host. Any outcome is fine but two: the host crashed, or one statement did not
return. The host reports every line it starts (host hook 2), so a run that goes on
starting lines is a script that loops by design, not a hang.

    mutate.py [--bin DIR] [--seed N] [--per-script N] [--scripts REGEX] [--jobs N]
              [--limit S] [--stall S] [--desktop] [--out DIR]

Scripts that need a person (the directive "boxes", or a companion that drives windows) are
left out; a companion's setup() still prepares the work folder. Scripts that can show a
box or activate a window run only with --desktop (a watcher then closes each box; run it
with the desktop to itself); without it no mutation makes such a call.
Exit: 0 no crash and no hang, 1 some, 2 the run could not start.
"""
import argparse
import collections
import contextlib
import difflib
import glob
import inspect
import os
import random
import re
import signal
import sys
import threading

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(ROOT, "tests", "scripts"))
import harness  # noqa: E402
import kvtest  # noqa: E402
import run_script_test  # noqa: E402

LINE_LIMIT = 2000          # the engine refuses longer lines (3722); stay below to reach further
HOSTILE_NUMBERS = ["-1", "0", "2147483647", "(-2147483647 - 1)", "9223372036854775807",
                   "1.0E308", "-1.0E308", "99999999999999999999", "0.5"]
HOSTILE_TEXTS = ['""', 'StrFill("A", 102400)', 'StrFill("B", 32767)', '"' + "C" * 300 + '"',
                 'ChrHexToUnicode("E5652C67AC8A00D8")', '" 12abc "', '"-1"']
FLOW_LINES = ["EndIf", "Else", "EndWhile", "Next", "EndSwitch", "Break", "Continue", "Return",
              "Return 1", "GoSub kvr_nowhere", "Goto kvr_nowhere", "#EndFunction",
              "#DefineFunction kvr_f(a)", "If 1", "While 1", "For kvr_i = 1 To 3",
              "ForEach kvr_e In kvr_nothing", "Switch 1", "Case 1", "Execute Execute x = 1",
              ":kvr_label", "x = %kvr_undefined%", "Exit"]
SPECIAL_CHARS = '()[],"\':*&|;%@!'
NUMBER = re.compile(r"(?<![\w.])-?\d+(?:\.\d+)?(?:[eE][+-]?\d+)?(?![\w.])")
STRING = re.compile(r'"[^"]*"|\'[^\']*\'')
CALL_NAME = re.compile(r"\b([A-Za-z_]\w*)\s*\(")
# A line that changes files may only be changed by a mutation when it names nothing beyond
# the work folder: no wildcard, no parent folder, no drive.
FILE_CHANGING = re.compile(r"LogDisk|DirChange|FileDelete|DirRemove|FileMove|FileCopy|FileRename|"
                           r"DirRename|FileAttrSet|DirAttrSet|FileTimeSet|FileTimeTouch|FileAppend|"
                           r"FilePut|FileWrite|FileOpen|IniWrite|IniDelete|DirMake|ArrayFilePut|"
                           r"MapFilePut|FileCreateTemp", re.I)
OUTSIDE = re.compile(r"[*?]|\.\.|:\\|[A-Za-z]:")
# A companion that starts programs (start_target, start, or one it hands to t.programs).
STARTS_PROGRAMS = re.compile(r"\bt\.start(_target)?\(|\bt\.programs\.append\(")
# A changed line that tells the script to wait (a window search retried 2^31 times, a wait
# for ever, a pause of 2^31 seconds): a statement that then waits for ever does so by design.
# Keys are typed one at a time at the key delay (IntControl 35): a long text sent as keys, a
# key with a huge count in braces or a huge delay types for minutes.
WAITS_BY_DESIGN = re.compile(r"IntControl\s*\(\s*(46|35)\b|\bWinWait\w*\s*\(|\b(Time)?Delay\s*\(|"
                             r"\bTimeWait\s*\(|\bDisplay\s*\(|"
                             r"\bSendKey\w*\s*\(.*(StrFill|\"C{300}|\{[^}]*\s\d{4,}\})", re.I)
# Scripts that can show a box (a script's own, or IntControl 1), act on windows, send keys or
# mouse input, start programs, use the clipboard, DDE (which asks every top-level window) or
# the registry run only with the desktop (--desktop, the full run in a prefix of its own);
# without it no mutation may make such a call: the script tests running beside the run share
# the desktop, its keyboard focus, its clipboard, its windows and the prefix's registry (a
# mutant that stops half-way leaves keys that the test it came from then meets).
SHOWS_BOX = re.compile(r"\b(Message|Pause|Ask\w+|Dialog\w*|Display|TextBox|TextBoxSort|"
                       r"TextSelect|ItemSelect|About|Win\w+|Send\w+|Mouse\w+|KeyToggle\w*|"
                       r"Clip\w+|BinaryClip\w+|SnapShot\w*|DDE\w+|Reg\w+|Run\w*|ShellExecute\w*|Print)\s*\(|"
                       r"IntControl\s*\(\s*(38|1|0?\.5)\b", re.I)


# ---------------------------------------------------------------- mutations

def body_range(lines):
    """Indexes of the lines after the directives and comments at the top."""
    first = 0
    while first < len(lines) and lines[first].lstrip().startswith(";"):
        first += 1
    return first, len(lines)


def pick_line(rng, lines, pattern=None):
    first, end = body_range(lines)
    candidates = [i for i in range(first, end) if lines[i].strip() and (not pattern or pattern.search(lines[i]))]
    return rng.choice(candidates) if candidates else None


def replace_match(rng, line, pattern, choices):
    found = list(pattern.finditer(line))
    if not found:
        return None
    m = rng.choice(found)
    return line[:m.start()] + rng.choice(choices) + line[m.end():]


def mutate_once(rng, lines, names):
    first, end = body_range(lines)
    if end <= first:
        return False
    op = rng.randrange(12)
    i = pick_line(rng, lines)
    if i is None:
        return False
    if op == 0:
        del lines[i]
    elif op == 1:
        lines.insert(i, lines[i])
    elif op == 2:
        j = rng.randrange(first, end)
        lines[i], lines[j] = lines[j], lines[i]
    elif op == 3:
        line = lines.pop(i)
        lines.insert(rng.randrange(first, len(lines) + 1), line)
    elif op == 4:
        i = pick_line(rng, lines, NUMBER)
        if i is None:
            return False
        lines[i] = replace_match(rng, lines[i], NUMBER, HOSTILE_NUMBERS)
    elif op == 5:
        i = pick_line(rng, lines, STRING)
        if i is None:
            return False
        lines[i] = replace_match(rng, lines[i], STRING, HOSTILE_TEXTS)
    elif op == 6:
        lines[i] = lines[i][:rng.randrange(len(lines[i]) + 1)]
    elif op == 7:
        p = rng.randrange(len(lines[i]) + 1)
        lines[i] = lines[i][:p] + lines[i][p + 1:]
    elif op == 8:
        p = rng.randrange(len(lines[i]) + 1)
        lines[i] = lines[i][:p] + rng.choice(SPECIAL_CHARS) + lines[i][p:]
    elif op == 9:
        # An operand nested in brackets as deep as the line allows.
        found = list(NUMBER.finditer(lines[i])) + list(STRING.finditer(lines[i]))
        if not found:
            return False
        m = rng.choice(found)
        room = max(1, (LINE_LIMIT - len(lines[i])) // 2)
        depth = rng.choice([room, rng.randrange(1, room + 1)])
        lines[i] = lines[i][:m.start()] + "(" * depth + m.group(0) + ")" * depth + lines[i][m.end():]
    elif op == 10:
        lines.insert(rng.randrange(first, end + 1), rng.choice(FLOW_LINES))
    else:
        i = pick_line(rng, lines, CALL_NAME)
        if i is None or not names:
            return False
        lines[i] = CALL_NAME.sub(lambda m: (rng.choice(names) + "(") if rng.random() < 0.5 else m.group(0),
                                 lines[i], count=1)
    return True


def changed_lines(original, lines):
    """The mutant's lines that are new or stand in a new place: a moved or repeated wait
    waits as told just as a changed one does."""
    matcher = difflib.SequenceMatcher(a=original, b=lines, autojunk=False)
    return [line for tag, _, _, j1, j2 in matcher.get_opcodes() if tag in ("replace", "insert")
            for line in lines[j1:j2]]


def make_mutant(rng, text, desktop):
    original = text.split("\n")
    names = sorted({m.group(1) for m in CALL_NAME.finditer(text)})
    for _ in range(50):
        lines = list(original)
        wanted = rng.choice([1, 1, 2, 3])
        done = 0
        for _ in range(100):     # a script cut down to its comments takes no more
            if done == wanted:
                break
            if mutate_once(rng, lines, names):
                done += 1
        if done == 0:
            continue
        changed = changed_lines(original, lines)
        if any(FILE_CHANGING.search(l) and OUTSIDE.search(l) for l in changed):
            continue
        if not desktop and any(SHOWS_BOX.search(l) for l in changed):
            continue
        return "\n".join(lines), any(WAITS_BY_DESIGN.search(l) for l in changed)
    return None


# ---------------------------------------------------------------- running

HOOK_LINE = re.compile(r"^HOOK -1 2\|")


class Job:
    def __init__(self, script, number, text, waits):
        self.script = script
        self.number = number
        self.text = text
        self.waits = waits      # a mutation told it to wait (WAITS_BY_DESIGN)


def usable(script, desktop):
    directives = run_script_test.read_directives(script)
    if "boxes" in directives or "skip" in directives:
        return False
    companion = run_script_test.load_companion(script)
    if companion and hasattr(companion, "during"):
        return False
    with open(script, "rb") as f:
        return desktop or not SHOWS_BOX.search(f.read().decode("latin-1"))


class Mutation:
    def __init__(self, opts, kvhost, out_dir):
        self.opts = opts
        self.kvhost = kvhost
        self.out_dir = out_dir
        self.lock = threading.Lock()
        self.target_lock = threading.Lock()
        self.outcomes = collections.Counter()
        self.failures = []
        self.boxes = []
        self.closed = collections.Counter()     # titles of the boxes the watcher closed
        self.probe = kvtest.Probe(os.path.dirname(kvhost), timeout=0)

    def run_job(self, work, job):
        harness.remove_tree(work)
        stem = os.path.splitext(job.script)[0]
        if os.path.isdir(stem + ".files"):
            run_script_test.shutil.copytree(stem + ".files", work)
        os.makedirs(work, exist_ok=True)
        directives = run_script_test.read_directives(job.script)
        companion = run_script_test.load_companion(job.script)
        if not (companion and hasattr(companion, "setup")):
            self.run_mutant(work, job, directives)
            return
        # The programs a companion starts (targets that take keys and clicks) carry fixed
        # titles: such mutants run one at a time, or one would type into, click on and wait
        # for the close of another's target. The programs end with the mutant.
        starts = STARTS_PROGRAMS.search(inspect.getsource(companion))
        with self.target_lock if starts else contextlib.nullcontext():
            t = run_script_test.ScriptTest(job.script, work, os.path.dirname(self.kvhost))
            try:
                companion.setup(t)
            except Exception:
                pass
            try:
                self.run_mutant(work, job, directives)
            finally:
                t.stop_started()

    def run_mutant(self, work, job, directives):
        mutant = os.path.join(work, "mutant.zal")
        with open(mutant, "w", encoding="latin-1", errors="replace", newline="") as f:
            f.write(job.text)
        params = run_script_test.shlex.split(directives.get("args", ""))
        run = harness.HostRun(self.kvhost, mutant, work, stall=self.opts.stall, limit=self.opts.limit,
                              marker=lambda line: line if HOOK_LINE.match(line) else None,
                              hooks=2, params=params, keep_markers=False, desktop=self.opts.desktop)
        if self.opts.desktop:
            run.watchers.append(self.close_boxes)
        outcome = run.run()
        kind = outcome.kind
        if kind == "hang" and outcome.detail.startswith("over time"):
            kind = "loops"      # it kept starting lines: a loop the mutation made
        elif kind == "hang" and job.waits:
            kind = "waits"      # the mutation told it to wait
        elif kind == "hang" and "a box waits" in outcome.detail:
            kind = "box"        # a box that needs a person (outside quiet mode, or Message)
            with self.lock:
                self.boxes.append("%s: %s" % (os.path.relpath(job.script, ROOT), outcome.detail))
        with self.lock:
            self.outcomes[kind] += 1
        if kind in ("crash", "hang"):
            self.record(job, outcome, kind)

    def close_boxes(self, run):
        for title in harness.close_boxes(run, self.probe):
            with self.lock:
                self.closed[title] += 1

    def record(self, job, outcome, kind):
        rel = os.path.relpath(job.script, os.path.join(ROOT, "tests", "scripts"))
        with self.lock:
            n = len(self.failures) + 1
            self.failures.append("%s: mutant %d of %s (last line started: %s; last output: %s)" % (
                outcome.describe(), job.number, rel, outcome.marker, " | ".join(outcome.lines[-3:])))
        path = os.path.join(self.out_dir, "mutant-%d.zal" % n)
        with open(path, "w", encoding="latin-1", errors="replace", newline="") as f:
            f.write(job.text)
        print("%s: mutant %d of %s (%s, %s)" % (kind.upper(), job.number, rel, outcome.describe(), path),
              flush=True)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--bin")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--per-script", type=int, default=10)
    ap.add_argument("--scripts", default="")
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--limit", type=float, default=30.0)
    # Longer than any wait the scripts themselves ask for (WinWaitClose(t, 10) waits 10 s
    # for a target that a dropped line no longer closes).
    ap.add_argument("--stall", type=float, default=20.0)
    ap.add_argument("--desktop", action="store_true")
    ap.add_argument("--out", default=None)
    opts = ap.parse_args()
    harness.ensure_env()
    bin_dir = harness.bin_dir(opts.bin)
    kvhost = os.path.join(bin_dir, "kvhost.exe")

    pattern = re.compile(opts.scripts) if opts.scripts else None
    scripts = sorted(glob.glob(os.path.join(ROOT, "tests", "scripts", "*", "*.zal")))
    scripts = [s for s in scripts if usable(s, opts.desktop) and (not pattern or pattern.search(s))]
    rng = random.Random(opts.seed)
    jobs = []
    for script in scripts:
        with open(script, "rb") as f:
            text = f.read().decode("latin-1").replace("\r\n", "\n")
        for n in range(1, opts.per_script + 1):
            mutant = make_mutant(rng, text, opts.desktop)
            if mutant is not None:
                jobs.append(Job(script, n, mutant[0].replace("\n", "\r\n"), mutant[1]))
    opts.scratch = harness.scratch_root("mutate-%d" % opts.seed)
    out_dir = os.path.abspath(opts.out or os.path.join(opts.scratch, "repro"))
    os.makedirs(out_dir, exist_ok=True)
    print("mutate: %d mutants of %d scripts, seed %d" % (len(jobs), len(scripts), opts.seed), flush=True)

    mutation = Mutation(opts, kvhost, out_dir)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(3))
    harness.run_workers(opts.jobs, opts.scratch, jobs, mutation.run_job)

    o = mutation.outcomes
    print("mutate: %d mutants: %d ended, %d looped until stopped, %d waited as told, %d waited on a "
          "box, %d crashes, %d hangs" % (len(jobs), o["ended"], o["loops"], o["waits"], o["box"],
                                          o["crash"], o["hang"]))
    for text in mutation.boxes:
        print("  box: " + text)
    if mutation.closed:
        print("boxes closed: %s" % "; ".join("%s x%d" % kv for kv in sorted(mutation.closed.items())))
    return harness.finish(mutation.failures, out_dir, opts.scratch)


if __name__ == "__main__":
    sys.exit(main())
