// The services the program asks of the operating system, one narrow interface per kind.
//
// They are put in terms any window system can provide: the Win32 layer (platform/win32) implements them with
// user32, the Linux layer with GTK and X11. Unit tests use a fake that simulates the Windows window manager.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A window of the desktop, as its window system names it; 0 is no window. Wide enough for the handles of any
// system. The program only compares it and shows its number, so it never means anything else.
struct WindowId {
  std::int64_t value = 0;
  constexpr explicit operator bool() const { return value != 0; }
  friend constexpr bool operator==(WindowId, WindowId) = default;
};

// Keys are named by the codes of Windows' virtual keys, a numbering every other window system maps onto.
inline constexpr int kKeyShift = 16;
inline constexpr int kKeyControl = 17;
inline constexpr int kKeyAlt = 18;
inline constexpr int kKeyEscape = 27;
inline constexpr int kKeyS = 'S';
inline constexpr int kKeySuper = 91;  // the Windows key, or Super
inline constexpr int kKeyF5 = 116;

// Which of a pair of keys (Ctrl, Shift, Alt, Super) moved; Any for keys that come once, or either of a pair.
enum class KeySide : std::uint8_t { Any, Left, Right };

// One system-wide key press or release. A modifier carries its generic code and its side: right Alt acting
// as AltGr is Alt, Right.
struct KeyEvent {
  int key = 0;
  KeySide side = KeySide::Any;
  bool down = false;
  // A press the keyboard repeats while the key is held: the key went down before and is still down.
  bool repeat = false;
  friend bool operator==(const KeyEvent&, const KeyEvent&) = default;
};

// Watches the keyboard of the whole desktop without hooking or consuming anything.
class KeyboardWatch {
 public:
  using Handler = std::function<void(const KeyEvent&)>;
  virtual ~KeyboardWatch() = default;
  // Reports every key press and release to the handler, on the user-interface thread: from the window
  // system's key events, or where it has none for this program, from polling the keys the save chord is made
  // of. False when neither can be had.
  virtual bool start(Handler onKey) = 0;
  virtual void stop() = 0;
  // Whether the key is down right now as the system sees it; KeySide::Any asks for either side.
  virtual bool isDown(int key, KeySide side) = 0;
  // A steady clock in milliseconds.
  virtual std::int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  }
};

// A scheduled callback; destroying it before it runs cancels it.
class Timer {
 public:
  virtual ~Timer() = default;
};

class Timers {
 public:
  virtual ~Timers() = default;
  // Calls back once, on the user-interface thread, after the delay.
  virtual std::unique_ptr<Timer> once(std::chrono::milliseconds delay, std::function<void()> callback) = 0;
};

// The browsers the program knows, in the order they are offered and stored: the Chromium family, the
// Firefox family, Opera and Internet Explorer.
enum class Browser : std::uint8_t {
  Chrome,
  Edge,
  Brave,
  Vivaldi,
  Firefox,
  LibreWolf,
  Waterfox,
  Zen,
  Opera,
  InternetExplorer,
};
inline constexpr std::size_t kBrowserCount = 10;

// A browser's own top-level window, where its pages are shown.
struct BrowserFrame {
  WindowId window;
  Browser browser{};
  friend bool operator==(const BrowserFrame&, const BrowserFrame&) = default;
};

// The browsers' windows, found by this window system's own table of how each browser's frames are
// recognised, and what can be done to them.
class Desktop {
 public:
  virtual ~Desktop() = default;
  // The frontmost frame of each of the browsers that runs. A browser's frames on the desktop the user sees
  // come before its frames on other virtual desktops; the list holds frames on the visible desktop front to
  // back, then the others front to back. Looked up afresh in one look at the desktop.
  virtual std::vector<BrowserFrame> findFrames(std::span<const Browser> browsers) = 0;
  // Makes the frame reload its page, the way its browser takes such a request; never waits for the browser
  // and never takes the keyboard from the program the user works in.
  virtual void refresh(const BrowserFrame& frame) = 0;
  // The window's constant opacity, 0 (invisible) to 255 (opaque). An empty id is ignored.
  virtual void setOpacity(WindowId window, std::uint8_t alpha) = 0;
  // Puts the window into the always-on-top band or takes it out. An empty id is ignored.
  virtual void setAbove(WindowId window, bool above) = 0;
};

// Per-user settings addressed by application, section and key; values are UTF-8 text.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // The stored text, which may be empty; nothing when it is absent, not text, over-long or unreadable.
  virtual std::optional<std::string> read(std::string_view app, std::string_view section,
                                          std::string_view key) = 0;
  // Replaces the stored text. A store that cannot be written keeps nothing, and says so to nobody.
  virtual void write(std::string_view app, std::string_view section, std::string_view key,
                     std::string_view value) = 0;
};

class ProcessServices {
 public:
  virtual ~ProcessServices() = default;
  // True when another copy of the program already runs for this user (and display).
  virtual bool anotherCopyRuns() = 0;
  // A modal message with one OK button; returns when the user closes it.
  virtual void showMessage(std::string_view text) = 0;
  // Ends the program: the user-interface loop stops and the program returns from it. Callers return straight
  // after it.
  virtual void quit() = 0;
  // Whether the session starts this very copy of the program when the user signs in.
  virtual bool startsWithSession() = 0;
  virtual void setStartsWithSession(bool on) = 0;
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
