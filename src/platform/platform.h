// The services the program asks of the operating system, one narrow interface per kind.
//
// They are put in terms any window system can provide: the Win32 layer (platform/win32) implements them with
// user32, the Linux layer with GTK and X11. Unit tests use a fake that simulates the Windows window manager.
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

// Virtual-key codes are the portable language of keys; other window systems map theirs to them.
inline constexpr int kVkControl = 17;
inline constexpr int kVkS = 83;
inline constexpr int kVkEscape = 27;
inline constexpr int kVkF5 = 0x74;

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
  // For polling where key events cannot be had: not 0 when the key is down or was pressed since the last
  // query (a bit every program on the desktop shares). A window system without the second bit gives the
  // first.
  virtual std::int16_t GetAsyncKeyState(int virtualKey) = 0;
  // A steady clock in milliseconds, for how long a key has gone without an event.
  virtual std::int64_t steadyMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  }
};

// Timers that call back on the user-interface thread, named after the window they belong to and an id.
class Timers {
 public:
  using TimerProc = std::function<void()>;
  virtual ~Timers() = default;
  // The callback runs again and again until the timer is killed. Setting a timer that exists replaces it.
  virtual bool SetTimer(Hwnd hwnd, std::uintptr_t id, std::uint32_t elapseMs, TimerProc proc) = 0;
  virtual bool KillTimer(Hwnd hwnd, std::uintptr_t id) = 0;
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
  Desktop& desktop;
  KeyboardWatch& keyboard;
  Timers& timers;
  SettingsStore& settings;
  ProcessServices& process;
};

}  // namespace platform
