#include "platform/gtk/interim_desktop.h"

namespace gtk {

void InterimDesktop::setOwnWindow(GtkWindow* window, platform::Hwnd hwnd) {
  window_ = window;
  hwnd_ = hwnd;
}

void InterimDesktop::setOpacity(platform::Hwnd window, std::uint8_t alpha) {
  if (window == 0 || window != hwnd_ || !window_) return;
  gtk_widget_set_opacity(GTK_WIDGET(window_), alpha / 255.0);
}

void InterimDesktop::setAbove(platform::Hwnd window, bool above) {
  if (window == 0 || window != hwnd_ || !window_) return;
  gtk_window_set_keep_above(window_, above);
}

}  // namespace gtk
