# The Plexhost ActiveX control, registered with regsvr32 and driven by page script
# (JScript under cscript, through IDispatch), broadcasting to the stand-in engine.
root=$(cd "$(dirname "$0")/../.." && pwd)
dll="Z:${BUILD_DIR//\//\\}\\bin\\Plexhost.dll"
page="Z:${root//\//\\}\\demo\\control\\plexhost-demo.js"
cd "$BUILD_DIR/bin"
echo "Plexhost.FlashX: page script broadcasting through the ActiveX control"
"$WINE_RUN" regsvr32 /s "$dll" || { echo "  regsvr32 failed"; exit 1; }
echo "  regsvr32 Plexhost.dll: registered"
"$WINE_RUN" cscript //nologo "$page" | tr -d '\r'
status=${PIPESTATUS[0]}
"$WINE_RUN" regsvr32 /s /u "$dll"
echo "  regsvr32 /u Plexhost.dll: unregistered"
exit "$status"
