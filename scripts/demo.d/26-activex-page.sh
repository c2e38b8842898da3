# The Internet Explorer road's bridge in the page host activex_page.exe (Wine's
# JScript as the page over a browser of our own): page script broadcasts through
# the plug-in's COM script object, and every callback reaches the page later.
root=$(cd "$(dirname "$0")/../.." && pwd)
echo "== the plug-in's scripting object through IDispatchEx in a page of our own"
cd "$BUILD_DIR/bin"
"$WINE_RUN" activex_page.exe --object "$root/demo/framework/activex/page-demo.js" | tr -d '\r'
