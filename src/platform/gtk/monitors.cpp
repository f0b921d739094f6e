#include "platform/gtk/monitors.h"

#include <gtk/gtk.h>

namespace gtk {

std::vector<platform::Monitor> monitors() {
  std::vector<platform::Monitor> list;
  GdkDisplay* display = gdk_display_get_default();
  if (!display) return list;
  GdkMonitor* primary = gdk_display_get_primary_monitor(display);
  const int count = gdk_display_get_n_monitors(display);
  for (int i = 0; i < count; ++i) {
    GdkMonitor* monitor = gdk_display_get_monitor(display, i);
    if (!monitor) continue;
    GdkRectangle work{};
    gdk_monitor_get_workarea(monitor, &work);
    // Without a primary monitor named by the X server, the first one stands for it.
    const bool isPrimary = primary ? monitor == primary : i == 0;
    list.push_back({{work.x, work.y, work.width, work.height}, platform::Dpi{}, isPrimary});
  }
  return list;
}

}  // namespace gtk
