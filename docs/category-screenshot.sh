#!/usr/bin/env bash
# Draws docs/category-view.png: the client against the stand-in portal on a
# 1280x800 X server, after a click on the category button "敏捷" (the second
# of the bar): the channel tree lists that category and its first channel's
# listing page is open.  Fails when the portal never saw the request for
# that page.
#   docs/category-screenshot.sh [OUT.png]   (build folder: $KESTROVA_BUILD or
#                                             build; KESTROVA_SKIP_BUILD=1 uses
#                                             it as it is)
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-docs/category-view.png}")
build=${KESTROVA_BUILD:-build}
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "screenshot: $tool is missing (scripts/setup.sh installs it)"; exit 1; }
done
. scripts/xsession.sh
kestrova_build_if_needed
kestrova_session kcat 260

# The session's portal again, now reporting every request.
kill "${pids[0]}"
wait "${pids[0]}" 2>/dev/null || true
: >"$work/portal.log"
"$app/kestrova-portal" --port 0 --data "$work/portal" --platform-ini "$app/Config/platform.ini" \
  --verbose >"$work/portal.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 200); do [ -s "$work/portal.log" ] && break; sleep 0.1; done

"$app/kestrova" >"$work/client.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 300); do
  xdotool search --onlyvisible --name '^Kestrova游戏$' >/dev/null 2>&1 && break
  sleep 0.2
done
sleep 8   # the start page and the skin settle

# The window is maximised at the screen's top-left corner; the second bar
# button (sbtnMjGame) is 76 x 70 at (285, 14).
xdotool mousemove 323 49 click 1
page=""
for _ in $(seq 1 100); do
  page=$(grep -o '/hl/[0-9]*_DL/all/07/0702/[0-9]*/[0-9/]*1\.html' "$work/portal.log" | head -n 1 || true)
  [ -n "$page" ] && break
  sleep 0.2
done
if [ -z "$page" ]; then
  echo "screenshot: no channel page of category 0702 was requested"
  tail -n 20 "$work/portal.log"
  exit 1
fi
echo "screenshot: the category's first channel page was requested: $page"
xdotool mousemove 640 790   # the pointer off the tree: its scroll bar hides
sleep 6   # the listing page loads and draws
"$build/tests/shell/ui_xgrab" "$out"
echo "screenshot: $out"
