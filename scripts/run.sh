#!/usr/bin/env bash
# Builds Vask F5 and starts it on the current X display (DISPLAY must be set): the native Linux program, or with
# --wine the Windows program under Wine. Installs whatever Debian packages the build needs, as the test command
# does.
set -euo pipefail
cd "$(dirname "$0")/.."
: "${DISPLAY:?set DISPLAY to your X display}"
source scripts/setup.sh

if [ "${1:-}" != "--wine" ]; then
  need_packages "${BUILD_PACKAGES[@]}" "${LINUX_PACKAGES[@]}"
  cmake --preset linux >/dev/null
  cmake --build --preset linux --target vaskf5
  exec build/linux/vaskf5
fi

need_packages "${BUILD_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}"
cmake --preset windows >/dev/null
cmake --build --preset windows --target VaskF5
export WINEDEBUG=${WINEDEBUG:--all}
# The captions use 微软雅黑; under Wine it is mapped once to an installed CJK font.
if fc-list | grep -qi 'WenQuanYi Micro Hei'; then
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 微软雅黑 /t REG_SZ /d 'WenQuanYi Micro Hei' /f >/dev/null 2>&1 || true
fi
exec wine build/windows/VaskF5.exe
