// The user32 operations the Win32 layer's portable part is written against, named after the functions they
// stand for. The real ones (window_manager.h) call user32; the unit tests' fake simulates the window
// manager's rules, so the browser lookup and the refresh are tested in milliseconds on any machine. This
// header must not include <windows.h>: it is compiled on Linux too.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace win32 {

// A window handle as the program holds it: user32's handle, sign-extended (a handle carries 32 significant
// bits, on 64-bit Windows too), which is also the number the status label shows.
using Hwnd = std::int64_t;

// The few Win32 constants passed through unchanged (named apart from <windows.h>'s macros).
inline constexpr std::uint32_t kWmActivate = 0x0006;
inline constexpr std::uint32_t kWmKeyDown = 0x0100;
inline constexpr std::uint32_t kWmKeyUp = 0x0101;
inline constexpr std::uint32_t kWmAppCommand = 0x0319;
inline constexpr std::uintptr_t kWaActive = 1;
inline constexpr std::uint16_t kAppCommandBrowserRefresh = 3;
inline constexpr std::uint16_t kFAppCommandOem = 0x1000;
inline constexpr int kGwlExStyle = -20;
inline constexpr int kGwlStyle = -16;
inline constexpr std::uint32_t kGwOwner = 4;
inline constexpr std::int32_t kWsMinimizeBox = 0x00020000;
inline constexpr std::int32_t kWsExToolWindow = 0x00000080;
inline constexpr std::int32_t kWsExLayered = 0x00080000;
inline constexpr std::int32_t kWsExTopmost = 0x00000008;
inline constexpr std::uint32_t kLwaAlpha = 2;
inline constexpr Hwnd kHwndTopmost = -1;
inline constexpr Hwnd kHwndNoTopmost = -2;
inline constexpr std::uint32_t kSwpNoSize = 0x0001;
inline constexpr std::uint32_t kSwpNoMove = 0x0002;
inline constexpr std::uint32_t kSwpNoActivate = 0x0010;

class User32 {
 public:
  virtual ~User32() = default;

  virtual Hwnd GetDesktopWindow() = 0;
  // Walks the top-level windows front to back; a null class name walks all of them. Titles are never
  // matched.
  virtual Hwnd FindWindowExA(Hwnd parent, Hwnd childAfter, const char* className) = 0;
  // The window's class name; empty when there is no such window.
  virtual std::string GetClassNameA(Hwnd hwnd) = 0;
  virtual bool PostMessageA(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) = 0;
  virtual std::int32_t GetWindowLongA(Hwnd hwnd, int index) = 0;
  virtual std::int32_t SetWindowLongA(Hwnd hwnd, int index, std::int32_t value) = 0;
  virtual bool SetLayeredWindowAttributes(Hwnd hwnd, std::uint32_t colorKey, std::uint8_t alpha,
                                          std::uint32_t flags) = 0;
  virtual bool SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int x, int y, int cx, int cy,
                            std::uint32_t flags) = 0;
  // The id of the process that made the window; 0 when there is no such window.
  virtual std::uint32_t GetWindowThreadProcessId(Hwnd hwnd) = 0;
  virtual bool IsWindow(Hwnd hwnd) = 0;
  // True for a shown window, minimised or not.
  virtual bool IsWindowVisible(Hwnd hwnd) = 0;
  virtual bool IsIconic(Hwnd hwnd) = 0;
  // With kGwOwner: the window's owner, 0 when it has none.
  virtual Hwnd GetWindow(Hwnd hwnd, std::uint32_t cmd) = 0;
  // The full path of the process's program file (UTF-8), or nothing when the process cannot be opened with
  // the least access that reads it, or the name cannot be read.
  virtual std::optional<std::string> QueryFullProcessImageNameW(std::uint32_t processId) = 0;
  // DwmGetWindowAttribute's DWMWA_CLOAKED: the window is on another virtual desktop, or hidden by the shell.
  // A call that fails (no desktop window manager, as under Wine) counts as not cloaked.
  virtual bool isCloaked(Hwnd hwnd) = 0;
  // Calls back, on the user-interface thread, when a top-level window may have been restored, shown,
  // uncloaked or brought to the foreground; an empty function stops it. The real one listens to the system's
  // window events only while it is asked to (and, where the system raises none for other programs' windows,
  // looks again now and then meanwhile).
  virtual void watchShownWindows(std::function<void()> onShown) = 0;
};

}  // namespace win32
