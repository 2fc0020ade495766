#!/usr/bin/env bash
# Installs what is missing, builds, runs the link-command fuzz target for a
# few seconds (its log in the build folder), then every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
build=${KESTROVA_BUILD:-build}
if ! scripts/fuzz.sh 10 >"$build/fuzz.log" 2>&1; then
  tail -n 40 "$build/fuzz.log"
  echo "test: the link-command fuzz target failed (log: $build/fuzz.log)" >&2
  exit 1
fi
echo "test: link-command fuzz target: $(grep -a '^Done ' "$build/fuzz.log" | tail -n 1)"
cd "$build"
ctest --output-on-failure -j "$(nproc)" --timeout 600 "$@"
