#!/usr/bin/env bash
# Draws docs/organiser.png: the client against the stand-in portal on a
# 1280x800 X server, with a play list of seven games, after a click on the
# self-selected tab and on the list's organiser button.
#   docs/organiser-shot.sh [OUT.png]    (build folder: $KESTROVA_BUILD or build;
#                                        KESTROVA_SKIP_BUILD=1 uses it as it is)
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-docs/organiser.png}")
build=${KESTROVA_BUILD:-build}
for tool in Xvfb xdotool iconv; do
  command -v "$tool" >/dev/null || { echo "organiser-shot: $tool is missing"; exit 1; }
done
. scripts/xsession.sh
kestrova_build_if_needed
kestrova_session korg 300

# The play list the client loads at start (GBK, CR LF), the fourth selected.
mkdir -p "$app/Resource/Dat"
{
  printf 'id=4\r\n'
  for entry in 120:接星星 121:快乐%20气球 122:翻牌%20记忆 123:小老鼠%20走迷宫 124:数苹果 \
    125:比大小 128:小猫%20钓鱼; do
    printf '%s,070205,%s,,1,2026-12-10 10:00:00\r\n' "${entry%%:*}" "${entry#*:}"
  done
} | sed 's/%20/ /g' | iconv -f UTF-8 -t GBK >"$app/Resource/Dat/pvlt_last.dat"

"$app/kestrova" >"$work/client.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 300); do
  xdotool search --onlyvisible --name '^Kestrova游戏$' >/dev/null 2>&1 && break
  sleep 0.2
done
sleep 6   # the start page and the skin settle

click() { xdotool mousemove "$1" "$2" && sleep 0.3 && xdotool click 1 && sleep "${3:-1}"; }
click "${KESTROVA_TAB_X:-108}" "${KESTROVA_TAB_Y:-110}"            # the self-selected tab
[ -n "${KESTROVA_PROBE:-}" ] && { "$build/tests/shell/ui_xgrab" "$out"; exit 0; }
click "${KESTROVA_ORG_X:-163}" "${KESTROVA_ORG_Y:-761}" 2          # its organiser button
for _ in $(seq 1 50); do
  xdotool search --onlyvisible --name '^整理游戏记录$' >/dev/null 2>&1 && break
  sleep 0.2
done
xdotool search --onlyvisible --name '^整理游戏记录$' >/dev/null 2>&1 ||
  { echo "organiser-shot: the organiser did not open"; "$build/tests/shell/ui_xgrab" "$out"; exit 1; }
sleep 1
"$build/tests/shell/ui_xgrab" "$out"
echo "organiser-shot: $out"
