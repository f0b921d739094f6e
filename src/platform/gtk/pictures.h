// The program's pictures, embedded as resources at 1x and 2x and decoded the first time they are drawn. Where
// the display scale is 2 or more the 2x picture is drawn at half size, so every pixel of it lands on a device
// pixel and the skin stays as crisp as on a 1x display.
#pragma once

#include <gdk/gdk.h>

#include <array>

#include "platform/form/form.h"
#include "platform/gtk/gobject_ptr.h"

namespace gtk {

class Pictures {
 public:
  // The picture's natural size in logical pixels (the 1x picture's size).
  GdkRectangle naturalSize(form::Picture picture, int scale);
  // Draws the picture at its natural size, top-left at (x, y) in logical pixels.
  void draw(cairo_t* cr, form::Picture picture, double x, double y, int scale);
  // Draws the picture stretched over a rectangle. False when the picture cannot be had.
  bool drawInto(cairo_t* cr, form::Picture picture, const GdkRectangle& rect, int scale);

 private:
  cairo_surface_t* surface(form::Picture picture, int scale);

  // Indexed by picture, then 0 for 1x and 1 for 2x; a picture that fails to decode stays null.
  std::array<std::array<SurfacePtr, 2>, 5> surfaces_;
  std::array<std::array<bool, 2>, 5> tried_{};
};

// A resource of the program (a picture, the cursor or the icon) decoded into a pixbuf; null when missing.
GObjectPtr<GdkPixbuf> resourcePixbuf(const char* name);

}  // namespace gtk
