#!/usr/bin/env bash
# Configures and builds into ./build (or $KESTROVA_BUILD), then lays out a
# runnable installation folder in ./build/appdir (or $KESTROVA_APPDIR).
#   scripts/build.sh         everything: the client and the tests and benchmarks
#   scripts/build.sh --run   only what running needs (scripts/run.sh); a later
#                            full build in the same folder adds the rest
set -euo pipefail
cd "$(dirname "$0")/.."
tests=ON
case "${1:-}" in
  --run) tests=OFF ;;
  "") ;;
  *) echo "usage: scripts/build.sh [--run]" >&2; exit 2 ;;
esac
build=${KESTROVA_BUILD:-build}
appdir=${KESTROVA_APPDIR:-$build/appdir}
werror=OFF; [ -n "${CI:-}" ] && werror=ON
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTROVA_WERROR=$werror \
  -DKESTROVA_TESTS=$tests >/dev/null
cmake --build "$build" -j "$(nproc)"
cmake --install "$build" --prefix "$appdir" >/dev/null
