#!/usr/bin/env bash
# Draws docs/main-window.png: the client against the stand-in portal on a
# 1280x800 X server with a tray host (trayer), as a user would see it.
#   docs/screenshot.sh [OUT.png]        (build folder: $KESTROVA_BUILD or build;
#                                         KESTROVA_SKIP_BUILD=1 uses it as it is)
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-docs/main-window.png}")
build=${KESTROVA_BUILD:-build}
for tool in Xvfb trayer xdotool; do
  command -v "$tool" >/dev/null || { echo "screenshot: $tool is missing (scripts/setup.sh installs it)"; exit 1; }
done
if [ -z "${KESTROVA_SKIP_BUILD:-}" ]; then
  cmake --build "$build" >"${TMPDIR:-/tmp}/kestrova-build.log" 2>&1 ||
    { echo "$(basename "$0"): the build failed, see ${TMPDIR:-/tmp}/kestrova-build.log"; exit 1; }
fi

work=$(mktemp -d /tmp/kshot-XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

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

display=:$((200 + $$ % 500))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
export DISPLAY=$display

# A desktop panel along the bottom with the tray at its right end; the work
# area (what a maximised window fills) ends above it, as a window manager
# would announce it.
xprop -root -f _NET_SUPPORTED 32a -set _NET_SUPPORTED _NET_WORKAREA
xprop -root -f _NET_WORKAREA 32c -set _NET_WORKAREA "0, 0, 1280, 772"
trayer --edge bottom --align right --widthtype percent --width 100 --height 28 \
  --tint 0x2a5d8f --transparent true --alpha 0 --SetDockType true --SetPartialStrut true \
  >/dev/null 2>&1 &
pids+=($!)
sleep 1

"$app/kestrova" >"$work/client.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 300); do
  xdotool search --onlyvisible --name '^Kestrova游戏$' >/dev/null 2>&1 && break
  sleep 0.2
done
sleep 8   # the start page and the skin settle

# Without a window manager the last raised window is on top: keep the tray
# host above the maximised client.
for w in $(xdotool search --class trayer 2>/dev/null); do xdotool windowraise "$w" || true; done
sleep 1
"$build/tests/ui/ui_xgrab" "$out"
echo "screenshot: $out"
