# The plug-in library as an ActiveX control: registered machine-wide (through a
# registering program named heat.exe, the installer's road) and driven by page
# script under cscript, then unregistered; then embedded in the object tag of a
# page of the project's page host (on an Xvfb display of its own), with every
# callback.
root=$(cd "$(dirname "$0")/../.." && pwd)
winpath() { echo "Z:${1//\//\\}"; }
dll=$(winpath "$BUILD_DIR/bin/npparvelplugin.dll")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$BUILD_DIR/bin/registration_driver.exe" "$work/heat.exe"
heat=$(winpath "$work/heat.exe")
cd "$BUILD_DIR/bin"
echo "VQuorvanMG.parvelplugin: page script through the plug-in library's ActiveX control"
"$WINE_RUN" "$heat" "$dll" register >/dev/null || { echo "  registration failed"; exit 1; }
echo "  heat.exe DllRegisterServer: registered machine-wide"
"$WINE_RUN" cscript //nologo "$(winpath "$root/demo/framework/activex/control-demo.js")" | tr -d '\r'
status=${PIPESTATUS[0]}
"$WINE_RUN" "$heat" "$dll" unregister >/dev/null
echo "  heat.exe DllUnregisterServer: unregistered"
[[ $status == 0 ]] || exit "$status"
echo "  the page host's page with the control in its object tag:"
bash "$root/tests/support/with_display.sh" "$BUILD_DIR/bin/activex_page.exe" --control --param onload=pageLoaded \
  "$root/demo/framework/activex/control-page-demo.js" | tr -d '\r'
exit "${PIPESTATUS[0]}"
