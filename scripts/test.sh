#!/usr/bin/env bash
# Builds and runs every test: the unit tests on the host (plain and under ASan/UBSan), then VaskF5.exe and its
# end-to-end tests under Wine on a throw-away Xvfb display. Installs whatever Debian packages are missing.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake ninja-build g++ libgtest-dev libbenchmark-dev python3
          g++-mingw-w64-x86-64 mingw-w64-tools wine wine64 xvfb xdotool x11-utils imagemagick fonts-wqy-microhei
          pkg-config libx11-dev libxi-dev libglib2.0-dev openbox picom x11-xkb-utils chromium firefox-esr)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "== installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

jobs=$(nproc)
echo "== include arrows"
python3 scripts/check_includes.py
for preset in host host-sanitize; do
  echo "== unit tests ($preset)"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done

echo "== the X11 engine and its tests against real Chromium and Firefox ESR"
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$jobs"
ctest --preset linux

echo "== VaskF5.exe and the tests under Wine"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
ctest --preset windows
