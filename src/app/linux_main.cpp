// vaskf5: builds the Linux platform (the X11 engine for browsers and keys, GTK for its own window), creates
// the main window and runs it.
#include <glib-unix.h>
#include <gtk/gtk.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "platform/gtk/form_host.h"
#include "platform/gtk/monitors.h"
#include "platform/gtk/own_window.h"
#include "platform/gtk/process_services.h"
#include "platform/gtk/settings_file.h"
#include "platform/x11/desktop.h"
#include "platform/x11/event_source.h"
#include "platform/x11/keyboard_watch.h"
#include "platform/x11/session.h"
#include "settings/stored.h"
#include "ui/layout.h"
#include "ui/main_window.h"

namespace {

// Browser windows go to the X11 engine; the program's own window to GTK.
class LinuxDesktop final : public platform::Desktop {
 public:
  x11::Desktop browsers;
  gtk::OwnWindow own;
  platform::WindowId ownWindow;

  std::vector<platform::BrowserFrame> findFrames(std::span<const platform::Browser> wanted) override {
    return browsers.findFrames(wanted);
  }
  void refresh(const platform::BrowserFrame& frame) override { browsers.refresh(frame); }
  void setOpacity(platform::WindowId window, std::uint8_t alpha) override {
    if (window == ownWindow) {
      own.setOpacity(alpha);
    } else {
      browsers.setOpacity(window, alpha);
    }
  }
  void setAbove(platform::WindowId window, bool above) override {
    if (window == ownWindow) {
      own.setAbove(above);
    } else {
      browsers.setAbove(window, above);
    }
  }
};

gboolean quitOnSignal(gpointer process) noexcept {
  static_cast<gtk::ProcessServices*>(process)->quit();
  return G_SOURCE_CONTINUE;
}

}  // namespace

int main(int argc, char** argv) {
  gtk::SettingsFile settings(gtk::userConfigFolder());
  const char* displayName = std::getenv("DISPLAY");
  gtk::ProcessServices process(
      gtk::instanceLockFile(settings.fileOf(settings::kApp).parent_path(), displayName ? displayName : ""),
      gtk::userConfigFolder() / "autostart" / "vaskf5.desktop");
  // A second copy leaves before it has opened a window or even the display; the first is left alone.
  if (process.anotherCopyRuns()) return 0;

  // Everything the program does goes through X11, also inside a Wayland session (through XWayland).
  const x11::DisplayCheck display = x11::checkDisplay();
  if (!display.message.empty()) std::fprintf(stderr, "vaskf5: %s\n", display.message.c_str());
  if (!display.usable) return 1;
  gdk_set_allowed_backends("x11");
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "vaskf5: cannot open the X display (is DISPLAY set?)\n");
    return 1;
  }
  // A signal to end (a logout, kill, Ctrl+C in a terminal) ends the program as Exit does: the loop stops and
  // everything it holds is put back on the way out, also a browser's state borrowed for a refresh.
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) g_unix_signal_add(signal, quitOnSignal, &process);

  LinuxDesktop desktop;
  x11::KeyboardWatch keyboard;
  x11::MainLoopTimers timers;
  platform::Platform platform{desktop, keyboard, timers, settings, process};
  ui::Main main(platform);
  main.placeWindow(gtk::monitors());

  gtk::FormHost host(main.form(), ui::kHostOptions);
  if (!host.create()) return 1;
  desktop.ownWindow = main.form().window;
  desktop.own.bind(host.window());
  process.owner = host.window();
  host.onUnload = [&main] { main.windowClosed(); };
  main.start();
  if (process.ended()) return 0;
  host.show();
  // Said once, where the user sees it: in a Wayland session only X11 programs' keys and windows are served.
  if (!display.message.empty()) process.showMessage(display.message);
  if (!process.ended()) host.run();
  return 0;
}
