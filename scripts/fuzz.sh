#!/usr/bin/env bash
# Builds the link-command fuzz target with clang (libFuzzer, address and
# undefined-behaviour sanitizers) and runs it on its seed corpus for a few
# seconds.  Usage: scripts/fuzz.sh [seconds] (default 10).  Exits non-zero
# when the build fails or the target finds a crash, a leak or a hang.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-10}"
CXX="${FUZZ_CXX:-$(command -v clang++ || command -v clang++-14 || true)}"
if [ -z "$CXX" ]; then
  echo "fuzz: clang++ not found (scripts/setup.sh installs it)" >&2
  exit 2
fi
out="build-fuzz"
mkdir -p "$out/corpus"
sources=(
  fuzz/linkcommand_fuzz.cpp
  src/catalog/core/linkcommand.cpp
  src/player/core/ksvplay.cpp
  src/base/globals.cpp src/base/gbk.cpp src/base/routines.cpp src/base/pathcase.cpp
  src/base/ini.cpp src/base/config.cpp
  src/crypto/cipher.cpp src/crypto/des.cpp src/crypto/md5.cpp
)
# shellcheck disable=SC2046
"$CXX" -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -Isrc $(pkg-config --cflags Qt6Core) "${sources[@]}" $(pkg-config --libs Qt6Core) \
  -o "$out/linkcommand_fuzz"
# New inputs go to a scratch folder; the seeds in fuzz/corpus stay as they are.
ASAN_OPTIONS="detect_leaks=1" "$out/linkcommand_fuzz" -max_total_time="$seconds" -timeout=5 \
  -max_len=4096 "$out/corpus" fuzz/corpus/linkcommand
