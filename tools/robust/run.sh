#!/usr/bin/env bash
# The robustness harness's full runs, in the test environment of a build tree (its display
# and Wine prefix, as tools/test.sh starts them):
#   tools/robust/run.sh [build-dir] sweep [sweep.py options]    every served built-in with
#                                                                hostile arguments
#   tools/robust/run.sh [build-dir] mutate [mutate.py options]  mutants of tests/scripts
#   tools/robust/run.sh [build-dir] all                          both
# Without options the runs are the full ones (some 108 000 calls, some 56 000 mutants; an
# hour or two); options replace those defaults. Each prints every crash and hang, writes a
# script that shows it, and ends with 1 when there was one. The build must exist.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$root/build
if [ $# -gt 0 ] && [ -d "$1" ]; then
  build=$(cd "$1" && pwd)
  shift
fi
what=${1:-all}
shift || true
if [ ! -x "$build/bin/kvhost.exe" ] || [ ! -x "$build/bin/kvbuiltins.exe" ]; then
  echo "run.sh: no build in $build (tools/test.sh builds one)" >&2
  exit 2
fi

. "$root/tools/wine-env.sh"
wine_env_enter robust "$build"
export KVTEST_BIN=$build/bin PYTHONPATH=$root/tests/lib PYTHONDONTWRITEBYTECODE=1
norandom=()
if setarch "$(uname -m)" -R true 2>/dev/null; then
  norandom=(setarch "$(uname -m)" -R)
fi
run() { "${norandom[@]}" python3 "$root/tools/robust/$1" "${@:2}"; }

# The full sweep also sends to live windows of a program nobody here wrote (--live-windows).
full_sweep=(--all --per-arity 24 --coverage --live-windows --jobs 4)
full_mutate=(--desktop --per-script 270 --jobs 4)
status=0
case $what in
  sweep)  if [ $# -eq 0 ]; then set -- "${full_sweep[@]}"; fi
          run sweep.py "$@" || status=$? ;;
  mutate) if [ $# -eq 0 ]; then set -- "${full_mutate[@]}"; fi
          run mutate.py "$@" || status=$? ;;
  all)    run sweep.py "${full_sweep[@]}" || status=$?
          run mutate.py "${full_mutate[@]}" || status=$? ;;
  *) echo "run.sh: sweep, mutate or all" >&2; exit 2 ;;
esac
exit "$status"
