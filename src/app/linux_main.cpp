// vaskf5: builds the Linux platform and the GTK host, creates the main window and runs it.
#include <gtk/gtk.h>

#include <cstdio>

#include "platform/gtk/form_host.h"
#include "platform/gtk/glib_timers.h"
#include "platform/gtk/interim_desktop.h"
#include "platform/gtk/process_services.h"
#include "platform/gtk/settings_file.h"
#include "settings/selection.h"
#include "ui/layout.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
  gtk::SettingsFile settings(gtk::userConfigFolder());
  gtk::ProcessServices process(gtk::instanceLockFile(settings.fileOf(settings::kApp).parent_path()));
  // A second copy leaves before it has opened a window or even the display; the first is left alone.
  if (process.PrevInstance()) return 0;

  // Keeping above other windows, moving and opacity need X11, so the program is an X11 client also inside a
  // Wayland session (through XWayland).
  gdk_set_allowed_backends("x11");
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "vaskf5: cannot open the X display (is DISPLAY set?)\n");
    return 1;
  }

  gtk::InterimDesktop desktop;
  gtk::InterimKeyboardWatch keyboard;
  gtk::GlibTimers timers;
  platform::Platform platform{desktop, keyboard, timers, settings, process};
  ui::Main main(platform);

  gtk::FormHost host(main.form(), ui::kHostOptions);
  if (!host.create()) return 1;
  desktop.setOwnWindow(host.window(), main.form().hWnd);
  process.owner = host.window();
  host.onUnload = [&main] { main.Form_Unload(); };
  main.Form_Load();
  if (process.ended()) return 0;
  host.show();
  host.run();
  return 0;
}
