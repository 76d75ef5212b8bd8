#!/bin/sh
# Runs one Windows test program under the prepared Wine prefix (see tools/wine-env.sh).
exec wine "$@"
