// The window-manager operations on the real user32, and window timers.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <utility>

#include "platform/platform.h"
#include "platform/win32/user32.h"

namespace win32 {

inline HWND toHwnd(platform::Hwnd hwnd) { return static_cast<HWND>(LongToHandle(hwnd)); }
inline platform::Hwnd fromHwnd(HWND hwnd) { return HandleToLong(hwnd); }

class WindowManager final : public User32, public platform::Timers {
 public:
  WindowManager() = default;
  WindowManager(const WindowManager&) = delete;
  WindowManager& operator=(const WindowManager&) = delete;
  ~WindowManager() override;

  platform::Hwnd FindWindowA(const char* className) override;
  platform::Hwnd GetDesktopWindow() override;
  platform::Hwnd FindWindowExA(platform::Hwnd parent, platform::Hwnd childAfter,
                               const char* className) override;
  bool PostMessageA(platform::Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                    std::intptr_t lParam) override;
  bool SetTimer(platform::Hwnd hwnd, std::uintptr_t id, std::uint32_t elapseMs, TimerProc proc) override;
  bool KillTimer(platform::Hwnd hwnd, std::uintptr_t id) override;
  std::int32_t GetWindowLongA(platform::Hwnd hwnd, int index) override;
  std::int32_t SetWindowLongA(platform::Hwnd hwnd, int index, std::int32_t value) override;
  bool SetLayeredWindowAttributes(platform::Hwnd hwnd, std::uint32_t colorKey, std::uint8_t alpha,
                                  std::uint32_t flags) override;
  bool SetWindowPos(platform::Hwnd hwnd, platform::Hwnd insertAfter, int x, int y, int cx, int cy,
                    std::uint32_t flags) override;
  std::uint32_t GetWindowThreadProcessId(platform::Hwnd hwnd) override;
  bool IsWindowVisible(platform::Hwnd hwnd) override;
  platform::Hwnd GetWindow(platform::Hwnd hwnd, std::uint32_t cmd) override;
  std::optional<std::string> QueryFullProcessImageNameW(std::uint32_t processId) override;

 private:
  // Timers are set without a callback of user32's (which has no room for a context), so WM_TIMER reaches the
  // window's procedure, which hands it here.
 public:
  void onTimer(HWND hwnd, UINT_PTR id) noexcept;

 private:
  // The callbacks of live timers, keyed as user32 keys them.
  std::map<std::pair<HWND, UINT_PTR>, TimerProc> timers_;
};

}  // namespace win32
