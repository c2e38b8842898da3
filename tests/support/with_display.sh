#!/bin/bash
# Runs a Windows program under Wine on a display of its own: an Xvfb started
# here, and a Wine prefix of its own (made once in the build folder) with its
# own wineserver, so that no other program of the build shares its desktop.
# Both are stopped when the program ends. Usage: with_display.sh PROGRAM [ARGS...]
# With KEEP_WINEPREFIX set, the caller's prefix (one of the caller's own) is used.
set -euo pipefail
[[ -n ${KEEP_WINEPREFIX:-} ]] || export WINEPREFIX=$BUILD_DIR/wineprefix-display
# Xvfb picks a free display itself and writes its number to the file.
numberfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$numberfile" >/dev/null 2>&1 &
xvfb=$!
stop() {
  /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  rm -f "$numberfile"
}
trap stop EXIT
display=
for _ in $(seq 100); do
  # The number is complete once its line ends.
  if [[ $(wc -l <"$numberfile") -ge 1 ]]; then
    display=$(tr -dc '0-9' <"$numberfile")
    break
  fi
  sleep 0.1
done
[[ -n $display ]] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$display"
if [[ ! -f $WINEPREFIX/system.reg ]]; then
  "$WINE_RUN" wineboot -i >/dev/null 2>&1 </dev/null || true
  /usr/lib/wine/wineserver -w
fi
"$WINE_RUN" "$@"
