# Shared by the project's scripts. Source it; it sets ROOT and STAGECAST_DEPS.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
export STAGECAST_DEPS=${STAGECAST_DEPS:-${XDG_CACHE_HOME:-$HOME/.cache}/stagecast-deps}

log() { printf '== %s\n' "$*" >&2; }

# The architecture whose Windows programs Wine can run on this machine: i686 when
# the kernel runs 32-bit code, x86_64 otherwise (the same sources, built for x86-64).
# Wine answers, so the answer is only right once scripts/setup has installed it:
# scripts that set up call set_up below instead of asking first.
# STAGECAST_RUNNABLE_ARCH=x86_64 takes the road of a machine without 32-bit
# support on one that has it; STAGECAST_WINE_LOADER is the loader asked (tests).
runnable_arch() {
  case ${STAGECAST_RUNNABLE_ARCH:-} in
    i686 | x86_64) echo "$STAGECAST_RUNNABLE_ARCH" ;;
    '')
      if "${STAGECAST_WINE_LOADER:-/usr/lib/wine/wine}" --version >/dev/null 2>&1; then
        echo i686
      else
        echo x86_64
      fi
      ;;
    *)
      echo "STAGECAST_RUNNABLE_ARCH must be i686 or x86_64, not $STAGECAST_RUNNABLE_ARCH" >&2
      return 1
      ;;
  esac
}

# Runs scripts/setup, then sets ARCH to runnable_arch's answer: setup may have
# just installed Wine, and setup, build and tests must take one road.
set_up() {
  "$ROOT/scripts/setup"
  ARCH=$(runnable_arch)
}

# build_preset PRESET [TARGET]: configures and builds the preset, or only TARGET of it.
build_preset() {
  local preset=$1 target=${2:-}
  log "configure and build ($preset${target:+, $target only})"
  cmake --preset "$preset" -DDEPS_PREFIX="$STAGECAST_DEPS" >/dev/null
  cmake --build --preset "$preset" ${target:+--target "$target"}
}

# Starts the wineserver of a build's prefix; it is stopped when the calling script exits.
start_wine() {
  local build=$ROOT/build/$1
  "$build/wine-server" start
  trap '"'"$build"'/wine-server" stop' EXIT
}
