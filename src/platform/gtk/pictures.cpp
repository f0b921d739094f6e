#include "platform/gtk/pictures.h"

namespace gtk {

namespace {
int pictureScale(int displayScale) { return displayScale >= 2 ? 2 : 1; }
}  // namespace

GObjectPtr<GdkPixbuf> resourcePixbuf(std::string_view name) {
  const std::string path = "/org/vaskf5/" + std::string(name);
  return GObjectPtr<GdkPixbuf>(gdk_pixbuf_new_from_resource(path.c_str(), nullptr));
}

cairo_surface_t* Pictures::surface(std::string_view name, int scale) {
  if (name.empty()) return nullptr;
  const int factor = pictureScale(scale);
  auto found = decoded_.find(name);
  if (found == decoded_.end()) found = decoded_.emplace(std::string(name), std::array<Decoded, 2>{}).first;
  Decoded& picture = found->second[factor == 2 ? 1 : 0];
  if (!picture.tried) {
    picture.tried = true;
    const std::string file = std::string(name) + (factor == 2 ? "@2x.png" : ".png");
    if (const GObjectPtr<GdkPixbuf> pixbuf = resourcePixbuf(file)) {
      picture.surface.reset(gdk_cairo_surface_create_from_pixbuf(pixbuf.get(), factor, nullptr));
    }
  }
  return picture.surface.get();
}

GdkRectangle Pictures::naturalSize(std::string_view name, int scale) {
  cairo_surface_t* found = surface(name, scale);
  if (!found) return {0, 0, 0, 0};
  const int factor = pictureScale(scale);
  return {0, 0, cairo_image_surface_get_width(found) / factor,
          cairo_image_surface_get_height(found) / factor};
}

void Pictures::draw(cairo_t* cr, std::string_view name, double x, double y, int scale) {
  cairo_surface_t* found = surface(name, scale);
  if (!found) return;
  cairo_set_source_surface(cr, found, x, y);
  cairo_paint(cr);
}

bool Pictures::drawInto(cairo_t* cr, std::string_view name, const GdkRectangle& rect, int scale) {
  const GdkRectangle natural = naturalSize(name, scale);
  if (natural.width <= 0 || natural.height <= 0) return false;
  cairo_save(cr);
  cairo_translate(cr, rect.x, rect.y);
  cairo_scale(cr, static_cast<double>(rect.width) / natural.width,
              static_cast<double>(rect.height) / natural.height);
  cairo_set_source_surface(cr, surface(name, scale), 0, 0);
  cairo_paint(cr);
  cairo_restore(cr);
  return true;
}

}  // namespace gtk
