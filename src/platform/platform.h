// The services the program asks of the operating system, one narrow interface per kind.
//
// Operations carry the names of the user32 functions they stand for, so every call in the logic reads as its
// Win32 meaning. The real implementation lives in platform/win32; unit tests use a fake that simulates the
// window manager's rules.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// A window handle. Win32 handles are 32-bit values (sign-extended on 64-bit Windows), so the portable code
// holds them as a signed 32-bit integer; 0 means "no such window".
using Hwnd = std::int32_t;

// The few Win32 constants the logic passes through unchanged (named apart from <windows.h>'s macros).
inline constexpr std::uint32_t kWmActivate = 0x0006;
inline constexpr std::uint32_t kWmKeyDown = 0x0100;
inline constexpr std::uint32_t kWmKeyUp = 0x0101;
inline constexpr std::uintptr_t kWaActive = 1;
inline constexpr int kVkControl = 17;
inline constexpr int kVkS = 83;
inline constexpr int kVkEscape = 27;
inline constexpr int kVkF5 = 0x74;
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

// The browsers the program knows, in the fixed order in which they are listed, refreshed and stored.
enum class BrowserKind : std::uint8_t { IE, Chrome, Firefox, Opera };
inline constexpr std::array<BrowserKind, 4> kBrowserOrder = {BrowserKind::IE, BrowserKind::Chrome,
                                                             BrowserKind::Firefox, BrowserKind::Opera};

// The refresh side of the platform, in terms any window system can provide. A window system brings its own
// table of how each browser's windows are recognised; the portable logic only asks for "the browser's
// window".
class Desktop {
 public:
  virtual ~Desktop() = default;
  // The browser's frontmost top-level window by this window system's lookup rule, or 0 when it has none.
  virtual Hwnd findBrowserWindow(BrowserKind kind) = 0;
  // Asks the window to act as if F5 were pressed, without waiting for it; 0 is ignored.
  virtual void deliverRefresh(Hwnd window) = 0;
  // The window's constant opacity, 0 (invisible) to 255 (opaque); 0 as window is ignored.
  virtual void setOpacity(Hwnd window, std::uint8_t alpha) = 0;
  // Puts the window into the always-on-top band or takes it out; 0 is ignored.
  virtual void setAbove(Hwnd window, bool above) = 0;
};

// One system-wide key press or release, as a Windows virtual-key code (other window systems map theirs).
// Shift, Ctrl and Alt carry their generic codes (16, 17, 18), whichever side of the keyboard they are on.
struct KeyEvent {
  int virtualKey = 0;
  bool down = false;
  // The right Alt key acting as AltGr: it types characters, so a Ctrl seen with it is not a shortcut.
  bool altGr = false;
};

// Watches the keyboard of the whole desktop without hooking or consuming anything.
class KeyboardWatch {
 public:
  using KeyHandler = std::function<void(const KeyEvent&)>;
  virtual ~KeyboardWatch() = default;
  // Starts delivering every key event to the handler, on the user-interface thread. False when it cannot.
  virtual bool startWatching(KeyHandler onKey) = 0;
  virtual void stopWatching() = 0;
  // Whether the key is down right now, as the system sees it (not whether it was pressed since some query).
  virtual bool isKeyDown(int virtualKey) = 0;
  // A steady clock in milliseconds, for how long a key has gone without an event.
  virtual std::int64_t steadyMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  }
};

class WindowManager {
 public:
  using TimerProc = std::function<void()>;

  virtual ~WindowManager() = default;

  // Title is always null: windows are found by class alone.
  virtual Hwnd FindWindowA(const char* className) = 0;
  virtual Hwnd GetDesktopWindow() = 0;
  virtual Hwnd FindWindowExA(Hwnd parent, Hwnd childAfter, const char* className) = 0;
  virtual bool PostMessageA(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) = 0;
  virtual std::int16_t GetAsyncKeyState(int virtualKey) = 0;
  // The callback runs on the user-interface thread until the timer is killed. Setting a timer that exists
  // replaces it, as user32 does.
  virtual bool SetTimer(Hwnd hwnd, std::uintptr_t id, std::uint32_t elapseMs, TimerProc proc) = 0;
  virtual bool KillTimer(Hwnd hwnd, std::uintptr_t id) = 0;
  virtual std::int32_t GetWindowLongA(Hwnd hwnd, int index) = 0;
  virtual std::int32_t SetWindowLongA(Hwnd hwnd, int index, std::int32_t value) = 0;
  virtual bool SetLayeredWindowAttributes(Hwnd hwnd, std::uint32_t colorKey, std::uint8_t alpha,
                                          std::uint32_t flags) = 0;
  virtual bool SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int x, int y, int cx, int cy,
                            std::uint32_t flags) = 0;

  // What tells a browser's own frame from the other windows of its class. Top-level windows are walked front
  // to back with FindWindowExA.
  // The id of the process that made the window; 0 when there is no such window.
  virtual std::uint32_t GetWindowThreadProcessId(Hwnd hwnd) = 0;
  // True for a shown window, minimised or not.
  virtual bool IsWindowVisible(Hwnd hwnd) = 0;
  // With kGwOwner: the window's owner, 0 when it has none.
  virtual Hwnd GetWindow(Hwnd hwnd, std::uint32_t cmd) = 0;
  // The full path of the process's program file (UTF-8), or nothing when the process cannot be opened with
  // the least access that reads it, or the name cannot be read.
  virtual std::optional<std::string> QueryFullProcessImageNameW(std::uint32_t processId) = 0;
};

// Per-user settings addressed by application, section and key; values are UTF-8 text.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // The stored text, which may be empty; nothing when it is absent, not text, over-long or unreadable.
  virtual std::optional<std::string> GetSetting(std::string_view app, std::string_view section,
                                                std::string_view key) = 0;
  // Replaces the stored text. Failures are not reported.
  virtual void SaveSetting(std::string_view app, std::string_view section, std::string_view key,
                           std::string_view value) = 0;
};

class ProcessServices {
 public:
  virtual ~ProcessServices() = default;
  // True when another copy of the program is already running.
  virtual bool PrevInstance() = 0;
  // A modal message box with one OK button; returns when the user closes it.
  virtual void MsgBox(std::string_view text) = 0;
  // Ends the program at once. The real one does not return; callers return straight after it anyway.
  virtual void End() = 0;
};

// Everything the program's logic needs from the platform, handed around by reference.
struct Platform {
  WindowManager& wm;
  SettingsStore& settings;
  ProcessServices& process;
  KeyboardWatch& keyboard;
};

}  // namespace platform
