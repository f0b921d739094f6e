// A fake platform that simulates the window manager's rules instead of replaying scripted answers:
// processes with program files (some that may not be opened), top-level windows with classes, owners,
// visibility, minimised and cloaked state and styles in front-to-back order, a message queue per window, a
// keyboard that delivers key events, a clock that runs timers only when a test moves it on, extended styles
// and layered alpha that read back, and a settings map.
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

using win32::Hwnd;

struct Posted {
  std::uint32_t msg;
  std::uintptr_t wParam;
  std::intptr_t lParam;
};

// A top-level window: how it is made (by default an ordinary visible frame of no process) and its state.
struct Window {
  std::uint32_t process = 0;
  Hwnd owner = 0;
  bool visible = true;
  bool minimised = false;
  bool cloaked = false;  // on another virtual desktop
  bool toolWindow = false;
  // A floating video window as Chrome and Firefox make it: always on top, without a minimise box.
  bool pictureInPicture = false;
  Hwnd hwnd = 0;
  std::string className{};
  std::int32_t style = 0, exStyle = 0;
  std::optional<std::uint8_t> alpha{};  // set by SetLayeredWindowAttributes with LWA_ALPHA
  std::vector<Posted> queue{};
};

class WindowManager : public win32::User32 {
 public:
  // Creates a top-level window in front of all others, as a newly created window is.
  Hwnd createWindow(const std::string& className, Window made = {});
  // A running program, by the full path of its program file; nothing: one we may not open (elevated or
  // protected).
  std::uint32_t startProcess(std::optional<std::string> imagePath);
  // A browser's own program, installed where its installer puts it, with one frame; returns the frame.
  Hwnd openBrowser(platform::Browser browser, Window made = {});
  void destroyWindow(Hwnd hwnd) {
    std::erase_if(windows_, [hwnd](const Window& w) { return w.hwnd == hwnd; });
  }
  // The user restores a minimised window, or switches to the virtual desktop of a cloaked one.
  void show(Hwnd hwnd);
  Window* window(Hwnd hwnd);
  // Every top-level window, front to back.
  const std::vector<Window>& windows() const { return windows_; }
  const std::vector<Posted>& posted(Hwnd hwnd) { return window(hwnd)->queue; }
  bool watchingShownWindows() const { return static_cast<bool>(onShown_); }

  Hwnd GetDesktopWindow() override { return 1; }
  Hwnd FindWindowExA(Hwnd parent, Hwnd childAfter, const char* className) override;
  std::string GetClassNameA(Hwnd hwnd) override { return window(hwnd) ? window(hwnd)->className : ""; }
  bool PostMessageA(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override;
  std::int32_t GetWindowLongA(Hwnd hwnd, int index) override;
  std::int32_t SetWindowLongA(Hwnd hwnd, int index, std::int32_t value) override;
  bool SetLayeredWindowAttributes(Hwnd hwnd, std::uint32_t, std::uint8_t alpha, std::uint32_t flags) override;
  bool SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int, int, int, int, std::uint32_t) override;
  std::uint32_t GetWindowThreadProcessId(Hwnd hwnd) override {
    return window(hwnd) ? window(hwnd)->process : 0;
  }
  bool IsWindow(Hwnd hwnd) override { return window(hwnd) != nullptr; }
  bool IsWindowVisible(Hwnd hwnd) override { return window(hwnd) && window(hwnd)->visible; }
  bool IsIconic(Hwnd hwnd) override { return window(hwnd) && window(hwnd)->minimised; }
  Hwnd GetWindow(Hwnd hwnd, std::uint32_t cmd) override {
    return window(hwnd) && cmd == win32::kGwOwner ? window(hwnd)->owner : 0;
  }
  std::optional<std::string> QueryFullProcessImageNameW(std::uint32_t processId) override {
    return processes_.contains(processId) ? processes_[processId] : std::nullopt;
  }
  bool isCloaked(Hwnd hwnd) override { return window(hwnd) && window(hwnd)->cloaked; }
  void watchShownWindows(std::function<void()> onShown) override { onShown_ = std::move(onShown); }

 private:
  std::vector<Window> windows_;  // front to back
  Hwnd nextHandle_ = 0x20000;
  std::map<std::uint32_t, std::optional<std::string>> processes_;  // no value: may not be opened
  std::function<void()> onShown_;
};

// Time stands still unless a test moves it on; timers run as it passes them.
class Clock : public platform::Timers {
 public:
  std::int64_t nowMs() const { return now_; }
  void advance(std::int64_t ms);
  std::unique_ptr<platform::Timer> once(std::chrono::milliseconds delay,
                                        std::function<void()> callback) override;

 private:
  struct Pending {
    std::int64_t dueMs;
    std::uint64_t id;
    std::function<void()> callback;
  };
  std::int64_t now_ = 1'000'000;
  std::uint64_t nextId_ = 0;
  std::vector<Pending> pending_;
};

// The keyboard as a person types on it: every press and release arrives at once as a key event while the
// keyboard is watched, and is down or up for the system from then on.
class Keyboard : public platform::KeyboardWatch {
 public:
  explicit Keyboard(Clock& clock) : clock_(clock) {}

  void press(int key, platform::KeySide side = platform::KeySide::Any, bool repeat = false);
  void release(int key, platform::KeySide side = platform::KeySide::Any);
  // The key's release goes to a window of higher privilege, or the secure desktop: the system knows, no
  // event comes.
  void releaseUnheard(int key, platform::KeySide side = platform::KeySide::Any) {
    std::erase(down_, std::pair{key, side});
  }
  bool watching() const { return static_cast<bool>(onKey_); }
  bool refuseWatching = false;  // neither events nor polling can be had

  bool start(Handler onKey) override;
  void stop() override { onKey_ = nullptr; }
  bool isDown(int key, platform::KeySide side) override;
  std::int64_t nowMs() override { return clock_.nowMs(); }

 private:
  Clock& clock_;
  Handler onKey_;
  std::vector<std::pair<int, platform::KeySide>> down_;
};

class SettingsStore : public platform::SettingsStore {
 public:
  std::optional<std::string> read(std::string_view app, std::string_view section,
                                  std::string_view key) override {
    const auto it = values_.find(path(app, section, key));
    return it == values_.end() ? std::nullopt : std::optional(it->second);
  }
  void write(std::string_view app, std::string_view section, std::string_view key,
             std::string_view value) override {
    if (!refuseWrites) values_[path(app, section, key)] = value;
    writes += !refuseWrites;
  }
  // The program's own values, by key.
  std::optional<std::string> get(std::string_view key) { return read("VaskF5", "Refresh", key); }
  void set(std::string_view key, std::string value) {
    values_[path("VaskF5", "Refresh", key)] = std::move(value);
  }
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
  bool anotherCopyRuns() override { return anotherCopyRunning; }
  void showMessage(std::string_view) override { ++messages; }
  void quit() override { ended = true; }
  bool startsWithSession() override { return sessionStartsThisCopy; }
  void setStartsWithSession(bool on) override { sessionStartsThisCopy = on, ++sessionEntryWrites; }

  bool anotherCopyRunning = false, ended = false, sessionStartsThisCopy = false;
  int messages = 0, sessionEntryWrites = 0;
};

// The fakes together, as the program's logic is handed them, with the Windows desktop's rule on top.
struct Platform {
  WindowManager wm;
  win32::User32Desktop desktop{wm};
  Clock clock;
  SettingsStore settings;
  ProcessServices process;
  Keyboard keyboard{clock};
  platform::Platform services{desktop, keyboard, clock, settings, process};
};

}  // namespace fake
