// The user32 operations of the Win32 layer's portable part (user32.h), on the real user32.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/message_window.h"
#include "platform/win32/user32.h"

namespace win32 {

inline HWND toHwnd(Hwnd hwnd) { return static_cast<HWND>(LongToHandle(static_cast<LONG>(hwnd))); }
inline Hwnd fromHwnd(HWND hwnd) { return HandleToLong(hwnd); }

class WindowManager final : public User32 {
 public:
  WindowManager() = default;
  WindowManager(const WindowManager&) = delete;
  WindowManager& operator=(const WindowManager&) = delete;
  ~WindowManager() override;

  Hwnd GetDesktopWindow() override;
  Hwnd FindWindowExA(Hwnd parent, Hwnd childAfter, const char* className) override;
  std::string GetClassNameA(Hwnd hwnd) override;
  bool PostMessageA(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override;
  std::int32_t GetWindowLongA(Hwnd hwnd, int index) override;
  std::int32_t SetWindowLongA(Hwnd hwnd, int index, std::int32_t value) override;
  bool SetLayeredWindowAttributes(Hwnd hwnd, std::uint32_t colorKey, std::uint8_t alpha,
                                  std::uint32_t flags) override;
  bool SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int x, int y, int cx, int cy, std::uint32_t flags) override;
  std::uint32_t GetWindowThreadProcessId(Hwnd hwnd) override;
  bool IsWindow(Hwnd hwnd) override;
  bool IsWindowVisible(Hwnd hwnd) override;
  bool IsIconic(Hwnd hwnd) override;
  Hwnd GetWindow(Hwnd hwnd, std::uint32_t cmd) override;
  std::optional<std::string> QueryFullProcessImageNameW(std::uint32_t processId) override;
  bool isCloaked(Hwnd hwnd) override;
  // The system's window events while a callback is set, and a call every tenth of a second meanwhile, for
  // systems whose window events do not reach other programs (Wine's).
  void watchShownWindows(std::function<void()> onShown) override;

 private:
  static void CALLBACK onWinEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD,
                                  DWORD) noexcept;
  void stopWatching();
  void report();

  std::function<void()> onShown_;
  std::vector<HWINEVENTHOOK> hooks_;
  // Made when a watch first starts, which most runs never need. Last: destroyed first.
  std::unique_ptr<MessageWindow> window_;
};

}  // namespace win32
