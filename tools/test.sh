#!/usr/bin/env bash
# Builds both deliverables, the tools and the tests, then runs every test under Wine.
#   tools/test.sh [build-dir] [ctest arguments...]
#   tools/test.sh                       everything, in ./build
#   tools/test.sh build -R Heap         only the tests whose name matches "Heap"
#   tools/test.sh -L script             only the script tests (arguments go to ctest)
# Installs missing Debian packages, starts one Xvfb display and one persistent wineserver
# on a prefix inside the build tree, runs ctest in parallel and stops what it started.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
if [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; then
  build=$1
  shift
fi
mkdir -p "$build"
build=$(cd "$build" && pwd)
started=$(date +%s%N)

. "$root/tools/build-tree.sh"
if ! build_tree_ready test.sh "$build"; then
  echo "test.sh: BUILD FAILED" >&2
  exit 2
fi

. "$root/tools/wine-env.sh"
wine_env_enter test.sh "$build"

# Work folders that failed script tests kept from the last run.
rm -rf "$WINEPREFIX/drive_c/kvtest"
log="$build/Testing/test-sh.log"
mkdir -p "$build/Testing"
# Wine maps its shared user data at one fixed address when a program starts; with address
# space randomisation that address is now and then already taken, and the program ends at
# once with exit code 1 and no output (err:virtual "failed to map the shared user data").
# ctest and every program it starts therefore run without randomisation.
norandom=()
if setarch "$(uname -m)" -R true 2>/dev/null; then
  norandom=(setarch "$(uname -m)" -R)
else
  echo "test.sh: address randomisation cannot be switched off; Wine may fail to start now and then" >&2
fi
set +e
"${norandom[@]}" ctest --test-dir "$build" --output-on-failure --timeout 300 -j "$(nproc)" "$@" </dev/null 2>&1 |
  tee "$log"
status=${PIPESTATUS[0]}
set -e

passed=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed ' "$log" || true)
skipped=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*\*\*\*Skipped' "$log" || true)
failed=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*(\*\*\*(Failed|Timeout|Exception)|Not Run|SEGFAULT|Child aborted)' "$log" || true)
ms=$(( ($(date +%s%N) - started) / 1000000 ))
printf '\ntest.sh: %s passed, %s failed, %s skipped in %d.%01d s: %s\n' \
  "$passed" "$failed" "$skipped" $((ms / 1000)) $((ms % 1000 / 100)) \
  "$([ "$status" = 0 ] && echo OK || echo FAILED)"
exit "$status"
