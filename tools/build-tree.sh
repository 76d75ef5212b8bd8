# Sourced by the scripts that build and then use the Wine prefix of a build tree
# (tools/test.sh, tools/bench.sh, tools/run-pelmora.sh):
#   build_tree_ready NAME BUILD-DIR
# installs missing Debian packages, takes the build tree's lock on descriptor 9 (the Wine
# prefix and server belong to the tree: one user at a time; NAME says who waits), configures
# the tree when it is new and builds it. Answers 1 when any of these fails.

build_tree_ready() {
  local name=$1 build=$2 root
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  "$root/tools/install-deps.sh" || return 1

  exec 9>"$build/.test.lock"
  if ! flock -n 9; then
    echo "$name: another run is using $build; waiting for it"
    flock 9
  fi

  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -G Ninja \
          -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null || return 1
  else
    cmake -S "$root" -B "$build" >/dev/null || return 1
  fi
  cmake --build "$build" || return 1
}
