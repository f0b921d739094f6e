#include "platform/win32/monitors.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellscalingapi.h>

namespace win32 {

namespace {

BOOL CALLBACK addMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM list) noexcept {
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (!GetMonitorInfoW(monitor, &info)) return TRUE;
  UINT dpiX = 96, dpiY = 96;
  if (FAILED(GetDpiForMonitor(monitor, MDT_EFFECTIVE_DPI, &dpiX, &dpiY))) dpiX = 0;  // 0: 100 %
  const RECT& work = info.rcWork;
  platform::Monitor made{{work.left, work.top, work.right - work.left, work.bottom - work.top},
                         platform::Dpi(static_cast<int>(dpiX)),
                         (info.dwFlags & MONITORINFOF_PRIMARY) != 0};
  try {
    reinterpret_cast<std::vector<platform::Monitor>*>(list)->push_back(made);
  } catch (...) {
    return FALSE;  // out of memory: the monitors listed so far will do
  }
  return TRUE;
}

}  // namespace

std::vector<platform::Monitor> monitors() {
  std::vector<platform::Monitor> list;
  EnumDisplayMonitors(nullptr, nullptr, &addMonitor, reinterpret_cast<LPARAM>(&list));
  return list;
}

}  // namespace win32
