#!/usr/bin/env bash
# Builds like tools/test.sh, then runs each benchmark script tools/bench/*.zal through the
# test host (build/bin/kvhost.exe) under Wine several times and prints a table of the best
# time of each measured phase.
#   tools/bench.sh [build-dir] [-n runs] [-o file] [-b engine.dll] [name...]
#   tools/bench.sh                       every benchmark, 5 runs each, in ./build
#   tools/bench.sh -n 3 vars strings     only tools/bench/vars.zal and strings.zal
#   tools/bench.sh -o before.txt         the table is also written to before.txt
#   tools/bench.sh -b old/KVDYC64I.dll   each run also with that engine (an older build),
#                                        alternating, and the table sets both side by side
#   tools/bench.sh --versus [-n runs]    whole programs side by side: each script of
#                                        tools/bench/versus packed into a program, its
#                                        VBScript twin under `wine cscript //nologo` and its
#                                        CPython twin, runs alternating; prints the best
#                                        times, their ratios, the costs per iteration and
#                                        the peak memory of each program
# A benchmark script prints one line per phase: "BENCH <name> <operations> <milliseconds>",
# timed with the test host's hostclock() inside the script, so Wine's start-up is not in
# the figures.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
if [ $# -gt 0 ] && [ "${1#-}" = "$1" ] && [ ! -f "$root/tools/bench/$1.zal" ]; then
  build=$1
  shift
fi
runs=5
out=
base=
versus=
while [ $# -gt 0 ]; do
  case $1 in
    --versus) versus=1; shift ;;
    -n) runs=$2; shift 2 ;;
    -o) out=$(realpath -m "$2"); shift 2 ;;
    -b) base=$(realpath "$2"); shift 2 ;;
    -*) echo "bench.sh: unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
mkdir -p "$build"
build=$(cd "$build" && pwd)

scripts=()
if [ $# -eq 0 ]; then
  scripts=("$root"/tools/bench/*.zal)
else
  for name in "$@"; do
    [ -f "$root/tools/bench/$name.zal" ] || { echo "bench.sh: no tools/bench/$name.zal" >&2; exit 2; }
    scripts+=("$root/tools/bench/$name.zal")
  done
fi

. "$root/tools/build-tree.sh"
if ! build_tree_ready bench.sh "$build"; then
  echo "bench.sh: BUILD FAILED" >&2
  exit 2
fi

. "$root/tools/wine-env.sh"
wine_env_enter bench.sh "$build"

if [ -n "$versus" ]; then
  work=$WINEPREFIX/drive_c/kvversus
  rm -rf "$work"
  mkdir -p "$work"
  for script in "$root"/tools/bench/versus/*.zal; do
    name=$(basename "$script" .zal)
    "$build/native/kvpack" -o "$work/$name.exe" -l "$build/bin/kvcmp64i.exe" -e "$build/bin/KVDYC64I.dll" \
      "$script" >/dev/null
  done
  cp "$root"/tools/bench/versus/*.vbs "$root"/tools/bench/versus/*.py "$work/"
  python3 "$root/tools/bench/versus.py" "$work" "$runs" "$out"
  exit $?
fi

work=$WINEPREFIX/drive_c/kvbench
rm -rf "$work"
mkdir -p "$work"

python3 - "$build/bin/kvhost.exe" "$work" "$runs" "$out" "$base" "${scripts[@]}" <<'PY'
import os, statistics, subprocess, sys, time

kvhost, work, runs, out, base, scripts = (sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4], sys.argv[5],
                                          sys.argv[6:])

def win(path):
    return 'Z:' + os.path.abspath(path).replace('/', '\\')

# The engines each script runs with, in turn: the build's, and the base engine when given.
engines = [('', [])] + ([('base', ['--dll', win(base)])] if base else [])
times = {}          # (engine, phase) -> [ms per run]
phases = []         # (phase, operations) in the order first seen
failed = False
for script in scripts:
    name = os.path.splitext(os.path.basename(script))[0]
    for run in range(runs):
        for engine, options in engines:
            started = time.monotonic()
            p = subprocess.run(['wine', kvhost, 'run'] + options + [win(script)], cwd=work,
                               stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                               timeout=600)
            wall = (time.monotonic() - started) * 1000
            for line in p.stdout.decode('utf-8', 'replace').replace('\r', '').splitlines():
                parts = line.split()
                if len(parts) == 4 and parts[0] == 'BENCH':
                    if (parts[1], int(parts[2])) not in phases:
                        phases.append((parts[1], int(parts[2])))
                    times.setdefault((engine, parts[1]), []).append(float(parts[3]))
                elif line.strip():
                    print('%s: %s' % (name, line))
            if p.returncode != 0:
                print('%s: kvhost ended with %d' % (name, p.returncode))
                failed = True
            print('%s run %d%s: %.0f ms in all' % (name, run + 1, ' (base)' if engine else '', wall),
                  file=sys.stderr)

def per_op(ms, ops):
    return ms * 1000.0 / ops if ops else 0.0

if base:
    lines = ['%-24s %10s %10s %10s %10s %10s %7s' % ('benchmark', 'operations', 'base ms', 'best ms',
                                                      'base us/op', 'us/op', 'ratio')]
else:
    lines = ['%-24s %10s %10s %10s %12s' % ('benchmark', 'operations', 'best ms', 'median ms', 'us/op (best)')]
for phase, ops in phases:
    mine = times.get(('', phase))
    if not mine:
        continue
    best = min(mine)
    if base:
        other = min(times.get(('base', phase), [float('nan')]))
        lines.append('%-24s %10d %10.1f %10.1f %10.2f %10.2f %7.2f' % (
            phase, ops, other, best, per_op(other, ops), per_op(best, ops), best / other if other else 0.0))
    else:
        lines.append('%-24s %10d %10.1f %10.1f %12.2f' % (phase, ops, best, statistics.median(mine),
                                                         per_op(best, ops)))
lines.append('(best%s of %d runs; times from hostclock() inside the script%s)' % (
    '' if base else ' and median', runs, '; runs alternate between the engines' if base else ''))
table = '\n'.join(lines)
print()
print(table)
if out:
    with open(out, 'w') as f:
        f.write(table + '\n')
sys.exit(1 if failed else 0)
PY
