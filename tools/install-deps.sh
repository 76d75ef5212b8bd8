#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need, when they are missing.
# Runs as root (or through sudo when it is there); does nothing when all are installed.
set -euo pipefail
pkgs="cmake ninja-build g++ zlib1g-dev g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest
      wine wine64 xvfb xdotool imagemagick python3 locales mingw-w64-tools libwine-dev
      openssl osslsigncode"
# dpkg-query fails for a package it has never heard of; that one is missing too.
installed=$(dpkg-query -W -f='${Package} ${Status}\n' $pkgs 2>/dev/null |
            awk '$NF == "installed" { print $1 }' | sort -u || true)
missing=$(printf '%s\n' $pkgs | sort -u | comm -23 - <(printf '%s\n' "$installed") | tr '\n' ' ')
[ -z "${missing// /}" ] && exit 0

echo "install-deps: installing $missing"
sudo=""
if [ "$(id -u)" != 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: run as root to install: $missing" >&2; exit 1; }
  sudo=sudo
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q >/dev/null
# shellcheck disable=SC2086
$sudo apt-get install -y -q $missing >/dev/null
