#!/usr/bin/env bash
# Builds the counting engine in <build-dir>/profile-gen (the same sources and layout, with
# counters in every branch), runs the training scripts on it and hands the counts to the
# objects of <build-dir> (the build calls it: see ENGINE_PGO in CMakeLists.txt):
#   train.sh <build-dir> <toolchain-file> <script>...
# Without Wine, or when a script fails, no counts are handed on: the library is then built
# without them, as with -DENGINE_PGO=OFF, and the build goes on.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$1 toolchain=$2
shift 2
gen=$build/profile-gen
stamp=$gen/profile.stamp
objects=CMakeFiles/engine_obj.dir
mkdir -p "$gen"

# Counts of an earlier library would be merged with these, or refused by the compiler.
find "$gen/$objects" "$build/$objects" -name '*.gcda' -delete 2>/dev/null

trained=0
if { [ -f "$gen/CMakeCache.txt" ] ||
     cmake -S "$root" -B "$gen" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DENGINE_PGO=OFF \
           -DENGINE_PROFILE_GENERATE=ON >/dev/null; } &&
   cmake --build "$gen" --target KVDYC64I kvhost >/dev/null; then
  . "$root/tools/wine-env.sh"
  if wine_env_start "$build"; then
    work=$gen/work
    rm -rf "$work"
    mkdir -p "$work"
    trained=1
    for script in "$@"; do
      if ! (cd "$work" && timeout 300 wine "$gen/bin/kvhost.exe" run "Z:${script//\//\\}" \
              </dev/null >/dev/null 2>&1); then
        echo "train.sh: $(basename "$script") failed on the counting engine" >&2
        trained=0
      fi
    done
    wine_env_stop
    rm -rf "$work"
  else
    echo "train.sh: no Wine environment" >&2
  fi
else
  echo "train.sh: the counting engine could not be built" >&2
fi

if [ "$trained" = 1 ]; then
  # Each count file goes beside the object of the same place in this build.
  (cd "$gen" && find "$objects" -name '*.gcda') | while read -r count; do
    mkdir -p "$(dirname "$build/$count")"
    cp "$gen/$count" "$build/$count"
  done
else
  echo "train.sh: the engine library is built without a profile" >&2
  find "$build/$objects" -name '*.gcda' -delete 2>/dev/null
fi
touch "$stamp"
