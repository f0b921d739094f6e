// A fake platform that simulates the window manager's rules instead of replaying scripted answers:
// processes with program files (some that may not be opened), top-level windows with classes, owners,
// visibility, minimised state and styles in front-to-back order, a message queue per window, a keyboard that
// delivers key events and whose key state has the down bit and the pressed-since-last-query bit, timers the
// test ticks, extended styles and layered alpha that read back, and a settings map.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/user32.h"
#include "platform/win32/user32_desktop.h"

namespace fake {

using platform::Hwnd;

struct Posted {
  std::uint64_t sequence;  // global posting order, across all windows
  std::uint32_t msg;
  std::uintptr_t wParam;
  std::intptr_t lParam;
};

// How a new window is made; the default is an ordinary visible frame of no process.
struct WindowSpec {
  std::uint32_t process = 0;
  Hwnd owner = 0;
  bool visible = true;
  bool minimised = false;
  bool toolWindow = false;
  // A floating video window as Chrome and Firefox make it: always on top, without a minimise box.
  bool pictureInPicture = false;
};

// A window as it was made, and its state now.
struct Window : WindowSpec {
  Hwnd hwnd = 0;
  std::string className;
  std::int32_t style = 0;
  std::int32_t exStyle = 0;
  std::optional<std::uint8_t> alpha;  // set by SetLayeredWindowAttributes with LWA_ALPHA
  std::vector<Posted> queue;
};

class WindowManager : public win32::User32, public platform::Timers {
 public:
  static constexpr Hwnd kDesktop = 0x10010;

  // The program's Windows desktop (browser lookup, refresh, alpha, pin) running on this window manager.
  win32::User32Desktop desktop{*this};

  // Creates a top-level window in front of all others, as a newly created window is.
  Hwnd createWindow(const std::string& className, const WindowSpec& spec = {});
  // A running program, by the full path of its program file; nothing: one we may not open (elevated or
  // protected).
  std::uint32_t startProcess(std::optional<std::string> imagePath);
  // A browser's own program, from where it is usually installed, with one visible frame; returns the frame.
  Hwnd openBrowser(platform::BrowserKind kind);
  // Another program with one visible frame of the given class; returns the frame.
  Hwnd openProgram(const std::string& imagePath, const std::string& className) {
    return createWindow(className, {.process = startProcess(imagePath)});
  }
  void destroyWindow(Hwnd hwnd) {
    std::erase_if(windows_, [hwnd](const Window& w) { return w.hwnd == hwnd; });
  }
  void bringToFront(Hwnd hwnd);
  Window* window(Hwnd hwnd);
  // Every top-level window, front to back.
  const std::vector<Window>& windows() const { return windows_; }
  // The messages posted to a living window, in order.
  const std::vector<Posted>& posted(Hwnd hwnd) { return window(hwnd)->queue; }

  // The system-wide key state, as GetAsyncKeyState reports it. Keys are typed through fake::Keyboard, which
  // also delivers their events.
  void press(int vk) { keys_[vk] = {.down = true, .pressedSinceQuery = true}; }
  void release(int vk) { keys_[vk].down = false; }
  bool keyDown(int vk) const { return keys_.contains(vk) && keys_.at(vk).down; }
  int keyQueries() const { return keyQueries_; }
  std::int16_t GetAsyncKeyState(int virtualKey);

  // Runs every live timer's callback once per period of the window manager's timer.
  void tick(int times = 1);
  bool timerRunning(Hwnd hwnd, std::uintptr_t id) const { return timers_.contains({hwnd, id}); }

