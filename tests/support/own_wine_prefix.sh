#!/bin/bash
# Runs a command with a Wine prefix of its own, for tests that change the
# registry: nothing they write reaches other tests, and nothing others write
# reaches them. Usage: own_wine_prefix.sh COMMAND [ARGS...]
#
# The prefix is a copy of a template made once per build folder (a fresh
# prefix takes Wine a long while to make): the system's files are hard links,
# the registry, the .ini files and the user's folders are real copies, since
# Wine changes those. The prefix's own wineserver (kept running meanwhile) is
# stopped and the prefix removed when the command ends.
set -euo pipefail
template=$BUILD_DIR/wineprefix-template
(
  flock 9
  if [[ ! -f $template/system.reg ]]; then
    rm -rf "$template"
    WINEPREFIX=$template "$WINE_RUN" wineboot -i >/dev/null 2>&1 </dev/null || true
    WINEPREFIX=$template /usr/lib/wine/wineserver -w
  fi
) 9>"$BUILD_DIR/wineprefix-template.lock"

prefix=$(mktemp -d "$BUILD_DIR/wineprefix-own.XXXXXX")
stop() {
  WINEPREFIX=$prefix /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  WINEPREFIX=$prefix /usr/lib/wine/wineserver -w >/dev/null 2>&1 || true
  rm -rf "$prefix"
}
trap stop EXIT
cp -al "$template/." "$prefix/"
for file in "$prefix"/*.reg "$prefix"/.update-timestamp "$prefix"/drive_c/windows/*.ini; do
  [[ -f $file ]] || continue
  cp --remove-destination "$template/${file#"$prefix"/}" "$file"
done
rm -rf "$prefix/drive_c/users"
cp -a "$template/drive_c/users" "$prefix/drive_c/users"
export WINEPREFIX=$prefix
# A persistent server keeps Wine's services running between the command's
# programs, so that each later start is quick; it never holds our output pipes.
(exec 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&-; setsid /usr/lib/wine/wineserver -p >/dev/null 2>&1 </dev/null &)
"$WINE_RUN" cmd /c exit >/dev/null 2>&1 </dev/null || true
"$@"
