// Timers on the GLib main loop, which runs the GTK window: each calls back on the user-interface thread.
#pragma once

#include <glib.h>

#include <map>
#include <tuple>

#include "platform/platform.h"

namespace gtk {

class GlibTimers final : public platform::Timers {
 public:
  GlibTimers() = default;
  GlibTimers(const GlibTimers&) = delete;
  GlibTimers& operator=(const GlibTimers&) = delete;
  ~GlibTimers() override;

  // As on Windows, a period under 10 ms is raised to 10 ms: a 1 ms request must not wake the program a
  // thousand times a second.
  bool SetTimer(platform::Hwnd hwnd, std::uintptr_t id, std::uint32_t elapseMs, TimerProc proc) override;
  bool KillTimer(platform::Hwnd hwnd, std::uintptr_t id) override;

 private:
  struct Timer {
    guint source = 0;
    TimerProc proc;
  };
  static gboolean tick(gpointer timer) noexcept;

  std::map<std::tuple<platform::Hwnd, std::uintptr_t>, Timer> timers_;
};

}  // namespace gtk
