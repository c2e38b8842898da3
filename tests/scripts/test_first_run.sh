#!/bin/bash
# scripts/test and scripts/demo on a machine's first run, where scripts/setup
# installs Wine: the architecture is asked after setup, so setup, build and
# tests take one road. The scripts run from a copy whose setup is a stub that
# installs a stub loader, with cmake, ctest and the wineservers stubbed too;
# each stub writes its call to a log, which must be the road's.
set -uo pipefail
: "${SOURCE_DIR:?}"
# Every stub lives under $work: without it they would land on the machine's own paths.
work=$(mktemp -d) && [[ -d $work ]] || { echo "cannot make a temporary folder" >&2; exit 1; }
trap 'rm -rf "$work"' EXIT
unset STAGECAST_RUNNABLE_ARCH JOBS CMAKE_BUILD_PARALLEL_LEVEL
export STAGECAST_DEPS=$work/deps STAGECAST_WINE_LOADER=$work/wine CALLS=$work/calls
failures=0

stub() { # path, body
  mkdir -p "$(dirname "$1")"
  printf '#!/bin/bash\n%s\n' "$2" >"$1"
  chmod +x "$1"
}
mkdir -p "$work/root/scripts/demo.d"
cp -r "$SOURCE_DIR/scripts/lib" "$SOURCE_DIR/scripts/test" "$SOURCE_DIR/scripts/demo" "$work/root/scripts/"
# LOADER_AFTER_SETUP: the loader's exit status once setup has run (none: not installed).
stub "$work/root/scripts/setup" 'echo setup >>"$CALLS"
[[ $LOADER_AFTER_SETUP == none ]] || printf "#!/bin/sh\nexit %s\n" "$LOADER_AFTER_SETUP" >"$STAGECAST_WINE_LOADER"
chmod +x "$STAGECAST_WINE_LOADER" 2>/dev/null || true'
stub "$work/root/scripts/demo.d/10-step.sh" 'echo "demo step" >>"$CALLS"'
for arch in i686 x86_64; do
  stub "$work/root/build/$arch/wine-server" "echo \"wineserver $arch \$*\" >>\"\$CALLS\""
done
stub "$work/bin/cmake" 'echo "cmake $*" | sed "s/ -DDEPS_PREFIX=[^ ]*//" >>"$CALLS"'
stub "$work/bin/ctest" 'echo "ctest $*" >>"$CALLS"'
export PATH=$work/bin:$PATH

i686_road='setup
cmake --preset i686
cmake --build --preset i686
wineserver i686 start
ctest --preset i686
wineserver i686 stop'
x86_64_road='setup
cmake --preset i686
cmake --build --preset i686 --target pe_inputs
ctest --preset i686 -L pe
cmake --preset x86_64
cmake --build --preset x86_64
wineserver x86_64 start
ctest --preset x86_64
wineserver x86_64 stop'
i686_demo='setup
cmake --preset i686
cmake --build --preset i686
wineserver i686 start
demo step
wineserver i686 stop'
x86_64_demo='setup
cmake --preset x86_64
cmake --build --preset x86_64
wineserver x86_64 start
demo step
wineserver x86_64 stop'

# machine | loader before setup | loader after setup | script | expected road
cases=(
  "first run, 32-bit capable: setup installs Wine|none|0|test|i686_road"
  "first run, no 32-bit code: the installed loader fails|none|1|test|x86_64_road"
  "Wine already there|0|0|test|i686_road"
  "first run of the demo, 32-bit capable|none|0|demo|i686_demo"
  "first run of the demo, no 32-bit code|none|1|demo|x86_64_demo"
)
for entry in "${cases[@]}"; do
  IFS='|' read -r what before after script road <<<"$entry"
  expected=${!road}
  rm -f "$CALLS" "$STAGECAST_WINE_LOADER"
  [[ $before == none ]] || printf '#!/bin/sh\nexit %s\n' "$before" >"$STAGECAST_WINE_LOADER"
  chmod +x "$STAGECAST_WINE_LOADER" 2>/dev/null
  LOADER_AFTER_SETUP=$after "$work/root/scripts/$script" >/dev/null 2>&1
  status=$?
  calls=$(cat "$CALLS")
  if [[ $status == 0 && $calls == "$expected" ]]; then
    echo "ok: scripts/$script, $what"
  else
    echo "FAILED: scripts/$script, $what (exit $status); calls:"
    sed 's/^/  /' <<<"$calls"
    failures=$((failures + 1))
  fi
done
exit $((failures > 0))
