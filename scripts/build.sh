#!/usr/bin/env bash
# Configures and builds into ./build (or $KESTROVA_BUILD), then lays out a
# runnable installation folder in ./build/appdir (or $KESTROVA_APPDIR).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${KESTROVA_BUILD:-build}
appdir=${KESTROVA_APPDIR:-$build/appdir}
werror=OFF; [ -n "${CI:-}" ] && werror=ON
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTROVA_WERROR=$werror >/dev/null
cmake --build "$build" -j "$(nproc)"
cmake --install "$build" --prefix "$appdir" >/dev/null
