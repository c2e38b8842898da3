# The camera library: the test camera (a source filter registered as a video
# input device) opened by friendly name, its frame read back from "VC_SHARE",
# and the time per frame copied beside a plain memcpy.
set -u
camera_dll=$("$WINE_RUN" winepath -w "$BUILD_DIR/bin/TestCamera.dll" 2>/dev/null | tr -d '\r')
"$WINE_RUN" regsvr32 /s "$camera_dll"
"$WINE_RUN" "$BUILD_DIR/bin/camtap_demo.exe" "Stagecast Test Camera" 160 120 | tr -d '\r'
status=${PIPESTATUS[0]}
"$WINE_RUN" regsvr32 /s /u "$camera_dll"
echo
"$WINE_RUN" "$BUILD_DIR/bin/camtap_bench.exe" 300 | tr -d '\r'
exit "$status"
