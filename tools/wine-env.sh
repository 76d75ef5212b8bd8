# Sourced by the test and run commands: an Xvfb display and a persistent wineserver on a
# Wine prefix inside the build tree, set up so that programs and tests behave.
#   wine_env_start <build-dir>   exports DISPLAY, WINEPREFIX, WINEDEBUG, LANG, TZ, LOCPATH
#   wine_env_stop                stops what wine_env_start started (safe to call twice)
#   wine_env_enter <name> <build-dir>
#                                for a script: starts, stops again when the script ends
#                                (interrupted too), and ends the script with 3 when the
#                                start fails
#
# Each build tree has its own prefix and each start its own display, so several work trees
# can run their tests on one machine at the same time.

# Bump when the prefix set-up below changes: an older prefix is then made anew.
WINE_ENV_PREFIX_VERSION=3

_wine_env_say() { echo "wine-env: $*" >&2; }

# glibc locales of our own, so that Wine converts file names as UTF-8 and can switch a
# single process to a double-byte code page, without touching the system's locale set-up.
_wine_env_locales() {
  local dir=$1 loc
  for loc in en_US ja_JP; do
    [ -d "$dir/$loc.UTF-8" ] && continue
    mkdir -p "$dir"
    localedef -i "$loc" -f UTF-8 "$dir/$loc.UTF-8" >/dev/null 2>&1 ||
      _wine_env_say "could not build the $loc.UTF-8 locale (package 'locales' missing?)"
  done
}

_wine_env_registry() {
  local reg=$1
  printf '%s\r\n' 'REGEDIT4' '' \
    '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]' \
    '"Debugger"=""' '"Auto"="1"' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Explorer]' '"Desktop"="Default"' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]' '"Default"="1280x1024"' '' \
    '[HKEY_CURRENT_USER\Software\Wine]' '"Version"="win10"' '' \
    '[HKEY_CLASSES_ROOT\.txt]' '@="txtfile"' '' >"$reg"
}

# A prefix that is complete carries a stamp; anything else (an interrupted creation, an
# older set-up) is removed and made again.
_wine_env_prefix() {
  local stamp="$WINEPREFIX/.kv-prefix"
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$WINE_ENV_PREFIX_VERSION" ]; then
    return 0
  fi
  _wine_env_say "creating the Wine prefix $WINEPREFIX (once per build tree)"
  rm -rf "$WINEPREFIX"
  wineboot -i </dev/null >/dev/null 2>&1
  wineserver -w
  local reg="$WINE_ENV_DIR/prefix.reg"
  _wine_env_registry "$reg"
  # A crashing program exits at once (Auto 1: no "Exception raised" question, which a
  # program with windows would otherwise wait on; no debugger to start); a virtual
  # desktop makes modal boxes react to posted messages promptly.
  wine regedit /S "Z:${reg//\//\\}" </dev/null >/dev/null 2>&1
  wineserver -w
  if ! grep -q '"Desktop"="Default"' "$WINEPREFIX/user.reg"; then
    _wine_env_say "the registry settings did not reach the prefix"
    return 1
  fi
  echo "$WINE_ENV_PREFIX_VERSION" >"$stamp"
}

# The test COM server of the build registers its classes under HKLM (the test host points
# HKCU elsewhere), each start, so the prefix always names this build's server.
_wine_env_fixtures() {
  local dll="$1/bin/fixtures/comserver/kvcomsrv.dll"
  [ -f "$dll" ] || return 0
  wine regsvr32 /s "Z:${dll//\//\\}" </dev/null >/dev/null 2>&1 ||
    _wine_env_say "the test COM server could not be registered"
}

wine_env_start() {
  local build
  build=$(cd "$1" && pwd)
  WINE_ENV_DIR="$build/wine-env"
  mkdir -p "$WINE_ENV_DIR"
  export WINEPREFIX="$build/wineprefix"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export LOCPATH="$build/locale"
  _wine_env_locales "$LOCPATH"
  unset LC_ALL LC_CTYPE LC_MESSAGES LC_COLLATE LC_NUMERIC LC_TIME LANGUAGE
  export LANG=en_US.UTF-8 TZ=UTC

  # A server left behind by an interrupted run would keep the old display.
  wineserver -k >/dev/null 2>&1 || true

  # Our own display: Xvfb picks a free number and writes it to the descriptor we give.
  local fdfile="$WINE_ENV_DIR/display" i
  : >"$fdfile"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp \
       3>"$fdfile" </dev/null >"$WINE_ENV_DIR/xvfb.log" 2>&1 &
  WINE_ENV_XVFB_PID=$!
  for i in $(seq 1 200); do
    [ -s "$fdfile" ] && break
    if ! kill -0 "$WINE_ENV_XVFB_PID" 2>/dev/null; then break; fi
    sleep 0.025
  done
  if [ ! -s "$fdfile" ]; then
    _wine_env_say "Xvfb did not start:"
    cat "$WINE_ENV_DIR/xvfb.log" >&2
    return 1
  fi
  export DISPLAY=":$(head -n1 "$fdfile")"

  _wine_env_prefix || return 1
  wineserver -p
  # The first process starts Wine's services, which keep its streams open: give it none.
  wine cmd /c exit </dev/null >/dev/null 2>&1
  _wine_env_fixtures "$build"
  export KV_WINE_ENV="$WINEPREFIX"
}

wine_env_stop() {
  if [ -n "${WINEPREFIX:-}" ] && [ -n "${WINE_ENV_XVFB_PID:-}" ]; then
    wineserver -k >/dev/null 2>&1 || true
  fi
  if [ -n "${WINE_ENV_XVFB_PID:-}" ]; then
    kill "$WINE_ENV_XVFB_PID" 2>/dev/null || true
    wait "$WINE_ENV_XVFB_PID" 2>/dev/null || true
    WINE_ENV_XVFB_PID=
  fi
  unset KV_WINE_ENV
}

wine_env_enter() {
  trap wine_env_stop EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
  if ! wine_env_start "$2"; then
    echo "$1: the Wine environment could not be started" >&2
    exit 3
  fi
}
