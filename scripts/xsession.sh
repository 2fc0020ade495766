# Shared by the scripts that run the installed client on a private X server
# (bench/startup.sh, docs/screenshot.sh); sourced, not run.
#   kestrova_build_if_needed      builds $build unless KESTROVA_SKIP_BUILD is set
#   kestrova_session PREFIX BASE  a scratch folder ($work) removed on exit, the
#                                 installation in $work/app ($app), a private
#                                 home, the stand-in portal, and an X server
#                                 of 1280x800 on display BASE + pid (DISPLAY)
# Processes started later join the clean-up when added to "pids".

kestrova_build_if_needed() {
  if [ -z "${KESTROVA_SKIP_BUILD:-}" ]; then
    # A folder built by the run command alone lacks the test programs
    # (the screen grabber among them).
    if grep -q '^KESTROVA_TESTS:BOOL=OFF' "$build/CMakeCache.txt" 2>/dev/null; then
      cmake -DKESTROVA_TESTS=ON "$build" >/dev/null
    fi
    cmake --build "$build" >"${TMPDIR:-/tmp}/kestrova-build.log" 2>&1 ||
      { echo "$(basename "$0"): the build failed, see ${TMPDIR:-/tmp}/kestrova-build.log"; exit 1; }
  fi
}

kestrova_session_cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}

kestrova_session() {
  work=$(mktemp -d "/tmp/$1-XXXXXX")
  pids=()
  trap kestrova_session_cleanup EXIT

  app="$work/app"
  cmake --install "$build" --prefix "$app" >/dev/null
  mkdir -p "$work/run" "$work/home"
  chmod 700 "$work/run"
  export HOME="$work/home" XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/home/config"
  export XDG_DATA_HOME="$work/home/data" QTWEBENGINE_DISABLE_SANDBOX=1 QT_QPA_PLATFORM=xcb
  unset DBUS_SESSION_BUS_ADDRESS

  "$app/kestrova-portal" --port 0 --data "$work/portal" --platform-ini "$app/Config/platform.ini" \
    >"$work/portal.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 1 200); do [ -s "$work/portal.log" ] && break; sleep 0.1; done

  local display=:$(($2 + $$ % 500))
  Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 1 100); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
  export DISPLAY=$display
}
