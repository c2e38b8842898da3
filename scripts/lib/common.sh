# Shared by the project's scripts. Source it; it sets ROOT and STAGECAST_DEPS.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
export STAGECAST_DEPS=${STAGECAST_DEPS:-${XDG_CACHE_HOME:-$HOME/.cache}/stagecast-deps}

log() { printf '== %s\n' "$*" >&2; }

# The architecture whose Windows programs Wine can run on this machine: i686 when
# the kernel runs 32-bit code, x86_64 otherwise (the same sources, built for x86-64).
runnable_arch() {
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo i686
  else
    echo x86_64
  fi
}

build_preset() {
  local preset=$1
  log "configure and build ($preset)"
  cmake --preset "$preset" -DDEPS_PREFIX="$STAGECAST_DEPS" >/dev/null
  cmake --build --preset "$preset"
}

# Starts the wineserver of a build's prefix; it is stopped when the calling script exits.
start_wine() {
  local build=$ROOT/build/$1
  "$build/wine-server" start
  trap '"'"$build"'/wine-server" stop' EXIT
}
