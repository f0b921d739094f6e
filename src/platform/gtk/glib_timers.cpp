#include "platform/gtk/glib_timers.h"

#include <algorithm>
#include <utility>

namespace gtk {

namespace {
constexpr std::uint32_t kMinimumPeriodMs = 10;
}  // namespace

GlibTimers::~GlibTimers() {
  for (auto& [key, timer] : timers_) g_source_remove(timer.source);
}

gboolean GlibTimers::tick(gpointer timer) noexcept {
  try {
    // A copy: the callback may kill its own timer.
    const TimerProc proc = static_cast<Timer*>(timer)->proc;
    proc();
  } catch (...) {
    // Nothing may unwind through the GLib main loop.
  }
  return G_SOURCE_CONTINUE;
}

bool GlibTimers::SetTimer(platform::Hwnd hwnd, std::uintptr_t id, std::uint32_t elapseMs, TimerProc proc) {
  KillTimer(hwnd, id);
  Timer& timer = timers_[{hwnd, id}];
  timer.proc = std::move(proc);
  timer.source = g_timeout_add(std::max(elapseMs, kMinimumPeriodMs), &GlibTimers::tick, &timer);
  return true;
}

bool GlibTimers::KillTimer(platform::Hwnd hwnd, std::uintptr_t id) {
  auto it = timers_.find({hwnd, id});
  if (it == timers_.end()) return false;
  g_source_remove(it->second.source);
  timers_.erase(it);
  return true;
}

}  // namespace gtk
