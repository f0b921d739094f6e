// The program's pictures, embedded as resources at 1x and 2x ("<name>.png", "<name>@2x.png") and decoded the
// first time they are drawn. Where the display scale is 2 or more the 2x picture is drawn at half size, so
// every pixel of it lands on a device pixel and the skin stays as crisp as on a 1x display.
#pragma once

#include <gdk/gdk.h>

#include <array>
#include <map>
#include <string>
#include <string_view>

#include "platform/gtk/gobject_ptr.h"

namespace gtk {

class Pictures {
 public:
  // The picture's natural size in logical pixels (the 1x picture's size); 0 by 0 when it cannot be had.
  GdkRectangle naturalSize(std::string_view name, int scale);
  // Draws the picture at its natural size, top-left at (x, y) in logical pixels.
  void draw(cairo_t* cr, std::string_view name, double x, double y, int scale);
  // Draws the picture stretched over a rectangle. False when the picture cannot be had.
  bool drawInto(cairo_t* cr, std::string_view name, const GdkRectangle& rect, int scale);

 private:
  struct Decoded {
    SurfacePtr surface;  // null when the picture is missing or does not decode
    bool tried = false;
  };
  cairo_surface_t* surface(std::string_view name, int scale);

  // Indexed by name, then 0 for 1x and 1 for 2x.
  std::map<std::string, std::array<Decoded, 2>, std::less<>> decoded_;
};

// A resource of the program (a picture, the pointer or the icon) decoded into a pixbuf; null when missing.
GObjectPtr<GdkPixbuf> resourcePixbuf(std::string_view name);

}  // namespace gtk
