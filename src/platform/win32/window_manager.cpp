#include "platform/win32/window_manager.h"

#include "platform/win32/handles.h"
#include "platform/win32/text.h"

namespace win32 {

WindowManager::~WindowManager() {
  for (const auto& [key, proc] : timers_) ::KillTimer(key.first, key.second);
}

platform::Hwnd WindowManager::FindWindowA(const char* className) {
  return fromHwnd(::FindWindowA(className, nullptr));
}

platform::Hwnd WindowManager::GetDesktopWindow() { return fromHwnd(::GetDesktopWindow()); }

platform::Hwnd WindowManager::FindWindowExA(platform::Hwnd parent, platform::Hwnd childAfter,
                                            const char* className) {
  return fromHwnd(::FindWindowExA(toHwnd(parent), toHwnd(childAfter), className, nullptr));
}

bool WindowManager::PostMessageA(platform::Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                                 std::intptr_t lParam) {
  return ::PostMessageA(toHwnd(hwnd), msg, wParam, lParam) != FALSE;
}

bool WindowManager::SetTimer(platform::Hwnd hwnd, std::uintptr_t id, std::uint32_t elapseMs, TimerProc proc) {
  const HWND window = toHwnd(hwnd);
  timers_[{window, id}] = std::move(proc);
  if (::SetTimer(window, id, elapseMs, nullptr) == 0) {
    timers_.erase({window, id});
    return false;
  }
  return true;
}

bool WindowManager::KillTimer(platform::Hwnd hwnd, std::uintptr_t id) {
  const HWND window = toHwnd(hwnd);
  timers_.erase({window, id});
  return ::KillTimer(window, id) != FALSE;
}

void WindowManager::onTimer(HWND hwnd, UINT_PTR id) noexcept {
  auto it = timers_.find({hwnd, id});
  if (it == timers_.end()) return;
  // Copy: the callback may kill its own timer.
  const TimerProc proc = it->second;
  try {
    proc();
  } catch (...) {
    // Nothing may unwind through user32; a failed tick is simply skipped.
  }
}

std::int32_t WindowManager::GetWindowLongA(platform::Hwnd hwnd, int index) {
  return ::GetWindowLongA(toHwnd(hwnd), index);
}

std::int32_t WindowManager::SetWindowLongA(platform::Hwnd hwnd, int index, std::int32_t value) {
  return ::SetWindowLongA(toHwnd(hwnd), index, value);
}

bool WindowManager::SetLayeredWindowAttributes(platform::Hwnd hwnd, std::uint32_t colorKey,
                                               std::uint8_t alpha, std::uint32_t flags) {
  return ::SetLayeredWindowAttributes(toHwnd(hwnd), colorKey, alpha, flags) != FALSE;
}

bool WindowManager::SetWindowPos(platform::Hwnd hwnd, platform::Hwnd insertAfter, int x, int y, int cx,
                                 int cy, std::uint32_t flags) {
  return ::SetWindowPos(toHwnd(hwnd), toHwnd(insertAfter), x, y, cx, cy, flags) != FALSE;
}

std::uint32_t WindowManager::GetWindowThreadProcessId(platform::Hwnd hwnd) {
  DWORD process = 0;
  if (::GetWindowThreadProcessId(toHwnd(hwnd), &process) == 0) return 0;
  return process;
}

bool WindowManager::IsWindowVisible(platform::Hwnd hwnd) { return ::IsWindowVisible(toHwnd(hwnd)) != FALSE; }

platform::Hwnd WindowManager::GetWindow(platform::Hwnd hwnd, std::uint32_t cmd) {
  return fromHwnd(::GetWindow(toHwnd(hwnd), cmd));
}

std::optional<std::string> WindowManager::QueryFullProcessImageNameW(std::uint32_t processId) {
  // The least access that reads the image name: granted for other users' and elevated processes' windows
  // where more is refused, and still refused for protected ones.
  const UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process) return std::nullopt;
  // Paths may be longer than MAX_PATH; 32767 is the longest a Windows path can be.
  std::wstring path(32768, L'\0');
  auto size = static_cast<DWORD>(path.size());
  if (::QueryFullProcessImageNameW(process.get(), 0, path.data(), &size) == FALSE) return std::nullopt;
  path.resize(size);
  return narrow(path);
}

}  // namespace win32
