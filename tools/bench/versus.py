#!/usr/bin/env python3
"""Whole programs side by side (tools/bench.sh --versus): each packed program of the work
folder and its VBScript twin run alternately under the same Wine; the best wall time of
each, the ratio, and the peak memory of the packed program (the maximum resident set of
the Wine process, read by /usr/bin/time).

Usage: versus.py WORK-FOLDER RUNS [OUT-FILE]
A program writes its result into versus.out and the VBScript twin echoes it; both must
agree, or the line is marked as wrong.
"""
import os
import subprocess
import sys
import time

# name: (what it does, goal as the largest ratio to VBScript, or None: an absolute goal)
CASES = [
    ('for_add', '1M-iteration For with s = s + 1', 0.5),
    ('append', '100k appends s = s : "x"', 0.2),
    ('calls', '200k calls of a two-parameter function', 0.5),
    ('empty', 'empty packed script', None),
]
EMPTY_GOAL_MS = 180.0


def run(work, command):
    """Wall milliseconds, peak resident kilobytes and output of one run."""
    out = os.path.join(work, 'versus.out')
    if os.path.exists(out):
        os.remove(out)
    started = time.monotonic()
    p = subprocess.run(['/usr/bin/time', '-f', 'KVMAXRSS %M'] + command, cwd=work, stdin=subprocess.DEVNULL,
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=600)
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


def main():
    work, runs = sys.argv[1], int(sys.argv[2])
    out_file = sys.argv[3] if len(sys.argv) > 3 else ''
    best = {}
    peak = {}
    answers = {}
    failed = False
    for name, _, _ in CASES:
        run(work, ['wine', name + '.exe'])    # the first run extracts the engine beside the program
    # Round by round over every case, so that a slow spell of the machine (its start of a
    # Wine process varies by tens of milliseconds from one spell to the next) falls on all
    # of them rather than on every run of one.
    for _ in range(runs):
        for name, _, _ in CASES:
            exe = name + '.exe'
            vbs = name + '.vbs'
            commands = [('zal', ['wine', exe])]
            if os.path.exists(os.path.join(work, vbs)):
                commands.append(('vbs', ['wine', 'cscript', '//nologo', vbs]))
            for kind, command in commands:
                wall, rss, text, code = run(work, command)
                if code != 0:
                    print('%s (%s) ended with %d' % (name, kind, code), file=sys.stderr)
                    failed = True
                key = (name, kind)
                best[key] = min(best.get(key, wall), wall)
                if kind == 'zal':
                    peak[name] = max(peak.get(name, 0), rss)
                answers[key] = text
    lines = ['%-8s %-42s %9s %9s %7s %7s %10s' % ('bench', 'what', 'zal ms', 'vbs ms', 'ratio', 'goal', 'peak KB')]
    for name, what, goal in CASES:
        zal = best[(name, 'zal')]
        if goal is None:
            lines.append('%-8s %-42s %9.0f %9s %7s %7s %10d' % (name, what, zal, '-', '-',
                                                              '<=%.0fms' % EMPTY_GOAL_MS, peak[name]))
            continue
        vbs = best[(name, 'vbs')]
        mark = '' if answers[(name, 'zal')] == answers[(name, 'vbs')] else '  (results differ: %r, %r)' % (
            answers[(name, 'zal')], answers[(name, 'vbs')])
        if mark:
            failed = True
        lines.append('%-8s %-42s %9.0f %9.0f %7.2f %7s %10d%s' % (name, what, zal, vbs, zal / vbs, '<=%.2f' % goal,
                                                                peak[name], mark))
    lines.append('(best of %d runs each, alternating, whole processes under Wine; peak KB: the largest resident set)'
                 % runs)
    lines.append('append peak over empty: %d KB' % (peak['append'] - peak['empty']))
    table = '\n'.join(lines)
    print(table)
    if out_file:
        with open(out_file, 'w') as f:
            f.write(table + '\n')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
