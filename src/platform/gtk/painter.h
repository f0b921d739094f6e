// Painting of the form model with cairo and Pango: a surface (the background picture box or the settings
// panel) and every windowless label and image on it, from the program's pictures and captions.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <string>

#include "platform/form/form.h"
#include "platform/form/host_options.h"
#include "platform/gtk/gobject_ptr.h"
#include "platform/gtk/pictures.h"
#include "platform/units.h"

namespace gtk {

// GDK scales the whole desktop by its own factor, so the form is laid out at 96 dpi in GDK's logical pixels.
//
// The nearest logical pixel of a position or size in twips, kept to coordinates every window manager takes.
int px(std::int64_t twips);

// A colour of the layout as red, green and blue from 0 to 1; system colours as on a default Windows desktop.
struct Rgb {
  double r, g, b;
};
Rgb colorOf(const form::Color& color);

// The font families to ask for a face of the layout: the face itself, then installed CJK faces rather than
// boxes where it is missing.
std::string fontFamilies(const form::Font& font);

class Painter {
 public:
  explicit Painter(const form::HostOptions& options) : options_(options) {}

  // Draws a surface and every windowless control on it, bottom of the stacking order first.
  void paintSurface(const form::Control& surface, GtkWidget* widget, cairo_t* cr);
  // A caption's size in logical pixels in a control's font.
  GdkRectangle textSize(GtkWidget* widget, const form::Control& label);

 private:
  void paintFrame(const form::Control& frame, GtkWidget* widget, cairo_t* cr, int width, int height);
  void paintWindowless(const form::Control& container, GtkWidget* widget, cairo_t* cr, int scale);
  void drawText(GtkWidget* widget, cairo_t* cr, const form::Control& label, const GdkRectangle& rect);
  GObjectPtr<PangoLayout> layout(GtkWidget* widget, const form::Font& font, const std::string& text);

  const form::HostOptions& options_;
  Pictures pictures_;
};

}  // namespace gtk
