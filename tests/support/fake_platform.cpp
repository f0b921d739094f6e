#include "support/fake_platform.h"

#include <strings.h>

#include <algorithm>

namespace fake {

Hwnd WindowManager::createWindow(const std::string& className, Window made) {
  made.hwnd = nextHandle_ += 0x10;
  made.className = className;
  // WS_OVERLAPPEDWINDOW (caption, system menu, sizing frame, minimise and maximise boxes).
  made.style = made.pictureInPicture ? 0x00CF0000 & ~win32::kWsMinimizeBox : 0x00CF0000;
  made.exStyle =
      (made.toolWindow ? win32::kWsExToolWindow : 0) | (made.pictureInPicture ? win32::kWsExTopmost : 0);
  windows_.insert(windows_.begin(), std::move(made));
  return nextHandle_;
}

std::uint32_t WindowManager::startProcess(std::optional<std::string> imagePath) {
  const auto id = static_cast<std::uint32_t>(1000 + 4 * processes_.size());
  processes_[id] = std::move(imagePath);
  return id;
}

Hwnd WindowManager::openBrowser(platform::Browser browser, Window made) {
  const auto rule =
      std::ranges::find(win32::kBrowserWindowRules, browser, &win32::BrowserWindowRule::browser);
  made.process = startProcess("C:\\Program Files\\" + std::string(rule->imageName) + "\\Application\\" +
                              std::string(rule->imageName));
  return createWindow(rule->windowClass, std::move(made));
}

void WindowManager::show(Hwnd hwnd) {
  if (Window* w = window(hwnd)) {
    w->minimised = w->cloaked = false;
    if (const auto onShown = onShown_) onShown();
  }
}

Window* WindowManager::window(Hwnd hwnd) {
  auto it = std::ranges::find(windows_, hwnd, &Window::hwnd);
  return it == windows_.end() ? nullptr : &*it;
}

Hwnd WindowManager::FindWindowExA(Hwnd parent, Hwnd childAfter, const char* className) {
  if (parent != GetDesktopWindow()) return 0;
  auto it = childAfter ? std::ranges::find(windows_, childAfter, &Window::hwnd) : windows_.begin();
  if (childAfter && it != windows_.end()) ++it;
  // The window manager compares class names without regard to case.
  it = std::find_if(it, windows_.end(), [className](const Window& w) {
    return !className || strcasecmp(w.className.c_str(), className) == 0;
  });
  return it == windows_.end() ? 0 : it->hwnd;
}

bool WindowManager::PostMessageA(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
  Window* w = window(hwnd);
  if (w) w->queue.push_back({msg, wParam, lParam});
  return w != nullptr;
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

std::unique_ptr<platform::Timer> Clock::once(std::chrono::milliseconds delay,
                                             std::function<void()> callback) {
  struct Handle : platform::Timer {
    Clock& clock;
    std::uint64_t id;
    Handle(Clock& c, std::uint64_t i) : clock(c), id(i) {}
    ~Handle() override {
      std::erase_if(clock.pending_, [this](const Pending& p) { return p.id == id; });
    }
  };
  pending_.push_back({now_ + delay.count(), nextId_, std::move(callback)});
  return std::make_unique<Handle>(*this, nextId_++);
}

void Clock::advance(std::int64_t ms) {
  const std::int64_t until = now_ + ms;
  for (;;) {
    const auto next = std::ranges::min_element(pending_, {}, &Pending::dueMs);
    if (next == pending_.end() || next->dueMs > until) break;
    now_ = next->dueMs;
    // The callback may destroy its own timer, or start new ones.
    const std::function<void()> callback = std::move(next->callback);
    pending_.erase(next);
    callback();
  }
  now_ = until;
}

void Keyboard::press(int key, platform::KeySide side, bool repeat) {
  if (std::ranges::find(down_, std::pair{key, side}) == down_.end()) down_.emplace_back(key, side);
  if (const Handler onKey = onKey_) onKey({key, side, true, repeat});
}

void Keyboard::release(int key, platform::KeySide side) {
  releaseUnheard(key, side);
  if (const Handler onKey = onKey_) onKey({key, side, false, false});  // the handler may stop the watch
}

bool Keyboard::isDown(int key, platform::KeySide side) {
  return std::ranges::any_of(down_, [&](const auto& d) {
    return d.first == key &&
           (side == platform::KeySide::Any || d.second == side || d.second == platform::KeySide::Any);
  });
}

bool Keyboard::start(Handler onKey) {
  if (!refuseWatching) onKey_ = std::move(onKey);
  return !refuseWatching;
}

}  // namespace fake
