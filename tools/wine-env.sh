# Sourced by the test and run commands: an Xvfb display and a persistent wineserver on a
# Wine prefix inside the build tree, set up so that tests behave (see wine_env_start).
#   wine_env_start <build-dir>   exports DISPLAY, WINEPREFIX, WINEDEBUG, LANG, TZ
#   wine_env_stop                stops what wine_env_start started

wine_env_start() {
  local build=$1
  export WINEPREFIX="$(cd "$build" && pwd)/wineprefix"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export LANG=en_US.UTF-8 TZ=UTC
  unset LC_ALL

  # Our own display: Xvfb picks a free number and tells it on a pipe.
  local fdfile; fdfile=$(mktemp)
  Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp >"$fdfile" 2>/dev/null &
  WINE_ENV_XVFB_PID=$!
  local i
  for i in $(seq 1 100); do
    [ -s "$fdfile" ] && break
    sleep 0.05
  done
  export DISPLAY=":$(head -n1 "$fdfile")"
  rm -f "$fdfile"

  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1
    wineserver -w
    # A crashing program exits at once instead of waiting in the debugger.
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d '' /f >/dev/null 2>&1
    # A virtual desktop makes modal boxes react to posted messages promptly.
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine' /v Version /d win10 /f >/dev/null 2>&1
    wine reg add 'HKCR\.txt' /ve /d txtfile /f >/dev/null 2>&1
    wineserver -w
  fi
  wineserver -p
  # The first process starts Wine's services, which keep its streams open: give it none.
  wine cmd /c exit </dev/null >/dev/null 2>&1
}

wine_env_stop() {
  wineserver -k 2>/dev/null || true
  if [ -n "${WINE_ENV_XVFB_PID:-}" ]; then
    kill "$WINE_ENV_XVFB_PID" 2>/dev/null || true
    wait "$WINE_ENV_XVFB_PID" 2>/dev/null || true
  fi
}
