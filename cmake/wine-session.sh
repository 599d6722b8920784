#!/usr/bin/env bash
# The X server and Wine prefix that the Windows tests of one test run share.
#   wine-session.sh start   start Xvfb on :QEL_WINE_DISPLAY, make the prefix once, keep a wineserver
#   wine-session.sh stop    end that wineserver and that Xvfb (by the PID recorded at start)
# QEL_WINEPREFIX names the prefix; QEL_WINE_SESSION_DIR holds the PID and the logs.
set -euo pipefail
: "${QEL_WINEPREFIX:?}" "${QEL_WINE_DISPLAY:?}" "${QEL_WINE_SESSION_DIR:?}"
export WINEPREFIX=$QEL_WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=:$QEL_WINE_DISPLAY
pidfile=$QEL_WINE_SESSION_DIR/xvfb.pid

stop() {
  timeout 20 wineserver -k 2>/dev/null || true
  if [ -f "$pidfile" ]; then
    pid=$(cat "$pidfile")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
    rm -f "$pidfile"
  fi
}

start() {
  mkdir -p "$QEL_WINE_SESSION_DIR"
  [ -f "$pidfile" ] && stop
  if [ -e "/tmp/.X11-unix/X$QEL_WINE_DISPLAY" ] || [ -e "/tmp/.X$QEL_WINE_DISPLAY-lock" ]; then
    echo "display :$QEL_WINE_DISPLAY is taken; choose another with -DQEL_WINE_DISPLAY=N" >&2
    exit 1
  fi
  # Detached, with its output in a file: CTest waits for whatever holds its pipes.
  setsid Xvfb ":$QEL_WINE_DISPLAY" -screen 0 "${QEL_WINE_SCREEN:-1920x1080x24}" -noreset -nolisten tcp \
    >"$QEL_WINE_SESSION_DIR/xvfb.log" 2>&1 </dev/null &
  echo $! >"$pidfile"
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$QEL_WINE_DISPLAY" ] && break; sleep 0.1; done
  [ -e "/tmp/.X11-unix/X$QEL_WINE_DISPLAY" ] || { echo "Xvfb did not start" >&2; stop; exit 1; }
  # A wineserver that outlives each test, so no test waits for one to start or end, and
  # none holds a test's output pipes open.
  mkdir -p "$WINEPREFIX"
  setsid wineserver -p >"$QEL_WINE_SESSION_DIR/wineserver.log" 2>&1 </dev/null || true
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    timeout 300 wineboot -i >"$QEL_WINE_SESSION_DIR/wineboot.log" 2>&1 </dev/null || true
  fi
  # Without a window manager Wine waits seconds whenever it hides a managed window.
  timeout 120 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
    >"$QEL_WINE_SESSION_DIR/reg.log" 2>&1 </dev/null
  echo "Wine session on :$QEL_WINE_DISPLAY, prefix $WINEPREFIX"
}

"$1"
