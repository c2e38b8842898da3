# Sourced by the Plexhost script tests: registration helpers over $WINE_RUN.
set -euo pipefail
bin=$BUILD_DIR/bin
dll=$bin/Plexhost.dll
run() { (cd "$bin" && "$WINE_RUN" "$@" 2>&1 | tr -d '\r'); }
winpath() { echo "Z:${1//\//\\}"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
failures=0

regsvr() { (cd "$bin" && "$WINE_RUN" regsvr32 /s "$@" "$(winpath "$dll")" >/dev/null 2>&1); }
