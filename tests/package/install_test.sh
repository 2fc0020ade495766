#!/usr/bin/env bash
# The package as a family's machine meets it: cpack makes the .deb, dpkg
# installs it, an ordinary user starts the client hidden ("-start") through
# the launcher on the PATH under Xvfb with a tray host and the stand-in
# portal; the tray icon and the user's own folder are checked, the client is
# ended as a session end ends it (SIGTERM), the package is removed, and the
# user's folder must still be there.
#
# Usage: install_test.sh BUILD_DIR.  Needs root and dpkg; exits 77 (skipped)
# without them.  The package is removed again whatever happens.
set -euo pipefail
build=$(cd "${1:?usage: install_test.sh BUILD_DIR}" && pwd)
# A throw-away account of this test's own: its data folder is wiped first.
user=kestrovatest

skip() {
  echo "package test skipped: $*"
  exit 77
}
[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
for tool in dpkg dpkg-query cpack runuser useradd Xvfb trayer xdotool xwininfo; do
  command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
if dpkg-query -W -f='${Status}' kestrova 2>/dev/null | grep -q "install ok installed"; then
  skip "the package kestrova is installed already; this test would replace it"
fi

tmp=$(mktemp -d /tmp/kestrova-package.XXXXXX)
chmod 755 "$tmp"
pids=()
installed=0
made_user=0
fail() {
  echo "package test FAILED: $*" >&2
  for f in "$tmp"/*.log; do
    [ -s "$f" ] && { echo "--- $f"; tail -n 20 "$f"; } >&2
  done
  exit 1
}
# Ends a process this script started, and what runuser started below it.
stop() {
  local pid=$1 child
  for child in $(pgrep -P "$pid" 2>/dev/null || true); do kill "$child" 2>/dev/null || true; done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
cleanup() {
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do stop "${pids[i]}"; done
  if ((installed)); then dpkg -r kestrova >/dev/null 2>&1 || true; fi
  if ((made_user)); then userdel -r "$user" >/dev/null 2>&1 || true; fi
  rm -rf "$tmp"
}
trap cleanup EXIT

# Waits up to $1 seconds for the command after it to succeed (run anew each
# time: pass a command or function, not the text of a $(...) made once).
wait_for() {
  local limit=$(($1 * 10)) i
  shift
  for ((i = 0; i < limit; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# 1. The package.
(cd "$build" && cpack -G DEB >"$tmp/cpack.log" 2>&1) || fail "cpack failed"
deb=$(ls -t "$build"/package/kestrova_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "cpack made no .deb in $build/package"
contents=$(dpkg-deb -c "$deb")
for f in ./opt/kestrova/kestrova ./opt/kestrova/libkestrova.so ./opt/kestrova/ruffle/ruffle.js \
  ./opt/kestrova/Config/platform.ini ./opt/kestrova/.installed ./usr/bin/kestrova \
  ./usr/share/applications/kestrova.desktop ./usr/share/icons/hicolor/64x64/apps/kestrova.png; do
  grep -q " $f\$" <<<"$contents" || fail "the package lacks $f"
done
grep -q "root/root" <<<"$(grep ' ./opt/kestrova/kestrova$' <<<"$contents")" ||
  fail "the program is not owned by root in the package"
depends=$(dpkg-deb -f "$deb" Depends)
for d in libqt6webenginewidgets6 libqt6webenginecore6-bin libcurl4 fonts-wqy-zenhei; do
  grep -q "$d" <<<"$depends" || fail "the package does not depend on $d ($depends)"
done

# 2. Installed as the system installs it.
dpkg -i "$deb" >"$tmp/dpkg.log" 2>&1 || fail "dpkg -i failed"
installed=1
[ -x /usr/bin/kestrova ] || fail "no launcher on the PATH"
grep -qx 'Categories=Game;' /usr/share/applications/kestrova.desktop || fail "desktop entry without Categories=Game;"
grep -qx 'Name=Kestrova游戏' /usr/share/applications/kestrova.desktop || fail "desktop entry without its name"
if command -v desktop-file-validate >/dev/null 2>&1; then
  desktop-file-validate /usr/share/applications/kestrova.desktop || fail "desktop entry not valid"
fi

# 3. An ordinary user, whose data folder is made at the first start.
if ! id -u "$user" >/dev/null 2>&1; then
  useradd --create-home --shell /bin/sh "$user" || fail "useradd $user failed"
  made_user=1
fi
home=$(getent passwd "$user" | cut -d: -f6)
udir="$home/.local/share/kestrova"
rm -rf "$udir"
runuser -u "$user" -- test -w /opt/kestrova && fail "/opt/kestrova is writable by $user"
run="$tmp/run"
mkdir -m 700 "$run" "$tmp/portal-data"
chown "$user" "$run" "$tmp/portal-data"
as_user() {
  runuser -u "$user" -- env -i PATH=/usr/local/bin:/usr/bin:/bin HOME="$home" USER="$user" \
    LOGNAME="$user" XDG_RUNTIME_DIR="$run" LANG=C.UTF-8 "$@"
}

# The stand-in portal, as the user; it writes the user's platform.ini, which
# the first start then keeps (the user's own file, never overwritten).
as_user /opt/kestrova/kestrova-portal --port 0 --data "$tmp/portal-data" \
  --platform-ini "$udir/Config/platform.ini" >"$tmp/portal.log" 2>&1 &
pids+=($!)
wait_for 30 test -s "$tmp/portal.log" || fail "the stand-in portal did not start"
[ -f "$udir/Config/platform.ini" ] || fail "the portal wrote no platform.ini"

# A screen and a tray host of the user's own.
as_user Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.log" &
pids+=($!)
wait_for 30 test -s "$tmp/display" || fail "Xvfb did not start"
display=":$(head -n 1 "$tmp/display")"
as_user DISPLAY="$display" trayer --edge bottom --align right --widthtype request --height 28 \
  --SetDockType true >"$tmp/trayer.log" 2>&1 &
pids+=($!)
tray_up() { DISPLAY="$display" xdotool search --class trayer >/dev/null 2>&1; }
wait_for 30 tray_up || fail "the tray host did not start"

# 4. The installed client, hidden, through the launcher.
as_user DISPLAY="$display" QT_QPA_PLATFORM=xcb QTWEBENGINE_DISABLE_SANDBOX=1 \
  QT_QUICK_BACKEND=software kestrova -start >"$tmp/client.log" 2>&1 &
client_runner=$!
pids+=("$client_runner")
client_pid() { pgrep -u "$user" -x kestrova | head -n 1; }
client_up() { [ -n "$(client_pid)" ]; }
wait_for 60 client_up || fail "the client did not start"
client=$(client_pid)
[ "$(readlink "/proc/$client/exe")" = /opt/kestrova/kestrova ] || fail "not the installed client"

# The icon: a visible window of the client inside the tray host's window.
in_tray() {
  local tray id trees=""
  for tray in $(DISPLAY="$display" xdotool search --class trayer 2>/dev/null); do
    trees+=$(DISPLAY="$display" xwininfo -tree -id "$tray" 2>/dev/null)
  done
  for id in $(DISPLAY="$display" xdotool search --onlyvisible --class kestrova 2>/dev/null); do
    grep -q "$(printf '0x%x ' "$id")" <<<"$trees" && return 0
  done
  return 1
}
wait_for 120 in_tray || fail "no tray icon of the client"
# The web engine's helpers started through the installed launcher, with the
# heap trimmer loaded.
helpers_trimmed() {
  local p
  for p in $(pgrep -u "$user" -f QtWebEngineProcess); do
    tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null |
      grep -qx 'LD_PRELOAD=/opt/kestrova/libkestrova-heaptrim.so' && return 0
  done
  return 1
}
wait_for 60 helpers_trimmed || fail "the web engine's helpers run without the heap trimmer"
wait_for 60 grep -q '^1=1' "$udir/Config/local.ini" 2>/dev/null || fail "the start was not counted in local.ini"

# 5. The user's folder: the written parts real and the user's, the rest
# links into the installation.
for f in Config/local.ini Resource/Dat/pvlt_last.dat Resource/Dat/pvlt_his.dat Config/platform.ini; do
  [ -f "$udir/$f" ] && [ ! -L "$udir/$f" ] || fail "$f is not a file of the user's"
  [ "$(stat -c %U "$udir/$f")" = "$user" ] || fail "$f does not belong to $user"
done
for d in DL Caches Config Resource/Dat Resource/xml; do
  [ -d "$udir/$d" ] && [ ! -L "$udir/$d" ] || fail "no folder $d of the user's"
done
# The catalog files are copies (the update check may have replaced the
# shipped one by then and renamed it to Channel.xml).
[ -n "$(find "$udir/Resource/xml" -maxdepth 1 -type f -user "$user" -iname '*.xml')" ] ||
  fail "no catalog file of the user's"
[ -z "$(find "$udir/Resource/xml" -type l)" ] || fail "a catalog file is a link into the installation"
for l in kestrova libkestrova.so ruffle Config/pvlt_Source.ini Resource/html/search/search.db; do
  [ "$(readlink "$udir/$l")" = "/opt/kestrova/$l" ] || fail "$l is not a link into /opt/kestrova"
done
grep -q "^10=$udir/DL/" "$udir/Config/local.ini" || fail "the download folder is not the user's"
grep -q "^12=$udir/Caches/" "$udir/Config/local.ini" || fail "the cache folder is not the user's"
for f in Config/local.ini DL Caches Resource/Dat; do
  [ -e "/opt/kestrova/$f" ] && fail "the client wrote /opt/kestrova/$f"
done

# 6. A session end ends the client as the tray's exit does.
kill -TERM "$client"
wait_for 60 test ! -d "/proc/$client" || fail "the client did not end on SIGTERM"
code=0
wait "$client_runner" || code=$?
[ "$code" -eq 0 ] || fail "the client ended with $code"

# 7. Removing the package leaves the user's folder alone.
dpkg -r kestrova >>"$tmp/dpkg.log" 2>&1 || fail "dpkg -r failed"
installed=0
[ ! -e /usr/bin/kestrova ] && [ ! -e /opt/kestrova/kestrova ] || fail "dpkg -r left the program"
[ -f "$udir/Config/local.ini" ] && [ -f "$udir/Resource/Dat/pvlt_last.dat" ] ||
  fail "removing the package removed the user's files"
echo "package test passed: $deb installed, started by $user with its icon in the tray, removed"
