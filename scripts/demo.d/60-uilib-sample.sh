#!/bin/bash
# The updater's UI library: builds its sample window from the sample skin under
# a virtual display and saves a picture of it.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
echo "UI library: the sample skin (tests/uilib/sample/MainFrame.xml) as a window"
"$root/scripts/uilib-screenshot" "$BUILD_DIR/uilib-sample.png"
echo "open $BUILD_DIR/uilib-sample.png to see it"
