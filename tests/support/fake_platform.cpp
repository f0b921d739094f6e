#include "support/fake_platform.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace fake {

namespace {
// The window manager compares class names without regard to case.
bool sameClass(const std::string& a, const char* b) {
  const std::string_view other(b);
  return a.size() == other.size() && std::equal(a.begin(), a.end(), other.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}
constexpr int kVkAlt = 18;
std::string settingKey(std::string_view app, std::string_view section, std::string_view key) {
  return std::string(app) + '\\' + std::string(section) + '\\' + std::string(key);
}
}  // namespace

platform::Hwnd WindowManager::createWindow(const std::string& className, const WindowSpec& spec) {
  const platform::Hwnd hwnd = nextHandle_;
  nextHandle_ += 0x10;
  Window made;
  made.hwnd = hwnd;
  made.className = className;
  made.process = spec.process;
  made.owner = spec.owner;
  made.visible = spec.visible;
  if (spec.minimised) made.style |= kWsMinimize;
  if (spec.toolWindow) made.exStyle |= win32::kWsExToolWindow;
  if (spec.pictureInPicture) {
    made.style &= ~win32::kWsMinimizeBox;
    made.exStyle |= win32::kWsExTopmost;
  }
  windows_.insert(windows_.begin(), std::move(made));
  return hwnd;
}

std::uint32_t WindowManager::startProcess(const std::string& imagePath) {
  nextProcess_ += 4;
  processes_[nextProcess_] = imagePath;
  return nextProcess_;
}

platform::Hwnd WindowManager::openBrowser(platform::BrowserKind kind) {
  switch (kind) {
    case platform::BrowserKind::IE:
      return openProgram("C:\\Program Files\\Internet Explorer\\iexplore.exe", "IEFrame");
    case platform::BrowserKind::Chrome:
      return openProgram("C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe", "Chrome_WidgetWin_1");
    case platform::BrowserKind::Firefox:
      return openProgram("C:\\Program Files\\Mozilla Firefox\\firefox.exe", "MozillaWindowClass");
    case platform::BrowserKind::Opera:
      return openProgram("C:\\Program Files\\Opera\\opera.exe", "OperaWindowClass");
  }
  return 0;
}

platform::Hwnd WindowManager::openProgram(const std::string& imagePath, const std::string& className) {
  return createWindow(className, {.process = startProcess(imagePath)});
}

std::uint32_t WindowManager::startUnreadableProcess() {
  nextProcess_ += 4;
  processes_[nextProcess_] = std::nullopt;
  return nextProcess_;
}

void WindowManager::destroyWindow(platform::Hwnd hwnd) {
  std::erase_if(windows_, [hwnd](const Window& w) { return w.hwnd == hwnd; });
}

void WindowManager::bringToFront(platform::Hwnd hwnd) {
  auto it =
      std::find_if(windows_.begin(), windows_.end(), [hwnd](const Window& w) { return w.hwnd == hwnd; });
  if (it != windows_.end()) std::rotate(windows_.begin(), it, it + 1);
}

Window* WindowManager::window(platform::Hwnd hwnd) {
  auto it =
      std::find_if(windows_.begin(), windows_.end(), [hwnd](const Window& w) { return w.hwnd == hwnd; });
  return it == windows_.end() ? nullptr : &*it;
}

const std::vector<Posted>& WindowManager::posted(platform::Hwnd hwnd) {
  static const std::vector<Posted> none;
  Window* w = window(hwnd);
  return w ? w->queue : none;
}

std::size_t WindowManager::totalPosted() const {
  std::size_t total = 0;
  for (const Window& w : windows_) total += w.queue.size();
  return total;
}

void WindowManager::press(int vk) {
  keys_[vk].down = true;
  keys_[vk].pressedSinceQuery = true;
}

void WindowManager::release(int vk) { keys_[vk].down = false; }

bool WindowManager::keyDown(int vk) const {
  auto it = keys_.find(vk);
  return it != keys_.end() && it->second.down;
}

void Keyboard::press(int vk, bool altGr) {
  wm_.press(vk);
  deliver({vk, true, altGr});
}

void Keyboard::release(int vk, bool altGr) {
  wm_.release(vk);
  deliver({vk, false, altGr});
}

void Keyboard::pressAltGr() {
  press(platform::kVkControl);
  press(kVkAlt, true);
}

void Keyboard::releaseAltGr() {
  release(platform::kVkControl);
  release(kVkAlt, true);
}

bool Keyboard::startWatching(KeyHandler onKey) {
  if (refuseWatching) return false;
  onKey_ = std::move(onKey);
  return true;
}

void Keyboard::deliver(const platform::KeyEvent& event) {
  if (!onKey_) return;
  const KeyHandler onKey = onKey_;  // the handler may stop the watch
  onKey(event);
}

void WindowManager::tick() {
  // A callback may kill or set timers; run the ones that existed when the period began.
  const auto due = timers_;
  for (const auto& [id, proc] : due) {
    if (timers_.count(id)) proc();
  }
}

platform::Hwnd WindowManager::FindWindowA(const char* className) {
  for (const Window& w : windows_) {
    if (sameClass(w.className, className)) return w.hwnd;
  }
  return 0;
}

platform::Hwnd WindowManager::FindWindowExA(platform::Hwnd parent, platform::Hwnd childAfter,
                                            const char* className) {
  if (parent != kDesktop && parent != 0) return 0;
  auto it = windows_.begin();
  if (childAfter != 0) {
    it =
        std::find_if(windows_.begin(), windows_.end(), [&](const Window& w) { return w.hwnd == childAfter; });
    if (it == windows_.end()) return 0;
    ++it;
  }
  for (; it != windows_.end(); ++it) {
    if (sameClass(it->className, className)) return it->hwnd;
  }
  return 0;
}

bool WindowManager::PostMessageA(platform::Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                                 std::intptr_t lParam) {
  Window* w = window(hwnd);
  if (!w) return false;
  w->queue.push_back({nextSequence_++, msg, wParam, lParam});
  return true;
}

std::int16_t WindowManager::GetAsyncKeyState(int virtualKey) {
  ++keyQueries_;
  auto it = keys_.find(virtualKey);
  if (it == keys_.end()) return 0;
  Key& key = it->second;
  const int state = (key.down ? 0x8000 : 0) | (key.pressedSinceQuery ? 1 : 0);
  key.pressedSinceQuery = false;
  return static_cast<std::int16_t>(state);
}

bool WindowManager::SetTimer(platform::Hwnd hwnd, std::uintptr_t id, std::uint32_t, TimerProc proc) {
  if (!window(hwnd)) return false;
  timers_[{hwnd, id}] = std::move(proc);
  return true;
}

bool WindowManager::KillTimer(platform::Hwnd hwnd, std::uintptr_t id) {
  return timers_.erase({hwnd, id}) != 0;
}

std::int32_t WindowManager::GetWindowLongA(platform::Hwnd hwnd, int index) {
  Window* w = window(hwnd);
  if (!w) return 0;
  if (index == win32::kGwlStyle) return w->style;
  return index == win32::kGwlExStyle ? w->exStyle : 0;
}

std::int32_t WindowManager::SetWindowLongA(platform::Hwnd hwnd, int index, std::int32_t value) {
  Window* w = window(hwnd);
  if (!w || index != win32::kGwlExStyle) return 0;
  return std::exchange(w->exStyle, value);
}

bool WindowManager::SetLayeredWindowAttributes(platform::Hwnd hwnd, std::uint32_t, std::uint8_t alpha,
                                               std::uint32_t flags) {
  Window* w = window(hwnd);
  // user32 refuses a window that is not layered.
  if (!w || !(w->exStyle & win32::kWsExLayered)) return false;
  if (flags & win32::kLwaAlpha) w->alpha = alpha;
  return true;
}

bool WindowManager::SetWindowPos(platform::Hwnd hwnd, platform::Hwnd insertAfter, int, int, int, int,
                                 std::uint32_t) {
  Window* w = window(hwnd);
  if (!w) return false;
  if (insertAfter == win32::kHwndTopmost) w->exStyle |= win32::kWsExTopmost;
  if (insertAfter == win32::kHwndNoTopmost) w->exStyle &= ~win32::kWsExTopmost;
  return true;
}

std::uint32_t WindowManager::GetWindowThreadProcessId(platform::Hwnd hwnd) {
  Window* w = window(hwnd);
  return w ? w->process : 0;
}

bool WindowManager::IsWindowVisible(platform::Hwnd hwnd) {
  Window* w = window(hwnd);
  return w && w->visible;
}

platform::Hwnd WindowManager::GetWindow(platform::Hwnd hwnd, std::uint32_t cmd) {
  Window* w = window(hwnd);
  return w && cmd == win32::kGwOwner ? w->owner : 0;
}

std::optional<std::string> WindowManager::QueryFullProcessImageNameW(std::uint32_t processId) {
  auto it = processes_.find(processId);
  return it == processes_.end() ? std::nullopt : it->second;
}

std::optional<std::string> SettingsStore::GetSetting(std::string_view app, std::string_view section,
                                                     std::string_view key) {
  auto it = values_.find(settingKey(app, section, key));
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

void SettingsStore::SaveSetting(std::string_view app, std::string_view section, std::string_view key,
                                std::string_view value) {
  if (refuseWrites) return;
  ++writes;
  values_[settingKey(app, section, key)] = std::string(value);
}

std::optional<std::string> SettingsStore::apps() const {
  auto it = values_.find("VaskF5\\Refresh\\Apps");
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

void SettingsStore::setApps(std::string value) { values_["VaskF5\\Refresh\\Apps"] = std::move(value); }

}  // namespace fake
