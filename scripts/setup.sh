#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12, and nothing
# that is already there.  Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-webengine-dev qt6-multimedia-dev
  libcurl4-openssl-dev libcpp-httplib-dev libsqlite3-dev libgtest-dev googletest
  xvfb xauth libgl1-mesa-dri gstreamer1.0-plugins-good gstreamer1.0-libav
  fonts-wqy-zenhei haxe ffmpeg curl libjs-jquery
  xdotool trayer x11-utils procps desktop-file-utils
  clang libclang-rt-14-dev
)
command -v npm >/dev/null 2>&1 || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The Flash player runtime, pinned by package-lock.json.
if [ ! -f node_modules/@ruffle-rs/ruffle/ruffle.js ] || [ package-lock.json -nt node_modules/.package-lock.json ]; then
  npm ci --no-audit --no-fund --loglevel=error
fi
