#!/usr/bin/env bash
# Builds both deliverables and the tests, then runs every test under Wine.
#   tools/test.sh [build-dir] [ctest arguments...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
[ $# -gt 0 ] && shift
"$root/tools/install-deps.sh"

cmake -S "$root" -B "$build" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build"

. "$root/tools/wine-env.sh"
trap wine_env_stop EXIT
wine_env_start "$build"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@"