  Hwnd FindWindowA(const char* className) override { return FindWindowExA(0, 0, className); }
  Hwnd GetDesktopWindow() override { return kDesktop; }
  Hwnd FindWindowExA(Hwnd parent, Hwnd childAfter, const char* className) override;
  bool PostMessageA(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override;
  bool SetTimer(Hwnd hwnd, std::uintptr_t id, std::uint32_t, TimerProc proc) override;
  bool KillTimer(Hwnd hwnd, std::uintptr_t id) override { return timers_.erase({hwnd, id}) != 0; }
  std::int32_t GetWindowLongA(Hwnd hwnd, int index) override;
  std::int32_t SetWindowLongA(Hwnd hwnd, int index, std::int32_t value) override;
  bool SetLayeredWindowAttributes(Hwnd hwnd, std::uint32_t, std::uint8_t alpha, std::uint32_t flags) override;
  bool SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int, int, int, int, std::uint32_t) override;
  std::uint32_t GetWindowThreadProcessId(Hwnd hwnd) override {
    return window(hwnd) ? window(hwnd)->process : 0;
  }
  bool IsWindowVisible(Hwnd hwnd) override { return window(hwnd) && window(hwnd)->visible; }
  Hwnd GetWindow(Hwnd hwnd, std::uint32_t cmd) override {
    return window(hwnd) && cmd == win32::kGwOwner ? window(hwnd)->owner : 0;
  }
  std::optional<std::string> QueryFullProcessImageNameW(std::uint32_t processId) override {
    return processes_.contains(processId) ? processes_[processId] : std::nullopt;
  }

 private:
  struct Key {
    bool down = false;
    bool pressedSinceQuery = false;
  };
  std::vector<Window> windows_;  // front to back
  Hwnd nextHandle_ = 0x20000;
  std::map<std::uint32_t, std::optional<std::string>> processes_;  // no value: may not be opened
  std::uint64_t nextSequence_ = 0;
  std::map<int, Key> keys_;
  int keyQueries_ = 0;
  std::map<std::pair<Hwnd, std::uintptr_t>, TimerProc> timers_;
};

// The keyboard as a person types on it: every press and release changes the window manager's key state and,
// while the keyboard is watched, arrives at once as a key event. Time stands still unless a test moves it on.
class Keyboard : public platform::KeyboardWatch {
 public:
  explicit Keyboard(WindowManager& wm) : wm_(wm) {}

  // altGr: the right Alt key acting as AltGr, as Windows reports it (after a left Ctrl of its own).
  void press(int vk, bool altGr = false) { type(vk, true, altGr); }
  void release(int vk, bool altGr = false) { type(vk, false, altGr); }
  void advance(std::int64_t ms) { now_ += ms; }
  bool watching() const { return static_cast<bool>(onKey_); }

  // Registration fails, as it may where raw input is not available.
  bool refuseWatching = false;

  bool startWatching(KeyHandler onKey) override;
  void stopWatching() override { onKey_ = nullptr; }
  bool isKeyDown(int virtualKey) override { return wm_.keyDown(virtualKey); }
  std::int16_t GetAsyncKeyState(int virtualKey) override { return wm_.GetAsyncKeyState(virtualKey); }
  std::int64_t steadyMilliseconds() override { return now_; }

 private:
  void type(int vk, bool down, bool altGr);

  WindowManager& wm_;
  KeyHandler onKey_;
  std::int64_t now_ = 1'000'000;
};

class SettingsStore : public platform::SettingsStore {
 public:
  std::optional<std::string> GetSetting(std::string_view app, std::string_view section,
                                        std::string_view key) override {
    const auto it = values_.find(path(app, section, key));
    return it == values_.end() ? std::nullopt : std::optional(it->second);
  }
  void SaveSetting(std::string_view app, std::string_view section, std::string_view key,
                   std::string_view value) override {
    if (refuseWrites) return;
    ++writes;
    values_[path(app, section, key)] = value;
  }

  // The stored value of the program's selection, if any.
  std::optional<std::string> apps() { return GetSetting("VaskF5", "Refresh", "Apps"); }
  void setApps(std::string value) { values_[path("VaskF5", "Refresh", "Apps")] = std::move(value); }
  int writes = 0;
  bool refuseWrites = false;

 private:
  static std::string path(std::string_view app, std::string_view section, std::string_view key) {
    return std::string(app) + '\\' + std::string(section) + '\\' + std::string(key);
  }
  std::map<std::string, std::string> values_;
};

class ProcessServices : public platform::ProcessServices {
 public:
  bool PrevInstance() override { return anotherCopyRunning; }
  void MsgBox(std::string_view text) override { messages.emplace_back(text); }
  void End() override { ended = true; }

  bool anotherCopyRunning = false;
  std::vector<std::string> messages;
  bool ended = false;
};

// The fakes together, as the program's logic is handed them.
struct Platform {
  WindowManager wm;
  SettingsStore settings;
  ProcessServices process;
  Keyboard keyboard{wm};
  platform::Platform services{wm.desktop, keyboard, wm, settings, process};
};

}  // namespace fake
