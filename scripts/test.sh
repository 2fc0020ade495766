#!/usr/bin/env bash
# Installs what is missing, builds, runs each fuzz target for a few seconds
# and the sanitizer build's tests (their logs in the build folder), then every
# test, the journey test last.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
build=${KESTROVA_BUILD:-build}
if ! FUZZ_SEED=1 scripts/fuzz.sh 10 >"$build/fuzz.log" 2>&1; then
  tail -n 40 "$build/fuzz.log"
  echo "test: a fuzz target failed (log: $build/fuzz.log)" >&2
  exit 1
fi
grep -a '^fuzz: ' "$build/fuzz.log" || true
# The GUI-free libraries and their tests under the address and undefined-
# behaviour sanitizers (their own build folder; the log in this one).
if ! scripts/sanitize.sh >"$build/sanitize.log" 2>&1; then
  tail -n 60 "$build/sanitize.log"
  echo "test: the sanitizer build or one of its tests failed (log: $build/sanitize.log)" >&2
  exit 1
fi
tail -n 1 "$build/sanitize.log"
cd "$build"
ctest --output-on-failure -j "$(nproc)" --timeout 600 -LE journey "$@"
# The whole journey in a real window, alone on the machine and three times
# in a row: once is not enough to call it reliable.
ctest --output-on-failure --timeout 600 -L journey --repeat until-fail:3 "$@"
