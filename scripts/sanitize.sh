#!/usr/bin/env bash
# Builds the GUI-free libraries and the tests labelled "core" with the
# address and undefined-behaviour sanitizers (gcc) in ./build-asan (or
# $KESTROVA_ASAN_BUILD) and runs those tests.  Any report of either sanitizer
# ends the test that made it with a failure: leaks included, and only the
# third-party leaks named in scripts/lsan.supp are let through.
# Extra arguments go to ctest (e.g. -R Ini).  Prints one summary line and
# exits non-zero when the build or any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
build=${KESTROVA_ASAN_BUILD:-build-asan}
started=$(date +%s)

# No optimisation and line tables only keep the build short (the tests run in
# well under a minute all the same) and the reports' stacks exact; Debug
# keeps Qt's and our own assertions switched on.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O0 -g1" \
  -DCMAKE_C_FLAGS_DEBUG="-O0 -g1" -DKESTROVA_SANITIZE=ON -DKESTROVA_WERROR=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target kestrova_core_tests
# Tests built without the sanitizers would pass without checking anything:
# they must carry the sanitizers' run-time libraries.
if [[ "$(ldd "$build/tests/base/test_config")" != *libasan* ]]; then
  echo "sanitize: the tests in $build carry no sanitizer run-time (KESTROVA_SANITIZE not in effect)" >&2
  exit 2
fi

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd "$build"
set +e
ctest --output-on-failure -j "$(nproc)" --timeout 600 -L '^core$' "$@"
rc=$?
set -e
elapsed=$(($(date +%s) - started))
if [ "$rc" -eq 0 ]; then
  echo "sanitize: ok, the core tests passed under ASan+UBSan (${elapsed} s)"
else
  echo "sanitize: FAILED (ctest exit $rc, ${elapsed} s; build folder $build)" >&2
fi
exit "$rc"
