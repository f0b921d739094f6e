// The window-manager operations on the real user32.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <utility>

#include "platform/platform.h"

namespace win32 {

inline HWND toHwnd(platform::Hwnd hwnd) { return static_cast<HWND>(LongToHandle(hwnd)); }
inline platform::Hwnd fromHwnd(HWND hwnd) { return HandleToLong(hwnd); }

class WindowManager final : public platform::WindowManager {
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
  std::int16_t GetAsyncKeyState(int virtualKey) override;
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
  static void CALLBACK timerThunk(HWND hwnd, UINT msg, UINT_PTR id, DWORD time) noexcept;

  // The callbacks of live timers, keyed as user32 keys them. One window manager serves the one UI thread.
  std::map<std::pair<HWND, UINT_PTR>, TimerProc> timers_;
};

}  // namespace win32
