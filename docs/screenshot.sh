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
. scripts/xsession.sh
kestrova_build_if_needed
kestrova_session kshot 200

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
"$build/tests/shell/ui_xgrab" "$out"
echo "screenshot: $out"
