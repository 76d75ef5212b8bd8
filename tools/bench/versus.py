#!/usr/bin/env python3
"""Whole programs side by side (tools/bench.sh --versus): each packed program of the work
folder runs alternately with its VBScript twin under the same Wine and its CPython twin
(the machine's python3), each at its case's size n and, for the cases that measure a cost
per iteration, also at 4n (and at 0 for the map case, whose cost at n is also wanted).

Per case the table gives the best wall times, the ratio to VBScript at n, and for scaled
cases the cost per iteration, (time at 4n - time at n) / 3n, where start-up cancels out;
the map case also the cost per iteration at n, (time at n - time at 0) / n, and how much
the cost grows from n to 4n. Each line names its goals and whether they are met.

Usage: versus.py WORK-FOLDER RUNS [OUT-FILE]
A program writes its result into versus.out and the twins print theirs; all must agree, or
the line is marked as wrong. A case may also time its phases by its own clock: each line
"PHASE <name> <milliseconds>" after its result is taken out of the result and reported,
so that the phase is measured without the program's start-up (goals inside_ratio and
inside_growth below).
"""
import os
import subprocess
import sys
import time

# name, what it does, n, whether to run at 4n, and the goals:
#   vbs_whole: largest ratio of the whole program's time at n to VBScript's
#   vbs_iter, py_iter: largest ratio of the cost per iteration to VBScript's, CPython's
#   growth: largest ratio of the cost per iteration from n to 4n to that from 0 to n
#   inside_ratio (a, b, limit): the program's phase a, timed inside it, at most limit times its
#       phase b, at n and at 4n
#   inside_growth (a, limit): the cost per iteration of the program's phase a at 4n at most
#       limit times that at n
CASES = [
    ('for_add', 'For with s = s + 1', 1000000, True, {'vbs_whole': 0.5, 'py_iter': 1.5}),
    ('append', 'appends s = s : "x"', 100000, False, {'vbs_whole': 0.2}),
    ('calls', 'calls of a two-parameter function', 200000, True, {'vbs_whole': 0.5, 'py_iter': 1.5}),
    ('maps', 'map inserts of "k1".."kn", then look-ups', 50000, True,
     {'vbs_iter': 0.3, 'py_iter': 3.0, 'growth': 1.5}),
    ('sort', 'ArraySort of n texts (CPython: sorted, no case)', 50000, True, {'py_iter': 5.0}),
    ('logical', 'ArraySort of n texts, default and logical', 100000, False,
     {'inside_ratio': ('logical', 'default', 2.0)}),
    ('grow', 'a[i] = x one past the end, n times', 200000, True,
     {'inside_ratio': ('grow', 'fill', 3.0), 'inside_growth': ('grow', 1.5)}),
    ('empty', 'empty packed script', 0, False, {}),
]
EMPTY_GOAL_MS = 180.0


def run(work, command):
    """Wall milliseconds, peak resident kilobytes, output and exit code of one run."""
    out = os.path.join(work, 'versus.out')
    if os.path.exists(out):
        os.remove(out)
    started = time.monotonic()
    p = subprocess.run(['/usr/bin/time', '-f', 'KVMAXRSS %M'] + command, cwd=work, stdin=subprocess.DEVNULL,
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=900)
    wall = (time.monotonic() - started) * 1000.0
    rss = 0
    for line in p.stderr.decode('utf-8', 'replace').splitlines():
        if line.startswith('KVMAXRSS '):
            rss = int(line.split()[1])
    text = p.stdout.decode('utf-8', 'replace').strip()
    if os.path.exists(out):
        with open(out, 'rb') as f:
            text = f.read().decode('latin-1').strip()
    return wall, rss, text, p.returncode


def split_phases(text):
    """The result without its "PHASE <name> <ms>" lines, and those phases' times."""
    result, phases = [], {}
    for line in text.splitlines():
        words = line.split()
        if len(words) == 3 and words[0] == 'PHASE':
            phases[words[1]] = float(words[2])
        else:
            result.append(line.strip())
    return '\n'.join(result).strip(), phases


