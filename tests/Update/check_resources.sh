#!/bin/bash
# check_resources.sh UPDATE_EXE: the program carries its resources: the skin
# archive (resource "SKIN" 130 in Chinese, Simplified, holding MainFrame.xml
# and its seven images), icon group 107, a manifest asking to run as
# administrator, and a version.
set -u
exe=$1
listing=$(7zz l -tPE "$exe") || { echo "7zz cannot read $exe"; exit 1; }
fail=0
for entry in .rsrc/2052/SKIN/130 GROUP_ICON/107 MANIFEST/1 version.txt; do
  grep -q "$entry" <<<"$listing" || { echo "$exe: no resource $entry"; fail=1; }
done
7zz e -tPE -so "$exe" .rsrc/1033/MANIFEST/1 2>/dev/null | grep -q 'level="requireAdministrator"' ||
  { echo "$exe: the manifest does not require an administrator"; fail=1; }
skin=$(mktemp)
trap 'rm -f "$skin"' EXIT
7zz e -tPE -so "$exe" .rsrc/2052/SKIN/130 >"$skin" 2>/dev/null
names=$(python3 -c 'import sys, zipfile; print("\n".join(sorted(zipfile.ZipFile(sys.argv[1]).namelist())))' "$skin") ||
  { echo "$exe: the skin is not a zip archive"; exit 1; }
expected="MainFrame.xml
button_hot.png
button_normal.png
closebtn_1.png
closebtn_2.png
closebtn_3.png
progress_background.png
progress_foreground.png"
[[ $names == "$expected" ]] || { printf '%s: the skin holds\n%s\n' "$exe" "$names"; fail=1; }
[[ $fail == 0 ]] && echo "$exe: skin, icon, manifest and version present"
exit $fail
