#!/bin/bash
# The updater program: Update.exe under a virtual display brings an
# installation from 1.0.0.9 to 1.0.0.10 from a local server through its
# window, agreed to by a click; a screenshot of each page is kept.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
echo "Update.exe: an update through its window (new version, downloading, installing, finished)"
"$root/scripts/updater-window" "$BUILD_DIR/updater-window"
echo "open the pictures above to see the pages"
