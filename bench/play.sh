#!/usr/bin/env bash
# Play benchmark: from a play request to Ruffle's first frame for a cached
# game and for a game fetched from the stand-in portal, beside a bare Ruffle
# page (its page load to first frame, and its movie load once the runtime is
# loaded), median of RUNS (default 5); then the proportional set size of all
# the client's processes with a game playing.
#   bench/play.sh [RUNS]            (build folder: $KESTROVA_BUILD or build)
# Runs offscreen; KESTROVA_XVFB=1 runs it in a 1280x800 X server instead.
# The web engine's messages go to KESTROVA_BENCH_LOG when it names a file.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
build=${KESTROVA_BUILD:-build}
if [ -z "${KESTROVA_SKIP_BUILD:-}" ]; then
  cmake --build "$build" >"${TMPDIR:-/tmp}/kestrova-play-build.log" 2>&1 ||
    { echo "play: the build failed, see ${TMPDIR:-/tmp}/kestrova-play-build.log"; exit 1; }
fi
work=$(mktemp -d /tmp/kplay-XXXXXX)
trap 'rm -rf "$work"' EXIT
app="$work/app"
cmake --install "$build" --prefix "$app" >/dev/null
mkdir -p "$work/home"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" XDG_DATA_HOME="$work/home/data" \
       XDG_CACHE_HOME="$work/home/cache"
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
bench=("$build/bench/play/kestrova-bench-play" --appdir "$app" --runs "$runs")
if [ -n "${KESTROVA_XVFB:-}" ]; then
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x800x24" "${bench[@]}" 2>"${KESTROVA_BENCH_LOG:-/dev/null}"
else
  QT_QPA_PLATFORM=offscreen "${bench[@]}" 2>"${KESTROVA_BENCH_LOG:-/dev/null}"
fi
