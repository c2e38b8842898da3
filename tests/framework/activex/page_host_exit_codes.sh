#!/bin/bash
# The page host's own answers: the page's done(code), 2 when the page never
# calls done in time, 3 on an uncaught script error (printed), 64 for a wrong
# command line. Usage: page_host_exit_codes.sh ACTIVEX_PAGE_EXE
set -u
page_host=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
expect() {  # expect NAME CODE [TEXT] -- ARGS...
  local name=$1 code=$2 text=$3
  shift 4
  local output status
  "$WINE_RUN" "$page_host" "$@" >"$work/output" 2>&1
  status=$?
  output=$(tr -d '\r' <"$work/output")
  if [[ $status != "$code" ]] || [[ -n $text && $output != *"$text"* ]]; then
    echo "FAILED $name: exit $status (expected $code), output: $output"
    failures=$((failures + 1))
  fi
}
echo 'function main() { done(7); }' >"$work/seven.js"
echo 'function main() { setTimeout(function () {}, 10); }' >"$work/silent.js"
echo 'function main() { setTimeout(function () { undefinedFunction(); }, 0); }' >"$work/throws.js"
echo 'function main() { nosuch.member = 1; }' >"$work/throws-in-main.js"
expect "done(7)" 7 "" -- --object "$work/seven.js"
expect "no done in time" 2 "did not call done() in time" -- --object --timeout 300 "$work/silent.js"
expect "error in a timer" 3 "script error" -- --object "$work/throws.js"
expect "error in main" 3 "script error" -- --object "$work/throws-in-main.js"
expect "no mode" 64 "usage" -- "$work/seven.js"
expect "a page file that is missing" 3 "cannot read" -- --object "$work/none.js"
[[ $failures == 0 ]] && echo "page host exit codes: all held"
exit $((failures > 0))
