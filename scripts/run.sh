#!/usr/bin/env bash
# Installs what is missing, builds what running needs (no tests), lays out
# an installation folder, starts the stand-in portal and then the client
# against it; stops the portal when the client exits.  Without a display
# the client runs under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh --run
build=${KESTROVA_BUILD:-build}
appdir=$(cd "${KESTROVA_APPDIR:-$build/appdir}" && pwd)
data="$build/portal-data"
mkdir -p "$data"

if [ ! -x "$appdir/kestrova-portal" ] || [ ! -x "$appdir/kestrova" ]; then
  echo "run: built into $appdir; the client ($appdir/kestrova) and the stand-in"
  echo "run: portal ($appdir/kestrova-portal) are not both built yet, so nothing runs."
  exit 0
fi

log="$build/portal.log"
"$appdir/kestrova-portal" --port 0 --data "$data" --platform-ini "$appdir/Config/platform.ini" >"$log" 2>&1 &
portal=$!
trap 'kill $portal 2>/dev/null || true; wait $portal 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do
  [ -s "$log" ] && break
  kill -0 $portal 2>/dev/null || { cat "$log"; exit 1; }
  sleep 0.1
done
echo "run: stand-in portal at $(head -n 1 "$log")"

if [ "$(id -u)" -eq 0 ] && [ -z "${QTWEBENGINE_DISABLE_SANDBOX:-}" ]; then
  # The web engine's sandbox cannot run for root; without this no page shows.
  echo "run: running as root: the web engine's sandbox is switched off"
  export QTWEBENGINE_DISABLE_SANDBOX=1
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run: no display found; running the client under Xvfb (xvfb-run)"
  # Xvfb has no graphics card: the web engine's own software drawing is
  # several times faster there (and lighter) than OpenGL emulated by Mesa.
  QT_QUICK_BACKEND=${QT_QUICK_BACKEND:-software} \
    xvfb-run -a -s "-screen 0 1280x800x24" "$appdir/kestrova" "$@"
else
  "$appdir/kestrova" "$@"
fi
