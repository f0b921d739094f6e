// TEMPORARY, until the X11 engine lands: a desktop that finds no browser and a keyboard watch that sees no
// key, so that the Linux program runs with everything but refreshing. Opacity and always-on-top reach the
// program's own window only (the sliders act on it while no browser is found, as on Windows).
#pragma once

#include <gtk/gtk.h>

#include "platform/platform.h"

namespace gtk {

class InterimDesktop final : public platform::Desktop {
 public:
  // The program's own window and its handle; calls on other handles do nothing.
  void setOwnWindow(GtkWindow* window, platform::Hwnd hwnd);

  platform::Hwnd findBrowserWindow(platform::BrowserKind) override { return 0; }
  void deliverRefresh(platform::Hwnd) override {}
  // The compositor shows the window's opacity; without one it is only stored on the window.
  void setOpacity(platform::Hwnd window, std::uint8_t alpha) override;
  void setAbove(platform::Hwnd window, bool above) override;

 private:
  GtkWindow* window_ = nullptr;
  platform::Hwnd hwnd_ = 0;
};

// Watches without ever reporting a key, so the save-key watcher waits for events instead of polling.
class InterimKeyboardWatch final : public platform::KeyboardWatch {
 public:
  bool startWatching(KeyHandler) override { return true; }
  void stopWatching() override {}
  bool isKeyDown(int) override { return false; }
  std::int16_t GetAsyncKeyState(int) override { return 0; }
};

}  // namespace gtk
