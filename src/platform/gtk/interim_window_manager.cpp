#include "platform/gtk/interim_window_manager.h"

#include <algorithm>
#include <utility>

namespace gtk {

namespace {
// Windows never runs a window timer more often than this, whatever period is asked for.
constexpr std::uint32_t kMinimumPeriodMs = 10;
}  // namespace

InterimWindowManager::~InterimWindowManager() {
  for (auto& [key, timer] : timers_) g_source_remove(timer.source);
}

void InterimWindowManager::setOwnWindow(GtkWindow* window, platform::Hwnd hwnd) {
  window_ = window;
  hwnd_ = hwnd;
}

gboolean InterimWindowManager::tick(gpointer timer) noexcept {
  try {
    // A copy: the callback may kill its own timer.
    const TimerProc proc = static_cast<Timer*>(timer)->proc;
    proc();
  } catch (...) {
    // Nothing may unwind through the GLib main loop.
  }
  return G_SOURCE_CONTINUE;
}

bool InterimWindowManager::SetTimer(platform::Hwnd hwnd, std::uintptr_t id, std::uint32_t elapseMs,
                                    TimerProc proc) {
  KillTimer(hwnd, id);
  Timer& timer = timers_[{hwnd, id}];
  timer.proc = std::move(proc);
  timer.source = g_timeout_add(std::max(elapseMs, kMinimumPeriodMs), &InterimWindowManager::tick, &timer);
  return true;
}

bool InterimWindowManager::KillTimer(platform::Hwnd hwnd, std::uintptr_t id) {
  auto it = timers_.find({hwnd, id});
  if (it == timers_.end()) return false;
  g_source_remove(it->second.source);
  timers_.erase(it);
  return true;
}

std::int32_t InterimWindowManager::GetWindowLongA(platform::Hwnd hwnd, int index) {
  return hwnd == hwnd_ && hwnd != 0 && index == platform::kGwlExStyle ? exStyle_ : 0;
}

std::int32_t InterimWindowManager::SetWindowLongA(platform::Hwnd hwnd, int index, std::int32_t value) {
  if (hwnd != hwnd_ || hwnd == 0 || index != platform::kGwlExStyle) return 0;
  return std::exchange(exStyle_, value);
}

// The compositor shows the window's opacity; without one it is only stored on the window.
bool InterimWindowManager::SetLayeredWindowAttributes(platform::Hwnd hwnd, std::uint32_t, std::uint8_t alpha,
                                                      std::uint32_t flags) {
  if (hwnd != hwnd_ || hwnd == 0 || !window_ || !(flags & platform::kLwaAlpha)) return false;
  gtk_widget_set_opacity(GTK_WIDGET(window_), alpha / 255.0);
  return true;
}

bool InterimWindowManager::SetWindowPos(platform::Hwnd hwnd, platform::Hwnd insertAfter, int, int, int, int,
                                        std::uint32_t) {
  if (hwnd != hwnd_ || hwnd == 0 || !window_) return false;
  if (insertAfter == platform::kHwndTopmost || insertAfter == platform::kHwndNoTopmost) {
    const bool above = insertAfter == platform::kHwndTopmost;
    gtk_window_set_keep_above(window_, above);
    exStyle_ = above ? exStyle_ | platform::kWsExTopmost : exStyle_ & ~platform::kWsExTopmost;
  }
  return true;
}

}  // namespace gtk
