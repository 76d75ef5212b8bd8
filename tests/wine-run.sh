#!/bin/sh
# Runs one Windows test program under the Wine environment that tools/test.sh prepares.
if [ -z "${KV_WINE_ENV:-}" ] || [ "$KV_WINE_ENV" != "${WINEPREFIX:-}" ]; then
  echo "wine-run: no test environment; run tests through tools/test.sh [build-dir] [ctest args]" >&2
  exit 1
fi
exec wine "$@" </dev/null
