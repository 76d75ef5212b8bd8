#!/usr/bin/env python3
"""Whole programs side by side (tools/bench.sh --versus): each packed program of the work
folder runs alternately with its VBScript twin under the same Wine and its CPython twin
(the machine's python3), each at its case's size n and, for the cases that measure a cost
per iteration, also at 4n (and at 0 for the map case, whose cost at n is also wanted).

Per case the table gives the best wall times, the ratio to VBScript at n, and for scaled
cases the cost per iteration, (time at 4n - time at n) / 3n, where start-up cancels out;
the map case also the cost per iteration at n, (time at n - time at 0) / n, and how much
the cost grows from n to 4n. A program may also time its own work: the lines "<label> <ms>"
it writes into versus.clock are shown (best of the runs) beside the whole times, so that
start-up does not blur them. Each line names its goals and whether they are met.

Usage: versus.py WORK-FOLDER RUNS [OUT-FILE]
A program writes its result into versus.out and the twins print theirs; all must agree, or
the line is marked as wrong.
"""
import os
import subprocess
import sys
import time

# name, what it does, n, whether to run at 4n, and the goals:
#   vbs_whole: largest ratio of the whole program's time at n to VBScript's
#   vbs_iter, py_iter: largest ratio of the cost per iteration to VBScript's, CPython's
#   growth: largest ratio of the cost per iteration from n to 4n to that from 0 to n
#   clock_ratio: (label, other label, largest ratio) of the program's own times in versus.clock
CASES = [
    ('for_add', 'For with s = s + 1', 1000000, True, {'vbs_whole': 0.5, 'py_iter': 1.5}),
    ('append', 'appends s = s : "x"', 100000, False, {'vbs_whole': 0.2}),
    ('calls', 'calls of a two-parameter function', 200000, True, {'vbs_whole': 0.5, 'py_iter': 1.5}),
    ('maps', 'map inserts of "k1".."kn", then look-ups', 50000, True,
     {'vbs_iter': 0.3, 'py_iter': 3.0, 'growth': 1.5}),
    ('sort', 'ArraySort of n texts (CPython: sorted, no case)', 50000, True, {'py_iter': 5.0}),
    ('logical', 'ArraySort of n texts, default and logical', 100000, False,
     {'clock_ratio': ('logical', 'default', 2.0)}),
    ('empty', 'empty packed script', 0, False, {}),
]
EMPTY_GOAL_MS = 180.0


def run(work, command):
    """Wall milliseconds, peak resident kilobytes, output and exit code of one run."""
    out = os.path.join(work, 'versus.out')
    for old in (out, os.path.join(work, 'versus.clock')):
        if os.path.exists(old):
            os.remove(old)
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


def commands(work, name, size):
    """The programs of a case at one size: (kind, command)."""
    args = [str(size)] if size is not None else []
    found = [('zal', ['wine', name + '.exe'] + args)]
    if os.path.exists(os.path.join(work, name + '.vbs')):
        found.append(('vbs', ['wine', 'cscript', '//nologo', name + '.vbs'] + args))
    if os.path.exists(os.path.join(work, name + '.py')):
        found.append(('py', [sys.executable, name + '.py'] + args))
    return found


def own_clock(work):
    """The program's own times from versus.clock: {label: milliseconds}."""
    found = {}
    path = os.path.join(work, 'versus.clock')
    if os.path.exists(path):
        with open(path, 'rb') as f:
            for line in f.read().decode('latin-1').splitlines():
                parts = line.split()
                if len(parts) == 2:
                    found[parts[0]] = float(parts[1])
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
    clocks = {}
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
                    answers[key] = text
                    for label, ms in own_clock(work).items():
                        clocks[key + (label,)] = min(clocks.get(key + (label,), ms), ms)

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
        labels = sorted({k[3] for k in clocks if k[:1] == (name,)})
        for label in labels:
            lines.append('%-8s %-48s %s' % ('', 'own clock: %s (ms)' % label,
                                            ' '.join('%9.1f' % clocks[(name, k, size, label)]
                                                     if (name, k, size, label) in clocks else '%9s' % '-'
                                                     for k in ('zal', 'vbs', 'py'))))
        if 'clock_ratio' in goals:
            label, other, most = goals['clock_ratio']
            mine, theirs = clocks.get((name, 'zal', size, label)), clocks.get((name, 'zal', size, other))
            if not mine or not theirs:
                verdicts.append('%s: own clock %s against %s not measured' % (name, label, other))
            else:
                ratio = mine / theirs
                verdicts.append('%s: own clock %s %.2f times %s (goal at most %.2f) %s'
                                % (name, label, ratio, other, most, 'met' if ratio <= most else 'NOT MET'))
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
