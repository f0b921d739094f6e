// The GTK 3 host of the form model: a borderless, fixed-size top-level window that paints the skin and every
// windowless control with cairo and Pango, makes real GTK widgets of the settings panel's check boxes and
// scroll bars, and turns pointer, keyboard and window-manager events into calls on the model.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <vector>

#include "platform/form/form.h"
#include "platform/form/host_options.h"
#include "platform/form/host_windows.h"
#include "platform/gtk/gobject_ptr.h"
#include "platform/gtk/painter.h"

namespace gtk {

class FormHost final : public form::HostWindows<GtkWidget*> {
 public:
  // The window and pointer class names of the options are Win32 ideas; X11 knows the program by its name.
  FormHost(form::Form& form, const form::HostOptions& options);
  ~FormHost() override;

  // Creates every widget, hidden, and hands the window's X id to the form. False when that fails.
  bool create();
  // Shows the window for the first time.
  void show();
  // Runs the main loop until the window is gone or the program ends.
  void run();

  GtkWindow* window() const { return GTK_WINDOW(window_); }

  // Runs when the window is closed by other means than the program's own links (the window manager).
  std::function<void()> onUnload;

 private:
  // C callbacks: each forwards to the host and lets no exception through.
  static gboolean onDraw(GtkWidget* widget, cairo_t* cr, gpointer host) noexcept;
  static gboolean onButtonPress(GtkWidget* widget, GdkEventButton* event, gpointer host) noexcept;
  static gboolean onButtonRelease(GtkWidget* widget, GdkEventButton* event, gpointer host) noexcept;
  static gboolean onMotion(GtkWidget* widget, GdkEventMotion* event, gpointer host) noexcept;
  static gboolean onGrabBroken(GtkWidget* widget, GdkEvent* event, gpointer host) noexcept;
  static gboolean onQueryTooltip(GtkWidget* widget, gint x, gint y, gboolean keyboard, GtkTooltip* tooltip,
                                 gpointer host) noexcept;
  static gboolean onKey(GtkWidget* widget, GdkEventKey* event, gpointer host) noexcept;
  static gboolean onFocusIn(GtkWidget* widget, GdkEvent* event, gpointer host) noexcept;
  static void onToggled(GtkToggleButton* button, gpointer host) noexcept;
  static gboolean onChangeValue(GtkRange* range, GtkScrollType scroll, gdouble value, gpointer host) noexcept;
  static gboolean onScrollbarRelease(GtkWidget* widget, GdkEventButton* event, gpointer host) noexcept;
  static gboolean onScrollbarWheel(GtkWidget* widget, GdkEventScroll* event, gpointer host) noexcept;
  static gboolean onConfigure(GtkWidget* widget, GdkEvent* event, gpointer host) noexcept;
  static gboolean onWindowState(GtkWidget* widget, GdkEventWindowState* event, gpointer host) noexcept;
  static void onDestroy(GtkWidget* widget, gpointer host) noexcept;
  static gboolean applyWindowStateLater(gpointer host) noexcept;
  static void onMenuItem(GtkMenuItem* item, gpointer host) noexcept;

  // ---- form::HostWindows: one change of the model on a widget.
  void makeWindows(form::Control& control) override;
  void redraw(GtkWidget* widget) override;
  void showWindow(GtkWidget* widget, bool visible) override;
  void showValue(GtkWidget* widget, const form::Control& control) override;
  void showCaption(GtkWidget* widget, const form::Control& control) override;
  void placeWindow(GtkWidget* widget, const form::Control& control) override;

  // Stops following the model's changes.
  void detach();
  void createChildren(form::Control& control, GtkWidget* parent);
  GtkWidget* makeWidget(form::Control& control);
  void connectPointer(GtkWidget* widget);
  void installStyle();
  // Gives a GTK widget the font and colours of its layout row.
  void styleWidget(GtkWidget* widget, const form::Control& control);
  // A pop-up menu at the pointer, each item with its check mark.
  void showMenu(const std::vector<form::MenuItem>& items, std::function<void(std::size_t)> chosen);

  void onMoved();
  void onWindowStateChanged();
  void onFocusChanged(form::Control& control);
  void applyWindowState();
  void syncPosition();
  void updatePointer(GtkWidget* surface, const form::Control* under);

  // Pointer positions in the form's twips, from the pointer's place on the screen and the form's own idea of
  // where the window is: a drag then never chases a window that the window manager has not moved yet.
  float formX(double rootX) const;
  float formY(double rootY) const;

  form::Form& form_;
  const form::HostOptions& options_;
  Painter painter_;
  GtkWidget* window_ = nullptr;
  GObjectPtr<GdkCursor> hand_;
  const form::Control* pointerOver_ = nullptr;
  form::Control* trackedBar_ = nullptr;          // a scroll bar whose thumb is being dragged
  std::function<void(std::size_t)> menuChosen_;  // what the open pop-up menu calls back
  bool applyPending_ = false;
  bool destroyed_ = false;
};

}  // namespace gtk
