#!/bin/bash
# The delayed-call helper's script, run by Wine's JScript engine with a page
# stand-in (window object, setTimeout queue): both call forms are scheduled on a
# timer, not run at once, and then call the page function with its arguments.
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$WINE_RUN" "$BUILD_DIR/bin/delayed_call_script_printer.exe" 800 | tr -d '\r' >"$work/helper.txt"
name=$(sed -n 1p "$work/helper.txt")
[[ $name == __FB_CALL_900 ]] || { echo "helper name for seed 800: $name"; exit 1; }

{
  cat <<'JS'
var window = {};
var global = this;
var timers = [];
function setTimeout(f, delay) { timers.push({ f: f, delay: delay }); return timers.length; }
var log = [];
function runTimers() { var due = timers; timers = []; for (var i = 0; i < due.length; ++i) due[i].f(); }
try {
JS
  sed -n 2p "$work/helper.txt"
  cat <<'JS'
  var helper = window.__FB_CALL_900;
  function callback(a, b) { log.push("callback(" + a + "," + b + ") this=" + (this === global ? "global" : "other")); }
  var page = { count: 0, bump: function (step) { this.count += step; log.push("bump(" + step + ") this=" + (this === page ? "page" : "other")); } };
  var first = helper(0, callback, [3, "x"]);
  var second = helper(250, page, [5], "bump");
  log.push("queued " + first + "," + second + " delays " + timers[0].delay + "," + timers[1].delay);
  runTimers();
  WScript.Echo(log.join("\n"));
  WScript.Quit(page.count == 5 ? 0 : 3);
} catch (e) {
  WScript.Echo("error: " + e.message);
  WScript.Quit(2);
}
JS
} >"$work/page.js"

page="Z:${work//\//\\}\\page.js"
output=$("$WINE_RUN" cscript //nologo "$page" | tr -d '\r')
expected='queued 1,2 delays 0,250
callback(3,x) this=global
bump(5) this=page'
if [[ $output != "$expected" ]]; then
  echo "got:"; echo "$output"; echo "expected:"; echo "$expected"; exit 1
fi
echo "delayed-call helper schedules both call forms"
