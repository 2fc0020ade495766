#!/usr/bin/env bash
# Installs what is missing, builds, runs every test, then runs the
# link-command fuzz target for a few seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
build=${KESTROVA_BUILD:-build}
(cd "$build" && ctest --output-on-failure -j "$(nproc)" --timeout 600 "$@")
scripts/fuzz.sh 10