def report_phases(name, n, goals, inside, lines, verdicts):
    """Table lines for the phases a case timed inside its programs, and its inside goals."""
    def size_label(size):
        return 'n' if size in (None, n) else '4n'

    for phase in sorted({p for (case, _, _, p) in inside if case == name}):
        for size in sorted({s for (case, _, s, p) in inside if case == name and p == phase}, key=lambda s: s or 0):
            lines.append('%-8s %-48s %s' % ('', 'in script: %s at %s (ms)' % (phase, size_label(size)),
                                            ' '.join('%9.1f' % inside[(name, k, size, phase)]
                                                     if (name, k, size, phase) in inside else '%9s' % '-'
                                                     for k in ('zal', 'vbs', 'py'))))
    if 'inside_ratio' in goals:
        a, b, limit = goals['inside_ratio']
        for size in sorted({s for (case, k, s, _) in inside if case == name and k == 'zal'}, key=lambda s: s or 0):
            ta, tb = inside.get((name, 'zal', size, a)), inside.get((name, 'zal', size, b))
            if ta is None or tb is None:
                verdicts.append('%s: phases %s and %s at %s not reported' % (name, a, b, size_label(size)))
                continue
            ratio = ta / max(tb, 1.0)    # the script's clock counts whole milliseconds
            verdicts.append('%s: in script, %s %.0f ms against %s %.0f ms at %s: %.2f times (goal at most %.2f) %s'
                            % (name, a, ta, b, tb, size_label(size), ratio, limit,
                               'met' if ratio <= limit else 'NOT MET'))
    if 'inside_growth' in goals:
        a, limit = goals['inside_growth']
        low, high = inside.get((name, 'zal', n, a)), inside.get((name, 'zal', 4 * n, a))
        if low is None or high is None:
            verdicts.append('%s: phase %s not reported at n and 4n' % (name, a))
        else:
            growth = (high / (4 * n)) / (max(low, 1.0) / n)
            verdicts.append('%s: in script, %s costs %.3f us an iteration at n, %.3f us at 4n: %.2f times '
                            '(goal at most %.2f) %s' % (name, a, low * 1000.0 / n, high * 1000.0 / (4 * n), growth,
                                                        limit, 'met' if growth <= limit else 'NOT MET'))


def commands(work, name, size):
    """The programs of a case at one size: (kind, command)."""
    args = [str(size)] if size is not None else []
    found = [('zal', ['wine', name + '.exe'] + args)]
    if os.path.exists(os.path.join(work, name + '.vbs')):
        found.append(('vbs', ['wine', 'cscript', '//nologo', name + '.vbs'] + args))
    if os.path.exists(os.path.join(work, name + '.py')):
        found.append(('py', [sys.executable, name + '.py'] + args))
    return found


def sizes(n, scaled, goals):
    if not scaled:
        return [None]
    return ([0] if 'growth' in goals else []) + [n, 4 * n]


