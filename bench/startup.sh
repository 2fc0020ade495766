#!/usr/bin/env bash
# Start-up benchmark: from starting the program to the first paint of its
# window, for the client (against the stand-in portal, as the run command
# starts it) and, in the same run, for two bare Qt programs: a plain window
# and a window with one web view.  Each is started RUNS times (default 5) on
# a private 1280x800 X server; the first run of each is the coldest (the
# file cache may still be warm from the build: figures are "warm" starts).
#   bench/startup.sh [RUNS]            (build folder: $KESTROVA_BUILD or build;
#                                       KESTROVA_SKIP_BUILD=1 uses it as it is)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
build=${KESTROVA_BUILD:-build}
command -v Xvfb >/dev/null || { echo "startup: Xvfb is missing (scripts/setup.sh installs it)"; exit 1; }
. scripts/xsession.sh
kestrova_build_if_needed
kestrova_session kbench 300

now_ms() { date +%s%3N; }

# Runs "$@" until it prints its first paint; prints the milliseconds taken.
# The client is then ended as a desktop session would end it (SIGTERM).
time_first_paint() {
  local log="$work/out.log" start pid paint
  : >"$log"
  start=$(now_ms)
  "$@" >"$log" 2>"$work/err.log" &
  pid=$!
  for _ in $(seq 1 1200); do
    grep -q '^first-paint ' "$log" && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  paint=$(awk '/^first-paint /{print $2; exit}' "$log")
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  [ -n "$paint" ] || { echo "startup: no first paint from $1" >&2; tail -5 "$work/err.log" >&2; exit 1; }
  echo $((paint - start))
}

median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : int((a[NR/2]+a[NR/2+1])/2)}'; }

declare -a bare web client
for i in $(seq 1 "$runs"); do
  bare+=("$(time_first_paint "$build/bench/kestrova_startup_bare" widget)")
  web+=("$(time_first_paint "$build/bench/kestrova_startup_bare" webview)")
  # Every start is a fresh installation's start: local.ini is made anew.
  rm -f "$app/Config/local.ini"
  client+=("$(KESTROVA_STARTUP_PROBE=1 time_first_paint "$app/kestrova")")
done

mb=$(median "${bare[@]}"); mw=$(median "${web[@]}"); mc=$(median "${client[@]}")
printf '%-34s %8s %8s   %s\n' "start to first paint (ms)" "median" "first" "all runs"
printf '%-34s %8d %8d   %s\n' "bare Qt window" "$mb" "${bare[0]}" "${bare[*]}"
printf '%-34s %8d %8d   %s\n' "bare Qt window with a web view" "$mw" "${web[0]}" "${web[*]}"
printf '%-34s %8d %8d   %s\n' "kestrova main window" "$mc" "${client[0]}" "${client[*]}"
awk -v c="$mc" -v b="$mb" -v w="$mw" 'BEGIN {
  printf "ratio kestrova / bare window:          %.2f\n", c / b
  printf "ratio kestrova / bare web-view window: %.2f\n", c / w
}'
# One line for bench/report.
echo "summary startup bare_ms=$mb webview_ms=$mw client_ms=$mc"
