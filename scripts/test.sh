#!/usr/bin/env bash
# Builds and runs every test: the unit tests on the host (plain and under ASan/UBSan), the Linux program and its
# end-to-end tests under Xvfb, then VaskF5.exe and its end-to-end tests under Wine on a throw-away Xvfb display.
# Installs whatever Debian packages are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
need_packages "${BUILD_PACKAGES[@]}" "${LINUX_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

jobs=$(nproc)
echo "== include arrows"
python3 scripts/check_includes.py
for preset in host host-sanitize; do
  echo "== unit tests ($preset)"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done

echo "== vaskf5 (Linux), the X11 engine and their tests under Xvfb, against real Chromium and Firefox ESR"
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$jobs"
ctest --preset linux

echo "== VaskF5.exe and the tests under Wine"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
ctest --preset windows
