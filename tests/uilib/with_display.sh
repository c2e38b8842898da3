#!/bin/bash
# Runs a Windows program under Wine on a display of its own: an Xvfb started
# here, and a Wine prefix of its own (made once in the build folder) with its
# own wineserver, so that no other program of the build shares its desktop.
# Both are stopped when the program ends. Usage: with_display.sh PROGRAM [ARGS...]
set -euo pipefail
display=
for n in $(seq 90 140); do
  if [[ ! -e /tmp/.X$n-lock && ! -e /tmp/.X11-unix/X$n ]]; then
    display=$n
    break
  fi
done
[[ -n $display ]] || { echo "no free X display" >&2; exit 1; }
export WINEPREFIX=$BUILD_DIR/wineprefix-display
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
stop() {
  /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
}
trap stop EXIT
for _ in $(seq 100); do
  [[ -e /tmp/.X11-unix/X$display ]] && break
  sleep 0.1
done
export DISPLAY=":$display"
if [[ ! -f $WINEPREFIX/system.reg ]]; then
  "$WINE_RUN" wineboot -i >/dev/null 2>&1 </dev/null || true
  /usr/lib/wine/wineserver -w
fi
"$WINE_RUN" "$@"
