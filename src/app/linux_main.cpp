// vaskf5: builds the Linux platform (the X11 engine for browsers and keys, GTK for its own window), creates
// the main window and runs it.
#include <gtk/gtk.h>

#include <cstdio>

#include "platform/gtk/form_host.h"
#include "platform/gtk/glib_timers.h"
#include "platform/gtk/monitors.h"
#include "platform/gtk/own_window.h"
#include "platform/gtk/process_services.h"
#include "platform/gtk/settings_file.h"
#include "platform/x11/desktop.h"
#include "platform/x11/keyboard_watch.h"
#include "platform/x11/session.h"
#include "settings/selection.h"
#include "ui/layout.h"
#include "ui/main_window.h"

namespace {

// Browser windows go to the X11 engine; the program's own window to GTK.
class LinuxDesktop final : public platform::Desktop {
 public:
  x11::Desktop browsers;
  gtk::OwnWindow own;
  platform::Hwnd ownWindow = 0;

  platform::Hwnd findBrowserWindow(platform::BrowserKind kind) override {
    return browsers.findBrowserWindow(kind);
  }
  void deliverRefresh(platform::Hwnd window) override { browsers.deliverRefresh(window); }
  void setOpacity(platform::Hwnd window, std::uint8_t alpha) override {
    if (window == ownWindow) {
      own.setOpacity(alpha);
    } else {
      browsers.setOpacity(window, alpha);
    }
  }
  void setAbove(platform::Hwnd window, bool above) override {
    if (window == ownWindow) {
      own.setAbove(above);
    } else {
      browsers.setAbove(window, above);
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  gtk::SettingsFile settings(gtk::userConfigFolder());
  gtk::ProcessServices process(gtk::instanceLockFile(settings.fileOf(settings::kApp).parent_path()));
  // A second copy leaves before it has opened a window or even the display; the first is left alone.
  if (process.PrevInstance()) return 0;

  // Everything the program does goes through X11, also inside a Wayland session (through XWayland).
  x11::DisplayCheck display = x11::checkDisplay();
  if (!display.message.empty()) std::fprintf(stderr, "vaskf5: %s\n", display.message.c_str());
  if (!display.usable) return 1;
  gdk_set_allowed_backends("x11");
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "vaskf5: cannot open the X display (is DISPLAY set?)\n");
    return 1;
  }

  LinuxDesktop desktop;
  x11::KeyboardWatch keyboard;
  gtk::GlibTimers timers;
  platform::Platform platform{desktop, keyboard, timers, settings, process};
  ui::Main main(platform);
  main.placeWindow(gtk::monitors());

  gtk::FormHost host(main.form(), ui::kHostOptions);
  if (!host.create()) return 1;
  desktop.ownWindow = main.form().hWnd;
  desktop.own.bind(host.window());
  process.owner = host.window();
  host.onUnload = [&main] { main.Form_Unload(); };
  main.Form_Load();
  if (process.ended()) return 0;
  host.show();
  // Said once, where the user sees it: in a Wayland session only X11 programs' keys and windows are served.
  if (!display.message.empty()) process.MsgBox(display.message);
  host.run();
  return 0;
}
