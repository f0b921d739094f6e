#include "platform/gtk/painter.h"

#include <cmath>

namespace gtk {

namespace {


// Fallbacks for the layout's face: any installed CJK face rather than boxes.
constexpr const char* kFallbackFaces = ", WenQuanYi Micro Hei, Noto Sans CJK SC, sans-serif";

void setColor(cairo_t* cr, const form::Color& color) {
  const Rgb rgb = colorOf(color);
  cairo_set_source_rgb(cr, rgb.r, rgb.g, rgb.b);
}

}  // namespace

Rgb colorOf(const form::Color& color) {
  switch (color.role) {
    case form::Color::Role::Rgb:
      return {color.r / 255.0, color.g / 255.0, color.b / 255.0};
    case form::Color::Role::Window:
      return {1, 1, 1};
    case form::Color::Role::WindowText:
    case form::Color::Role::ButtonText:
      return {0, 0, 0};
    case form::Color::Role::ButtonFace:
      return {240 / 255.0, 240 / 255.0, 240 / 255.0};
  }
  return {0, 0, 0};
}

std::string fontFamilies(const form::Font& font) {
  return font.face.empty() ? std::string("sans-serif") : std::string(font.face) + kFallbackFaces;
}

int px(std::int64_t twips) { return platform::windowCoordinate(platform::toPixels(twips, platform::Dpi{})); }

GdkRectangle Painter::textSize(GtkWidget* widget, const form::Control& label) {
  const GObjectPtr<PangoLayout> text = layout(widget, label.layout().font, label.caption());
  GdkRectangle size{};
  pango_layout_get_pixel_size(text.get(), &size.width, &size.height);
  return size;
}

GObjectPtr<PangoLayout> Painter::layout(GtkWidget* widget, const form::Font& font, const std::string& text) {
  GObjectPtr<PangoLayout> made(gtk_widget_create_pango_layout(widget, text.c_str()));
  PangoContext* context = pango_layout_get_context(made.get());
  // Captions are drawn at the layout's 96 dots per inch in logical pixels, whatever the font resolution of
  // the desktop, so they keep the size the layout was made for; the display's scale factor enlarges all
  // alike.
  pango_cairo_context_set_resolution(context, platform::Dpi{}.dots());
  // The program's script decides the glyph shapes where a fallback face covers more than one language.
  const std::string language(options_.fontLanguage);
  if (!language.empty()) pango_context_set_language(context, pango_language_from_string(language.c_str()));
  PangoFontDescription* description = pango_font_description_new();
  pango_font_description_set_family(description, fontFamilies(font).c_str());
  pango_font_description_set_size(
      description, static_cast<int>(std::lround((font.points > 0 ? font.points : 9) * PANGO_SCALE)));
  pango_layout_set_font_description(made.get(), description);
  pango_font_description_free(description);
  pango_layout_context_changed(made.get());
  return made;
}

void Painter::drawText(GtkWidget* widget, cairo_t* cr, const form::Control& label, const GdkRectangle& rect) {
  const GObjectPtr<PangoLayout> text = layout(widget, label.layout().font, label.caption());
  int width = 0, height = 0;
  pango_layout_get_pixel_size(text.get(), &width, &height);
  const double x =
      label.layout().alignment == form::Align::Center ? rect.x + (rect.width - width) / 2.0 : rect.x;
  setColor(cr, label.layout().foreColor);
  cairo_move_to(cr, x, rect.y);
  pango_cairo_show_layout(cr, text.get());
}

// ---- Painting ----

void Painter::paintWindowless(const form::Control& container, GtkWidget* widget, cairo_t* cr, int scale) {
  const auto& children = container.children();
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    const form::Control& c = **it;
    if (c.windowed() || !c.visible()) continue;
    const GdkRectangle rect{px(c.left()), px(c.top()), px(c.left() + c.width()) - px(c.left()),
                            px(c.top() + c.height()) - px(c.top())};
    if (c.kind() == form::Kind::Image) {
      pictures_.draw(cr, c.layout().picture, rect.x, rect.y, scale);
      continue;
    }
    if (c.opaque()) {
      setColor(cr, c.layout().backColor);
      gdk_cairo_rectangle(cr, &rect);
      cairo_fill(cr);
    }
    if (!c.caption().empty()) drawText(widget, cr, c, rect);
  }
}

void Painter::paintFrame(const form::Control& frame, GtkWidget* widget, cairo_t* cr, int width, int height) {
  setColor(cr, frame.layout().backColor);
  cairo_paint(cr);
  const GObjectPtr<PangoLayout> caption = layout(widget, frame.layout().font, frame.caption());
  int textWidth = 0, textHeight = 0;
  pango_layout_get_pixel_size(caption.get(), &textWidth, &textHeight);
  // A flat, single-line border with the caption set into its top edge.
  const double top = textHeight / 2;
  cairo_set_source_rgb(cr, 160 / 255.0, 160 / 255.0, 160 / 255.0);
  cairo_set_line_width(cr, 1);
  cairo_rectangle(cr, 0.5, top + 0.5, width - 1, height - top - 1);
  cairo_stroke(cr);
  const int inset = px(120);
  setColor(cr, frame.layout().backColor);
  cairo_rectangle(cr, inset, 0, textWidth + px(60), textHeight);
  cairo_fill(cr);
  setColor(cr, frame.layout().foreColor);
  cairo_move_to(cr, inset + px(30), 0);
  pango_cairo_show_layout(cr, caption.get());
}

void Painter::paintSurface(const form::Control& surface, GtkWidget* widget, cairo_t* cr) {
  const int width = gtk_widget_get_allocated_width(widget);
  const int height = gtk_widget_get_allocated_height(widget);
  const int scale = gtk_widget_get_scale_factor(widget);
  if (surface.kind() == form::Kind::Frame) {
    paintFrame(surface, widget, cr, width, height);
  } else {
    setColor(cr, options_.pictureBoxBackground);
    cairo_paint(cr);
    if (!pictures_.drawInto(cr, surface.layout().picture, {0, 0, width, height}, scale)) {
      setColor(cr, options_.missingPictureBorder);
      cairo_rectangle(cr, 0.5, 0.5, width - 1, height - 1);
      cairo_stroke(cr);
    }
  }
  paintWindowless(surface, widget, cr, scale);
}

}  // namespace gtk
