// TEMPORARY, until the program's logic speaks the window-system neutral platform::Desktop and
// platform::KeyboardWatch: the user32-shaped window manager that Main still needs, on a Linux desktop.
// It finds no browser (every lookup answers 0), applies opacity and always-on-top to the program's own window
// only, runs timers on the GLib main loop, and reports every key as up. It goes when the X11 engine lands.
#pragma once

#include <gtk/gtk.h>

#include <map>
#include <tuple>

#include "platform/platform.h"

namespace gtk {

class InterimWindowManager final : public platform::WindowManager {
 public:
  InterimWindowManager() = default;
  InterimWindowManager(const InterimWindowManager&) = delete;
  InterimWindowManager& operator=(const InterimWindowManager&) = delete;
  ~InterimWindowManager() override;

  // The program's own window and its handle; calls on other handles do nothing.
  void setOwnWindow(GtkWindow* window, platform::Hwnd hwnd);

  platform::Hwnd FindWindowA(const char*) override { return 0; }
  platform::Hwnd GetDesktopWindow() override { return 0; }
  platform::Hwnd FindWindowExA(platform::Hwnd, platform::Hwnd, const char*) override { return 0; }
  bool PostMessageA(platform::Hwnd, std::uint32_t, std::uintptr_t, std::intptr_t) override { return false; }
  std::int16_t GetAsyncKeyState(int) override { return 0; }
  bool SetTimer(platform::Hwnd hwnd, std::uintptr_t id, std::uint32_t elapseMs, TimerProc proc) override;
  bool KillTimer(platform::Hwnd hwnd, std::uintptr_t id) override;
  std::int32_t GetWindowLongA(platform::Hwnd hwnd, int index) override;
  std::int32_t SetWindowLongA(platform::Hwnd hwnd, int index, std::int32_t value) override;
  bool SetLayeredWindowAttributes(platform::Hwnd hwnd, std::uint32_t colorKey, std::uint8_t alpha,
                                  std::uint32_t flags) override;
  bool SetWindowPos(platform::Hwnd hwnd, platform::Hwnd insertAfter, int x, int y, int cx, int cy,
                    std::uint32_t flags) override;
  std::uint32_t GetWindowThreadProcessId(platform::Hwnd) override { return 0; }
  bool IsWindowVisible(platform::Hwnd) override { return false; }
  platform::Hwnd GetWindow(platform::Hwnd, std::uint32_t) override { return 0; }
  std::optional<std::string> QueryFullProcessImageNameW(std::uint32_t) override { return std::nullopt; }

 private:
  struct Timer {
    guint source = 0;
    TimerProc proc;
  };
  static gboolean tick(gpointer timer) noexcept;

  GtkWindow* window_ = nullptr;
  platform::Hwnd hwnd_ = 0;
  std::int32_t exStyle_ = 0;
  std::map<std::tuple<platform::Hwnd, std::uintptr_t>, Timer> timers_;
};

}  // namespace gtk
