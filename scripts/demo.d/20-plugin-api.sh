# The plug-in's scripting object driven as page script drives it: results come
# back to the page's callbacks later, on the browser's main thread.
echo "== the plug-in object parvelplugin and its scripting object parvelpluginAPI"
"$WINE_RUN" "$BUILD_DIR/bin/plugin_api_demo.exe" | tr -d '\r'
