# The browser plug-in npparvelplugin.dll loaded by a browser through its NPAPI
# exports (our test browser, with Wine's JScript as the page's script engine):
# page script broadcasts, and every callback reaches the page later from its
# timers, once through the browser's asynchronous-call entry and once through
# the hidden message window (a browser whose user agent names Safari).
echo "== npparvelplugin.dll in an NPAPI browser"
cd "$BUILD_DIR/bin"
"$WINE_RUN" npapi_browser_demo.exe | tr -d '\r'
status=${PIPESTATUS[0]}
echo
echo "== the same page in a browser whose user agent names Safari (window-message delivery)"
"$WINE_RUN" npapi_browser_demo.exe "Mozilla/5.0 (Windows NT 6.1) AppleWebKit/534.57.2 Safari/534.57.2" | tr -d '\r' | tail -4
[ "$status" -eq 0 ] || exit "$status"
echo
echo "== calls per second through the NPAPI road beside a native page object"
"$WINE_RUN" npapi_bench.exe 100000 npparvelplugin.dll application/x-parvelplugin "api.ISready(null)" | tr -d '\r'
