#include "platform/gtk/own_window.h"

namespace gtk {

void OwnWindow::setOpacity(std::uint8_t alpha) {
  if (window_) gtk_widget_set_opacity(GTK_WIDGET(window_), alpha / 255.0);
}

void OwnWindow::setAbove(bool above) {
  if (window_) gtk_window_set_keep_above(window_, above);
}

}  // namespace gtk