def main():
    work, runs = sys.argv[1], int(sys.argv[2])
    out_file = sys.argv[3] if len(sys.argv) > 3 else ''
    best = {}
    peak = {}
    answers = {}
    inside = {}    # (case, kind, size, phase): best milliseconds timed inside the program
    failed = False
    for name, *_ in CASES:
        run(work, ['wine', name + '.exe'])    # the first run extracts the engine beside the program
    # Round by round over every case, so that a slow spell of the machine (its start of a
    # Wine process varies by tens of milliseconds from one spell to the next) falls on all
    # of them rather than on every run of one.
    for _ in range(runs):
        for name, _, n, scaled, goals in CASES:
            for size in sizes(n, scaled, goals):
                for kind, command in commands(work, name, size):
                    wall, rss, text, code = run(work, command)
                    if code != 0:
                        print('%s (%s, %s) ended with %d' % (name, kind, size, code), file=sys.stderr)
                        failed = True
                    key = (name, kind, size)
                    best[key] = min(best.get(key, wall), wall)
                    if kind == 'zal':
                        peak[name] = max(peak.get(name, 0), rss)
                    answers[key], phases = split_phases(text)
                    for phase, ms in phases.items():
                        at = key + (phase,)
                        inside[at] = min(inside.get(at, ms), ms)

    lines = ['%-8s %-48s %9s %9s %9s %7s' % ('bench', 'what', 'zal ms', 'vbs ms', 'py ms', 'peak KB')]
    verdicts = []
    for name, what, n, scaled, goals in CASES:
        size = n if scaled else None
        kinds = [k for k, _ in commands(work, name, size)]
        shown = {k: ('%9.0f' % best[(name, k, size)] if k in kinds else '%9s' % '-') for k in ('zal', 'vbs', 'py')}
        for s in sizes(n, scaled, goals):
            texts = {answers[(name, k, s)] for k in kinds}
            if len(texts) > 1:
                verdicts.append('%s at %s: results differ: %r' % (name, s, sorted(texts)))
                failed = True
        label = '%s (n=%d)' % (what, n) if n else what
        lines.append('%-8s %-48s %s %s %s %7d' % (name, label[:48], shown['zal'], shown['vbs'], shown['py'],
                                                  peak[name]))
        if name == 'empty':
            ok = best[(name, 'zal', None)] <= EMPTY_GOAL_MS
            verdicts.append('empty: %.0f ms (goal at most %.0f ms) %s'
                            % (best[(name, 'zal', None)], EMPTY_GOAL_MS, 'met' if ok else 'NOT MET'))
            continue
        if 'vbs_whole' in goals:
            ratio = best[(name, 'zal', size)] / best[(name, 'vbs', size)]
            ok = ratio <= goals['vbs_whole']
            verdicts.append('%s: whole program %.2f of VBScript\'s (goal at most %.2f) %s'
                            % (name, ratio, goals['vbs_whole'], 'met' if ok else 'NOT MET'))
        report_phases(name, n, goals, inside, lines, verdicts)
        if not scaled:
            continue

        def per_iteration(kind, low, high):
            return (best[(name, kind, high)] - best[(name, kind, low)]) / (high - low) * 1000.0   # microseconds

        costs = {k: per_iteration(k, n, 4 * n) for k in kinds}
        lines.append('%-8s %-48s %s' % ('', 'cost per iteration n..4n (us)',
                                        ' '.join('%9.3f' % costs[k] if k in costs else '%9s' % '-'
                                                 for k in ('zal', 'vbs', 'py'))))
        lines.append('%-8s %-48s %s' % ('', 'at 4n (ms)',
                                        ' '.join('%9.0f' % best[(name, k, 4 * n)] if k in kinds else '%9s' % '-'
                                                 for k in ('zal', 'vbs', 'py'))))
        for twin, goal_name, label in (('vbs', 'vbs_iter', 'VBScript'), ('py', 'py_iter', 'CPython')):
            if goal_name not in goals or twin not in costs:
                continue
            if costs[twin] <= 0:
                verdicts.append('%s: cost per iteration against %s\'s not measured (its cost came out at %.3f us)'
                                % (name, label, costs[twin]))
            else:
                ratio = costs['zal'] / costs[twin]
                ok = ratio <= goals[goal_name]
                verdicts.append('%s: cost per iteration %.2f of %s\'s (goal at most %.2f) %s'
                                % (name, ratio, label, goals[goal_name], 'met' if ok else 'NOT MET'))
        if 'growth' in goals:
            low = per_iteration('zal', 0, n)
            growth = costs['zal'] / low if low > 0 else float('inf')
            ok = growth <= goals['growth']
            verdicts.append('%s: cost per iteration %.3f us at 0..n, %.3f us at n..4n: %.2f times (goal at most '
                            '%.2f) %s' % (name, low, costs['zal'], growth, goals['growth'], 'met' if ok else 'NOT MET'))
    lines.append('(best of %d runs each, alternating; zal and vbs whole processes under Wine, py the machine\'s '
                 'python3; peak KB: the largest resident set of the zal program)' % runs)
    lines.append('append peak over empty: %d KB' % (peak['append'] - peak['empty']))
    lines.extend(verdicts)
    table = '\n'.join(lines)
    print(table)
    if out_file:
        with open(out_file, 'w') as f:
            f.write(table + '\n')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
