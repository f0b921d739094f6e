#include "support/fake_platform.h"

#include <strings.h>

#include <algorithm>

namespace fake {

Hwnd WindowManager::createWindow(const std::string& className, const WindowSpec& spec) {
  // WS_OVERLAPPEDWINDOW (caption, system menu, sizing frame, minimise and maximise boxes), and WS_MINIMIZE.
  std::int32_t style = 0x00CF0000 | (spec.minimised ? 0x20000000 : 0);
  std::int32_t exStyle = spec.toolWindow ? win32::kWsExToolWindow : 0;
  if (spec.pictureInPicture) {
    style &= ~win32::kWsMinimizeBox;
    exStyle |= win32::kWsExTopmost;
  }
  nextHandle_ += 0x10;
  windows_.insert(windows_.begin(), Window{spec, nextHandle_, className, style, exStyle, std::nullopt, {}});
  return nextHandle_;
}

std::uint32_t WindowManager::startProcess(std::optional<std::string> imagePath) {
  const auto id = static_cast<std::uint32_t>(1000 + 4 * processes_.size());
  processes_[id] = std::move(imagePath);
  return id;
}

Hwnd WindowManager::openBrowser(platform::BrowserKind kind) {
  // In the order of platform::BrowserKind.
  static const std::pair<const char*, const char*> kInstalled[] = {
      {"C:\\Program Files\\Internet Explorer\\iexplore.exe", "IEFrame"},
      {"C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe", "Chrome_WidgetWin_1"},
      {"C:\\Program Files\\Mozilla Firefox\\firefox.exe", "MozillaWindowClass"},
      {"C:\\Program Files\\Opera\\opera.exe", "OperaWindowClass"}};
  const auto& [path, className] = kInstalled[static_cast<int>(kind)];
  return openProgram(path, className);
}

void WindowManager::bringToFront(Hwnd hwnd) {
  const auto it = std::ranges::find(windows_, hwnd, &Window::hwnd);
  if (it != windows_.end()) std::rotate(windows_.begin(), it, it + 1);
}

Window* WindowManager::window(Hwnd hwnd) {
  auto it = std::ranges::find(windows_, hwnd, &Window::hwnd);
  return it == windows_.end() ? nullptr : &*it;
}

std::int16_t WindowManager::GetAsyncKeyState(int virtualKey) {
  ++keyQueries_;
  Key& key = keys_[virtualKey];
  const int state = (key.down ? 0x8000 : 0) | (key.pressedSinceQuery ? 1 : 0);
  key.pressedSinceQuery = false;
  return static_cast<std::int16_t>(state);
}

void WindowManager::tick(int times) {
  // A callback may kill or set timers: each period runs the ones that existed when it began.
  for (int i = 0; i < times; ++i) {
    for (const auto& [id, proc] : decltype(timers_)(timers_))
      if (timers_.contains(id)) proc();
  }
}

Hwnd WindowManager::FindWindowExA(Hwnd parent, Hwnd childAfter, const char* className) {
  if (parent != kDesktop && parent != 0) return 0;
  auto it = windows_.begin();
  if (childAfter != 0) {
    it = std::ranges::find(windows_, childAfter, &Window::hwnd);
    if (it != windows_.end()) ++it;
  }
  // The window manager compares class names without regard to case.
  it = std::find_if(it, windows_.end(),
                    [className](const Window& w) { return strcasecmp(w.className.c_str(), className) == 0; });
  return it == windows_.end() ? 0 : it->hwnd;
}

bool WindowManager::PostMessageA(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
  Window* w = window(hwnd);
  if (w) w->queue.push_back({nextSequence_++, msg, wParam, lParam});
  return w != nullptr;
}

bool WindowManager::SetTimer(Hwnd hwnd, std::uintptr_t id, std::uint32_t, TimerProc proc) {
  if (!window(hwnd)) return false;
  timers_[{hwnd, id}] = std::move(proc);
  return true;
}

std::int32_t WindowManager::GetWindowLongA(Hwnd hwnd, int index) {
  const Window* w = window(hwnd);
  if (!w) return 0;
  return index == win32::kGwlStyle ? w->style : index == win32::kGwlExStyle ? w->exStyle : 0;
}

std::int32_t WindowManager::SetWindowLongA(Hwnd hwnd, int index, std::int32_t value) {
  Window* w = window(hwnd);
  return w && index == win32::kGwlExStyle ? std::exchange(w->exStyle, value) : 0;
}

bool WindowManager::SetLayeredWindowAttributes(Hwnd hwnd, std::uint32_t, std::uint8_t alpha,
                                               std::uint32_t flags) {
  Window* w = window(hwnd);
  // user32 refuses a window that is not layered.
  if (!w || !(w->exStyle & win32::kWsExLayered)) return false;
  if (flags & win32::kLwaAlpha) w->alpha = alpha;
  return true;
}

bool WindowManager::SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int, int, int, int, std::uint32_t) {
  Window* w = window(hwnd);
  if (w && insertAfter == win32::kHwndTopmost) w->exStyle |= win32::kWsExTopmost;
  if (w && insertAfter == win32::kHwndNoTopmost) w->exStyle &= ~win32::kWsExTopmost;
  return w != nullptr;
}

void Keyboard::type(int vk, bool down, bool altGr) {
  down ? wm_.press(vk) : wm_.release(vk);
  const KeyHandler onKey = onKey_;  // the handler may stop the watch
  if (onKey) onKey({vk, down, altGr});
}

bool Keyboard::startWatching(KeyHandler onKey) {
  if (!refuseWatching) onKey_ = std::move(onKey);
  return !refuseWatching;
}

}  // namespace fake
