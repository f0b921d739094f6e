// The program's own window's opacity and always-on-top state, through GTK: GTK also keeps a window above
// before it is first shown (the program pins itself while it loads, before the window manager knows it).
#pragma once

#include <gtk/gtk.h>

#include <cstdint>

namespace gtk {

class OwnWindow {
 public:
  void bind(GtkWindow* window) { window_ = window; }
  // The compositor shows the window's opacity; without one it is only stored on the window.
  void setOpacity(std::uint8_t alpha);
  void setAbove(bool above);

 private:
  GtkWindow* window_ = nullptr;
};

}  // namespace gtk
