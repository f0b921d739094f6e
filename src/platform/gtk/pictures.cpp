#include "platform/gtk/pictures.h"

#include <string>

namespace gtk {

namespace {

const char* resourceName(form::Picture picture) {
  switch (picture) {
    case form::Picture::Skin:
      return "skin";
    case form::Picture::TickOverlay:
      return "tick";
    case form::Picture::AutoTick:
      return "autotick";
    case form::Picture::Settings:
      return "setting";
    case form::Picture::None:
      break;
  }
  return nullptr;
}

int pictureScale(int displayScale) { return displayScale >= 2 ? 2 : 1; }

}  // namespace

GObjectPtr<GdkPixbuf> resourcePixbuf(const char* name) {
  const std::string path = std::string("/org/vaskf5/") + name;
  return GObjectPtr<GdkPixbuf>(gdk_pixbuf_new_from_resource(path.c_str(), nullptr));
}

cairo_surface_t* Pictures::surface(form::Picture picture, int scale) {
  const char* name = resourceName(picture);
  if (!name) return nullptr;
  const int factor = pictureScale(scale);
  const auto index = static_cast<std::size_t>(picture);
  const std::size_t size = factor == 2 ? 1 : 0;
  if (!tried_[index][size]) {
    tried_[index][size] = true;
    const std::string file = std::string(name) + (factor == 2 ? "@2x.png" : ".png");
    if (const GObjectPtr<GdkPixbuf> pixbuf = resourcePixbuf(file.c_str())) {
      surfaces_[index][size].reset(gdk_cairo_surface_create_from_pixbuf(pixbuf.get(), factor, nullptr));
    }
  }
  return surfaces_[index][size].get();
}

GdkRectangle Pictures::naturalSize(form::Picture picture, int scale) {
  cairo_surface_t* found = surface(picture, scale);
  if (!found) return {0, 0, 0, 0};
  const int factor = pictureScale(scale);
  return {0, 0, cairo_image_surface_get_width(found) / factor,
          cairo_image_surface_get_height(found) / factor};
}

void Pictures::draw(cairo_t* cr, form::Picture picture, double x, double y, int scale) {
  cairo_surface_t* found = surface(picture, scale);
  if (!found) return;
  cairo_set_source_surface(cr, found, x, y);
  cairo_paint(cr);
}

bool Pictures::drawInto(cairo_t* cr, form::Picture picture, const GdkRectangle& rect, int scale) {
  cairo_surface_t* found = surface(picture, scale);
  if (!found) return false;
  const GdkRectangle natural = naturalSize(picture, scale);
  if (natural.width <= 0 || natural.height <= 0) return false;
  cairo_save(cr);
  cairo_translate(cr, rect.x, rect.y);
  cairo_scale(cr, static_cast<double>(rect.width) / natural.width,
              static_cast<double>(rect.height) / natural.height);
  cairo_set_source_surface(cr, found, 0, 0);
  cairo_paint(cr);
  cairo_restore(cr);
  return true;
}

}  // namespace gtk
