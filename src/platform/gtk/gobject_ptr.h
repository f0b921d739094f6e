// Owning pointers for the GLib, GObject and cairo objects the GTK layer keeps: move-only, released once.
#pragma once

#include <cairo.h>
#include <glib-object.h>

#include <memory>

namespace gtk {

struct GObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

struct SurfaceDestroy {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using SurfacePtr = std::unique_ptr<cairo_surface_t, SurfaceDestroy>;

}  // namespace gtk
