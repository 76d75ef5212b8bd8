#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when they are missing.
set -euo pipefail
pkgs="cmake ninja-build g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest g++ zlib1g-dev
      wine wine64 xvfb xdotool imagemagick python3"
missing=""
for p in $pkgs; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q >/dev/null
  apt-get install -y -q $missing >/dev/null
fi
