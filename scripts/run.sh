#!/usr/bin/env bash
# Builds VaskF5.exe and starts it under Wine on the current display (DISPLAY must be set).
set -euo pipefail
cd "$(dirname "$0")/.."
: "${DISPLAY:?set DISPLAY to your X display}"
cmake --preset windows >/dev/null
cmake --build --preset windows --target VaskF5
export WINEDEBUG=${WINEDEBUG:--all}
# The captions use 微软雅黑; under Wine it is mapped once to an installed CJK font.
if fc-list | grep -qi 'WenQuanYi Micro Hei'; then
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 微软雅黑 /t REG_SZ /d 'WenQuanYi Micro Hei' /f >/dev/null 2>&1 || true
fi
exec wine build/windows/VaskF5.exe
