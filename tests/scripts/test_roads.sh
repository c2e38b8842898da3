#!/bin/bash
# scripts/test's two roads: runnable_arch follows STAGECAST_RUNNABLE_ARCH (and
# refuses anything else), and pe_inputs, all that the i686 build gets on a
# machine that runs no 32-bit code, holds every program and DLL that a "pe"
# check reads and none of the tests' programs.
set -uo pipefail
: "${BUILD_DIR:?}" "${SOURCE_DIR:?}"
source "$SOURCE_DIR/scripts/lib/common.sh"
failures=0
check() { # what, condition...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

for arch in i686 x86_64; do
  check "STAGECAST_RUNNABLE_ARCH=$arch is taken" test "$(STAGECAST_RUNNABLE_ARCH=$arch runnable_arch)" = "$arch"
done
check "without the override this machine's own answer" test "$(STAGECAST_RUNNABLE_ARCH='' runnable_arch)" = \
  "$(/usr/lib/wine/wine --version >/dev/null 2>&1 && echo i686 || echo x86_64)"
refusal=$(STAGECAST_RUNNABLE_ARCH=arm64 runnable_arch 2>&1 >/dev/null)
check "another architecture is refused" test $? -ne 0
check "the refusal says what is allowed" grep -q "must be i686 or x86_64" <<<"$refusal"

inputs=$(ninja -C "$BUILD_DIR" -t query pe_inputs | sed -n 's|^ *bin/||p' | sort)
echo "pe_inputs: $(tr '\n' ' ' <<<"$inputs")"
for product in npparvelplugin.dll Plexhost.dll Sondex.dll Camtap.dll Update.exe; do
  check "pe_inputs holds $product" grep -qx "$product" <<<"$inputs"
done
dlls=$(cd "$BUILD_DIR/bin" && ls -- *.dll | sort)
check "pe_inputs holds every DLL of the build (dll_exports reads them all)" test -z "$(comm -23 <(echo "$dlls") <(echo "$inputs"))"
check "pe_inputs holds no test, benchmark or demo program" test -z "$(grep -E '_(tests|bench|demo)\.exe$' <<<"$inputs")"
check "pe_inputs holds nothing but programs and DLLs" test -z "$(grep -vE '\.(exe|dll)$' <<<"$inputs")"
exit $((failures > 0))
