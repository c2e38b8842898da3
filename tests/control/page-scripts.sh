#!/bin/bash
# Page script: each scripts/*.js (after tests/support/cscript-harness.js) runs
# under cscript against the registered control.
source "$(dirname "$0")/plexhost-common.sh"
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'regsvr /u || true; rm -rf "$work"' EXIT
regsvr || { echo "regsvr32 failed"; exit 1; }
for script in "$here"/scripts/*.js; do
  name=$(basename "$script")
  cat "$here/../support/cscript-harness.js" "$script" >"$work/$name"
  if out=$(run cscript //nologo "$(winpath "$work/$name")"); then
    echo "ok   $name: ${out##*$'\n'}"
  else
    echo "FAIL $name:"; echo "$out"
    failures=$((failures + 1))
  fi
done
echo "page scripts: $failures failed"
[[ $failures == 0 ]]
