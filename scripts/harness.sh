#!/usr/bin/env bash
# Starts and stops what every test run needs: the build folder's Wine prefix,
# one persistent wineserver (a Wine process then starts in a fraction of a
# second) and a virtual X display for tests that create windows.
# Usage: harness.sh start|stop BUILD_DIR
set -euo pipefail
cmd=$1
ZX_HARNESS=$(readlink -m "$2")
here=$(dirname "$(readlink -f "$0")")
state="$ZX_HARNESS/harness"
mkdir -p "$state"

stop() {
  source "$here/wine-env.sh"
  "$WINESERVER" -k >/dev/null 2>&1 || true
  if [ -s "$state/xvfb.pid" ]; then
    kill "$(cat "$state/xvfb.pid")" >/dev/null 2>&1 || true
  fi
  rm -f "$state/xvfb.pid" "$state/display"
}

case "$cmd" in
  start)
    "$here/wine-prefix.sh" "$ZX_HARNESS"
    stop
    # Xvfb picks a free display itself and writes its number to the pipe.
    # ZX_SCREEN gives a larger screen (the screenshots at 200 % need one).
    rm -f "$state/display"
    setsid Xvfb -displayfd 8 -screen 0 "${ZX_SCREEN:-1280x1024}x24" -nolisten tcp \
      8>"$state/display" </dev/null >"$state/xvfb.log" 2>&1 &
    echo $! > "$state/xvfb.pid"
    for _ in $(seq 100); do
      [ -s "$state/display" ] && break
      sleep 0.05
    done
    if [ ! -s "$state/display" ]; then
      echo "harness: Xvfb did not start" >&2; cat "$state/xvfb.log" >&2; exit 1
    fi
    # displayfd writes the number followed by a newline.
    tr -d '\n' < "$state/display" > "$state/display.tmp" && mv "$state/display.tmp" "$state/display"
    source "$here/wine-env.sh"
    setsid "$WINESERVER" -p </dev/null >/dev/null 2>&1 &
    # One throw-away process makes the server and the prefix warm.
    "$ZX_WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
    echo "harness: display $DISPLAY, prefix $WINEPREFIX"
    ;;
  stop)
    stop
    echo "harness: stopped"
    ;;
  *)
    echo "usage: harness.sh start|stop BUILD_DIR" >&2; exit 2 ;;
esac
