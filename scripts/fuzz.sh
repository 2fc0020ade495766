#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, address and undefined-
# behaviour sanitizers) and runs each one on its seed corpus for a few
# seconds.  Usage: scripts/fuzz.sh [seconds per target] [target...]
# (default 10 seconds, every target).  Prints one summary line per target and
# exits non-zero when the build fails or any target finds a crash, a leak or
# a hang; the input that showed it is left in build-fuzz/findings/ and
# belongs in fuzz/corpus/<target>/ once the fault is mended.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-10}"
shift || true
# libFuzzer reads 0 as "no limit": only a positive number of seconds is taken.
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
  echo "fuzz: seconds must be a positive whole number, not '$seconds'" >&2
  exit 2
fi
CXX="${FUZZ_CXX:-$(command -v clang++ || command -v clang++-14 || true)}"
if [ -z "$CXX" ]; then
  echo "fuzz: clang++ not found (scripts/setup.sh installs it)" >&2
  exit 2
fi
out="build-fuzz"
mkdir -p "$out/obj" "$out/findings"

base="src/base/globals.cpp src/base/gbk.cpp src/base/routines.cpp src/base/pathcase.cpp
  src/base/ini.cpp src/base/config.cpp src/crypto/cipher.cpp src/crypto/des.cpp src/crypto/md5.cpp"
item="src/player/core/ksvplay.cpp"
# Target name, its sources (besides the base library), extra link flags.
declare -A sources libs
targets=(linkcommand playlistfile favoritesfile catalog soapanswer ini)
sources[linkcommand]="src/catalog/core/linkcommand.cpp $item"
sources[playlistfile]="src/lists/core/playlistfile.cpp $item"
sources[favoritesfile]="src/lists/core/favoritesfile.cpp src/lists/core/playlistfile.cpp $item"
sources[catalog]="src/catalog/core/catalog.cpp"
sources[soapanswer]="src/service/core/soapuserservice.cpp src/net/http.cpp"
libs[soapanswer]="$(pkg-config --libs libcurl)"
sources[ini]=""
if [ "$#" -gt 0 ]; then
  targets=("$@")
fi

flags=(-std=c++20 -g -O1 -fPIC -fsanitize=address,undefined -fno-sanitize-recover=undefined
  -Isrc -Ifuzz)
# shellcheck disable=SC2207
flags+=($(pkg-config --cflags Qt6Core))

# An object is rebuilt when it is missing or older than its source or any
# header it included (the compiler's dependency file lists them).
object_of() { echo "$out/obj/$(echo "${1%.cpp}" | tr / _).o"; }
stale() {
  local obj="$1" dep="${1%.o}.d" f
  [ -f "$obj" ] && [ -f "$dep" ] || return 0
  for f in $(sed -e 's/^[^:]*://' -e 's/\\$//' "$dep"); do
    [ "$f" -nt "$obj" ] && return 0
  done
  return 1
}
compile() {
  local src="$1" obj
  obj="$(object_of "$src")"
  if stale "$obj"; then
    "$CXX" "${flags[@]}" -fsanitize=fuzzer-no-link -MMD -MF "${obj%.o}.d" -c "$src" -o "$obj"
  fi
}
export -f compile object_of stale
export CXX out
export FLAGS_LIST="${flags[*]}"

all=""
for t in "${targets[@]}"; do
  if [ ! -f "fuzz/${t}_fuzz.cpp" ]; then
    echo "fuzz: no target $t" >&2
    exit 2
  fi
  all+=" fuzz/${t}_fuzz.cpp ${sources[$t]}"
done
# shellcheck disable=SC2086
unique="$(printf '%s\n' $base $all | sort -u)"
# Two compilers at a time; the first failure stops the build.
# shellcheck disable=SC2016
if ! printf '%s\n' $unique | xargs -P 2 -I{} bash -c 'flags=($FLAGS_LIST); compile "{}"'; then
  echo "fuzz: the build failed" >&2
  exit 2
fi

summary=()
failed=0
for t in "${targets[@]}"; do
  objs=()
  # shellcheck disable=SC2086
  for s in fuzz/${t}_fuzz.cpp ${sources[$t]} $base; do
    objs+=("$(object_of "$s")")
  done
  # shellcheck disable=SC2046,SC2086
  "$CXX" "${flags[@]}" -fsanitize=fuzzer "${objs[@]}" $(pkg-config --libs Qt6Core) ${libs[$t]:-} \
    -o "$out/${t}_fuzz"
  # New inputs go to a scratch folder; the seeds in fuzz/corpus stay as they are.
  mkdir -p "$out/corpus/$t"
  log="$out/$t.log"
  set +e
  # FUZZ_SEED fixes the sequence of inputs (the test command uses 1, so a run
  # there repeats what ran before); unset, every run tries new ones.
  ASAN_OPTIONS="detect_leaks=1" "$out/${t}_fuzz" -max_total_time="$seconds" -timeout=5 \
    -seed="${FUZZ_SEED:-0}" \
    -max_len=8192 -artifact_prefix="$out/findings/$t-" "$out/corpus/$t" "fuzz/corpus/$t" \
    >"$log" 2>&1
  rc=$?
  set -e
  # The whole log goes to standard error, the summary comes last.
  cat "$log" >&2
  done_line="$(grep -a '^Done ' "$log" | tail -n 1 || true)"
  inputs="$(find "$out/corpus/$t" "fuzz/corpus/$t" -type f | wc -l)"
  if [ "$rc" -eq 0 ]; then
    summary+=("fuzz: $t: ok, ${done_line:-no runs} (corpus $inputs inputs)")
  else
    failed=1
    finding="$(grep -a 'Test unit written to' "$log" | tail -n 1 | sed 's/.*written to //' || true)"
    summary+=("fuzz: $t: FAILED (exit $rc) ${finding:+finding: $finding} (log: $log)")
  fi
done
printf '%s\n' "${summary[@]}"
exit "$failed"
