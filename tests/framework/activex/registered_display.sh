#!/bin/bash
# Runs a program of the build on a display of its own with the plug-in library
# registered machine-wide (through the registration driver named heat.exe:
# Wine creates by ProgID only what is registered machine-wide). Run inside a
# Wine prefix of its own (tests/support/own_wine_prefix.sh).
# Usage: registered_display.sh PROGRAM [ARGS...]
set -euo pipefail
bin=$BUILD_DIR/bin
winpath() { echo "Z:${1//\//\\}"; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$bin/registration_driver.exe" "$work/heat.exe"
cd "$bin"
"$WINE_RUN" "$(winpath "$work/heat.exe")" "$(winpath "$bin/npparvelplugin.dll")" register >/dev/null
# Wine's desktop was started without a display: it starts again on the display.
/usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
/usr/lib/wine/wineserver -w >/dev/null 2>&1 || true
KEEP_WINEPREFIX=1 bash "$SOURCE_DIR/tests/support/with_display.sh" "$@"
