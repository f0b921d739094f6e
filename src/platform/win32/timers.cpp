#include "platform/win32/timers.h"

#include <algorithm>
#include <utility>

namespace win32 {

class WindowTimers::Pending final : public platform::Timer {
 public:
  Pending(WindowTimers& timers, UINT_PTR id) : timers_(timers), id_(id) {}
  ~Pending() override { timers_.cancel(id_); }

 private:
  WindowTimers& timers_;
  UINT_PTR id_;
};

HWND WindowTimers::window() {
  if (!window_) {
    window_ = std::make_unique<MessageWindow>([this](UINT msg, WPARAM wParam, LPARAM) {
      if (msg != WM_TIMER) return false;
      ring(static_cast<UINT_PTR>(wParam));
      return true;
    });
  }
  return window_->hwnd();
}

std::unique_ptr<platform::Timer> WindowTimers::once(std::chrono::milliseconds delay,
                                                    std::function<void()> callback) {
  const UINT_PTR id = nextId_++;
  const auto ms = static_cast<UINT>(std::clamp<std::chrono::milliseconds::rep>(delay.count(), 0, 0x7FFFFFFF));
  // A timer that cannot be set never rings; its object still cancels nothing harmlessly.
  if (window() && SetTimer(window(), id, ms, nullptr) != 0) callbacks_[id] = std::move(callback);
  return std::make_unique<Pending>(*this, id);
}

void WindowTimers::cancel(UINT_PTR id) {
  if (callbacks_.erase(id) != 0) KillTimer(window(), id);
}

void WindowTimers::ring(UINT_PTR id) {
  const auto it = callbacks_.find(id);
  if (it == callbacks_.end()) return;
  // Taken out first: the callback may destroy its own Timer, which then finds nothing left to cancel.
  const std::function<void()> callback = std::move(it->second);
  callbacks_.erase(it);
  KillTimer(window(), id);
  callback();
}

}  // namespace win32
