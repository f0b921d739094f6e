#include "platform/gtk/form_host.h"

#include <gdk/gdkx.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace gtk {

namespace {

// Window coordinates far beyond any screen upset some window managers; a drag is clamped well inside them.
constexpr std::int64_t kMaxCoordinate = 30000;

// The layout is drawn at 96 dots per inch in logical pixels, whatever the font resolution of the desktop, so
// captions keep the size the layout was made for; the display's scale factor enlarges everything alike.
constexpr double kLayoutDpi = 96.0;

// Fallbacks for the layout's face: any installed CJK face rather than boxes.
constexpr const char* kFallbackFaces = ", WenQuanYi Micro Hei, Noto Sans CJK SC, sans-serif";

// The settings panel's widgets take the layout's small sizes: a 9-pixel scroll bar and check boxes as tall as
// a line of 9-point text. GTK's scroll bars have no arrow buttons (its arrows scroll smoothly while held
// rather than by one step a click); a click on the track beside the thumb moves it by one step.
constexpr const char* kStyle = R"css(
.vaskf5-panel, .vaskf5-panel * { font-family: "微软雅黑", "WenQuanYi Micro Hei", sans-serif; font-size: 9pt; }
.vaskf5-panel checkbutton { padding: 0; min-height: 0; background: white; }
.vaskf5-panel checkbutton check { min-width: 11px; min-height: 11px; margin: 0 3px 0 0; }
.vaskf5-panel scrollbar { padding: 0; border: 1px solid #c8c8c8; background: #f0f0f0; min-height: 7px; }
.vaskf5-panel scrollbar contents, .vaskf5-panel scrollbar trough { min-height: 7px; margin: 0; padding: 0; }
.vaskf5-panel scrollbar slider { min-width: 12px; min-height: 7px; margin: 0; border-radius: 0; border: 0;
  background: #a0a0a0; }
tooltip, tooltip * { font-family: "微软雅黑", "WenQuanYi Micro Hei", sans-serif; }
)css";

struct Rgb {
  double r, g, b;
};

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

void setColor(cairo_t* cr, const form::Color& color) {
  const Rgb rgb = colorOf(color);
  cairo_set_source_rgb(cr, rgb.r, rgb.g, rgb.b);
}

FormHost* hostOf(gpointer data) { return static_cast<FormHost*>(data); }

// Pressed-buttons mask as the model counts it: 1 left, 2 right, 4 middle.
int buttonBit(guint button) {
  switch (button) {
    case 1:
      return 1;
    case 3:
      return 2;
    case 2:
      return 4;
    default:
      return 0;
  }
}

int buttonsOf(guint state) {
  return ((state & GDK_BUTTON1_MASK) ? 1 : 0) | ((state & GDK_BUTTON3_MASK) ? 2 : 0) |
         ((state & GDK_BUTTON2_MASK) ? 4 : 0);
}

int shiftOf(guint state) {
  return ((state & GDK_SHIFT_MASK) ? 1 : 0) | ((state & GDK_CONTROL_MASK) ? 2 : 0) |
         ((state & GDK_MOD1_MASK) ? 4 : 0);
}

// The Windows virtual-key code the model speaks for a key, or 0 for keys it has no use for.
int virtualKeyOf(guint keyval) {
  if (keyval >= GDK_KEY_0 && keyval <= GDK_KEY_9) return 48 + static_cast<int>(keyval - GDK_KEY_0);
  if (keyval >= GDK_KEY_KP_0 && keyval <= GDK_KEY_KP_9) return 96 + static_cast<int>(keyval - GDK_KEY_KP_0);
  if (keyval >= GDK_KEY_a && keyval <= GDK_KEY_z) return 65 + static_cast<int>(keyval - GDK_KEY_a);
  if (keyval >= GDK_KEY_A && keyval <= GDK_KEY_Z) return 65 + static_cast<int>(keyval - GDK_KEY_A);
  switch (keyval) {
    case GDK_KEY_Escape:
      return 27;
    case GDK_KEY_Tab:
    case GDK_KEY_ISO_Left_Tab:
      return 9;
    case GDK_KEY_Return:
      return 13;
    case GDK_KEY_space:
      return 32;
    default:
      return 0;
  }
}

template <typename F>
auto guarded(F&& body, decltype(body()) fallback) noexcept -> decltype(body()) {
  try {
    return body();
  } catch (...) {
    // Nothing may unwind through GTK's C code.
    return fallback;
  }
}

}  // namespace

FormHost::FormHost(form::Form& form) : form_(form) {}

FormHost::~FormHost() {
  form_.onControlChanged = nullptr;
  form_.onMoved = nullptr;
  form_.onWindowStateChanged = nullptr;
  form_.onFocusChanged = nullptr;
  if (window_ && !destroyed_) {
    onUnload = nullptr;
    gtk_widget_destroy(window_);
  }
}

int FormHost::px(std::int64_t twips) const {
  return static_cast<int>(
      std::clamp<std::int64_t>((twips * 2 + (twips >= 0 ? 15 : -15)) / 30, -kMaxCoordinate, kMaxCoordinate));
}

float FormHost::formX(double rootX) const {
  return static_cast<float>(rootX * 15.0 - static_cast<double>(form_.Left()));
}
float FormHost::formY(double rootY) const {
  return static_cast<float>(rootY * 15.0 - static_cast<double>(form_.Top()));
}

void FormHost::installStyle() {
  const GObjectPtr<GtkCssProvider> css(gtk_css_provider_new());
  gtk_css_provider_load_from_data(css.get(), kStyle, -1, nullptr);
  gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css.get()),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  // A click on a scroll bar's track moves it by one large change, as on Windows, rather than jumping there.
  g_object_set(gtk_settings_get_default(), "gtk-primary-button-warps-slider", FALSE, nullptr);
}

bool FormHost::create() {
  installStyle();
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  if (!window_) return false;
  GtkWindow* top = GTK_WINDOW(window_);
  gtk_window_set_title(top, form_.Caption().c_str());
  gtk_window_set_decorated(top, FALSE);
  gtk_window_set_resizable(top, FALSE);
  gtk_window_set_skip_taskbar_hint(top, TRUE);
  gtk_window_set_skip_pager_hint(top, TRUE);
  if (const GObjectPtr<GdkPixbuf> icon = resourcePixbuf("app.ico")) gtk_window_set_icon(top, icon.get());
  gtk_widget_add_events(window_, GDK_STRUCTURE_MASK);

  GtkWidget* root = gtk_fixed_new();
  gtk_widget_set_size_request(root, px(form_.ScaleWidth()), px(form_.ScaleHeight()));
  gtk_container_add(GTK_CONTAINER(window_), root);
  gtk_widget_show(root);

  fitLabels();
  for (auto it = form_.controls().rbegin(); it != form_.controls().rend(); ++it) createChildren(**it, root);

  g_signal_connect(window_, "key-press-event", G_CALLBACK(&FormHost::onKey), this);
  g_signal_connect(window_, "key-release-event", G_CALLBACK(&FormHost::onKey), this);
  g_signal_connect(window_, "configure-event", G_CALLBACK(&FormHost::onConfigure), this);
  g_signal_connect(window_, "window-state-event", G_CALLBACK(&FormHost::onWindowState), this);
  g_signal_connect(window_, "destroy", G_CALLBACK(&FormHost::onDestroy), this);

  if (const GObjectPtr<GdkPixbuf> cursor = resourcePixbuf("hand.cur")) {
    const char* hotX = gdk_pixbuf_get_option(cursor.get(), "x_hot");
    const char* hotY = gdk_pixbuf_get_option(cursor.get(), "y_hot");
    hand_.reset(gdk_cursor_new_from_pixbuf(gdk_display_get_default(), cursor.get(),
                                           hotX ? std::atoi(hotX) : 6, hotY ? std::atoi(hotY) : 0));
  }
  if (!hand_) hand_.reset(gdk_cursor_new_from_name(gdk_display_get_default(), "pointer"));

  gtk_widget_realize(window_);
  GdkWindow* gdkWindow = gtk_widget_get_window(window_);
  if (!gdkWindow || !GDK_IS_X11_WINDOW(gdkWindow)) return false;
  form_.hWnd = static_cast<platform::Hwnd>(gdk_x11_window_get_xid(gdkWindow));

  form_.onControlChanged = [this](form::Control& c, form::Property p) { onControlChanged(c, p); };
  form_.onMoved = [this] { onMoved(); };
  form_.onWindowStateChanged = [this] { onWindowStateChanged(); };
  form_.onFocusChanged = [this](form::Control& c) { onFocusChanged(c); };
  return true;
}

void FormHost::show() {
  gtk_widget_show(window_);
  if (form_.focused()) onFocusChanged(*form_.focused());
  syncPosition();
}

void FormHost::run() {
  if (!destroyed_) gtk_main();
}

// ---- Widgets ----

// The pointer over a surface or a check box goes to the model, which gives clicks their meaning.
void FormHost::connectPointer(GtkWidget* widget) {
  gtk_widget_add_events(widget, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK);
  g_signal_connect(widget, "button-press-event", G_CALLBACK(&FormHost::onButtonPress), this);
  g_signal_connect(widget, "button-release-event", G_CALLBACK(&FormHost::onButtonRelease), this);
  g_signal_connect(widget, "motion-notify-event", G_CALLBACK(&FormHost::onMotion), this);
  g_signal_connect(widget, "grab-broken-event", G_CALLBACK(&FormHost::onGrabBroken), this);
}

GtkWidget* FormHost::makeWidget(form::Control& control) {
  switch (control.kind()) {
    case form::Kind::PictureBox:
    case form::Kind::Frame: {
      // A surface: a container with its own X window that paints itself and everything windowless on it.
      GtkWidget* surface = gtk_fixed_new();
      gtk_widget_set_has_window(surface, TRUE);
      gtk_widget_add_events(surface, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                         GDK_POINTER_MOTION_MASK | GDK_LEAVE_NOTIFY_MASK);
      gtk_widget_set_has_tooltip(surface, TRUE);
      gtk_widget_set_can_focus(surface, control.kind() == form::Kind::PictureBox);
      if (control.kind() == form::Kind::Frame) {
        gtk_style_context_add_class(gtk_widget_get_style_context(surface), "vaskf5-panel");
      }
      g_signal_connect(surface, "draw", G_CALLBACK(&FormHost::onDraw), this);
      connectPointer(surface);
      g_signal_connect(surface, "query-tooltip", G_CALLBACK(&FormHost::onQueryTooltip), this);
      return surface;
    }
    case form::Kind::CheckBox: {
      GtkWidget* box = gtk_check_button_new_with_label(control.Caption().c_str());
      gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(box), control.Value() == 1);
      g_signal_connect(box, "toggled", G_CALLBACK(&FormHost::onToggled), this);
      connectPointer(box);
      return box;
    }
    case form::Kind::HScrollBar: {
      const auto& spec = control.spec();
      GtkAdjustment* range =
          gtk_adjustment_new(control.Value(), spec.min, spec.max, spec.smallChange, spec.largeChange, 0);
      GtkWidget* bar = gtk_scrollbar_new(GTK_ORIENTATION_HORIZONTAL, range);
      gtk_widget_set_can_focus(bar, TRUE);
      g_signal_connect(bar, "change-value", G_CALLBACK(&FormHost::onChangeValue), this);
      g_signal_connect(bar, "button-release-event", G_CALLBACK(&FormHost::onScrollbarRelease), this);
      g_signal_connect(bar, "scroll-event", G_CALLBACK(&FormHost::onScrollbarWheel), this);
      return bar;
    }
    default:
      // The list box lies outside the client area and nothing reads it: the model alone keeps its place in
      // the tab order.
      return nullptr;
  }
}

void FormHost::createChildren(form::Control& control, GtkWidget* parent) {
  if (!control.windowed()) return;
  // A hidden frame (the settings panel, the value boxes) gets its widgets when it is first shown, if ever.
  if (control.kind() == form::Kind::Frame && !control.Visible()) return;
  GtkWidget* widget = makeWidget(control);
  if (!widget) return;
  widgets_[&control] = widget;
  g_signal_connect(widget, "focus-in-event", G_CALLBACK(&FormHost::onFocusIn), this);
  gtk_fixed_put(GTK_FIXED(parent), widget, px(control.Left()), px(control.Top()));
  gtk_widget_set_size_request(widget, px(control.Width()), px(control.Height()));
  // Children are added from the bottom of the stacking order up, so the first in the model lies on top.
  const auto& children = control.children();
  for (auto it = children.rbegin(); it != children.rend(); ++it) createChildren(**it, widget);
  gtk_widget_set_visible(widget, control.Visible());
}

void FormHost::realize(form::Control& control) {
  GtkWidget* parent = nullptr;
  for (const form::Control* c = control.parent(); c && !parent; c = c->parent()) parent = widgetOf(*c);
  if (!parent) parent = gtk_bin_get_child(GTK_BIN(window_));
  createChildren(control, parent);
  if (GtkWidget* made = widgetOf(control)) {
    if (GdkWindow* own = gtk_widget_get_window(made); own && gtk_widget_get_has_window(made))
      gdk_window_raise(own);
  }
}

void FormHost::place(form::Control& control) {
  GtkWidget* widget = widgetOf(control);
  if (!widget) return;
  GtkWidget* parent = gtk_widget_get_parent(widget);
  if (GTK_IS_FIXED(parent)) gtk_fixed_move(GTK_FIXED(parent), widget, px(control.Left()), px(control.Top()));
  gtk_widget_set_size_request(widget, px(control.Width()), px(control.Height()));
}

form::Control* FormHost::controlOf(GtkWidget* widget) const {
  for (const auto& [control, made] : widgets_) {
    if (made == widget) return const_cast<form::Control*>(control);
  }
  return nullptr;
}

GtkWidget* FormHost::widgetOf(const form::Control& control) const {
  auto it = widgets_.find(&control);
  return it == widgets_.end() ? nullptr : it->second;
}

// ---- Text ----

GObjectPtr<PangoLayout> FormHost::layout(GtkWidget* widget, const form::Font& font, const std::string& text) {
  GObjectPtr<PangoLayout> made(gtk_widget_create_pango_layout(widget, text.c_str()));
  PangoContext* context = pango_layout_get_context(made.get());
  pango_cairo_context_set_resolution(context, kLayoutDpi);
  // Chinese shapes for the captions when the fallback face covers more than one language.
  pango_context_set_language(context, pango_language_from_string("zh-cn"));
  PangoFontDescription* description = pango_font_description_new();
  const std::string family =
      font.face.empty() ? std::string("sans-serif") : std::string(font.face) + kFallbackFaces;
  pango_font_description_set_family(description, family.c_str());
  pango_font_description_set_size(
      description, static_cast<int>(std::lround((font.points > 0 ? font.points : 9) * PANGO_SCALE)));
  pango_layout_set_font_description(made.get(), description);
  pango_font_description_free(description);
  pango_layout_context_changed(made.get());
  return made;
}

// Labels that size themselves take exactly their caption's size in their font; the others grow when a
// substitute font makes their caption wider than laid out, so no text is cut.
void FormHost::fitLabels() {
  std::function<void(const form::Control&)> fit = [&](const form::Control& container) {
    for (const auto& child : container.children()) {
      fit(*child);
      if (child->kind() != form::Kind::Label || child->Caption().empty()) continue;
      const GObjectPtr<PangoLayout> text = layout(window_, child->spec().font, child->Caption());
      int widthPx = 0, heightPx = 0;
      pango_layout_get_pixel_size(text.get(), &widthPx, &heightPx);
      const int width = twips(widthPx) + 15;
      const int height = twips(heightPx);
      const form::Rect laid = child->spec().rect;
      if (child->spec().autoSize) {
        child->SetSize(width, height);
      } else {
        child->SetSize(std::max(laid.width, width), laid.height);
      }
    }
  };
  for (const auto& control : form_.controls()) fit(*control);
}

void FormHost::drawText(cairo_t* cr, const form::Control& label, const GdkRectangle& rect) {
  const GObjectPtr<PangoLayout> text = layout(window_, label.spec().font, label.Caption());
  int width = 0, height = 0;
  pango_layout_get_pixel_size(text.get(), &width, &height);
  const double x =
      label.spec().alignment == form::Align::Center ? rect.x + (rect.width - width) / 2.0 : rect.x;
  setColor(cr, label.spec().foreColor);
  cairo_move_to(cr, x, rect.y);
  pango_cairo_show_layout(cr, text.get());
}

// ---- Painting ----

void FormHost::paintWindowless(const form::Control& container, cairo_t* cr, int scale) {
  const auto& children = container.children();
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    const form::Control& c = **it;
    if (c.windowed() || !c.Visible()) continue;
    const GdkRectangle rect{px(c.Left()), px(c.Top()), px(c.Left() + c.Width()) - px(c.Left()),
                            px(c.Top() + c.Height()) - px(c.Top())};
    if (c.kind() == form::Kind::Image) {
      pictures_.draw(cr, c.spec().picture, rect.x, rect.y, scale);
      continue;
    }
    if (c.BackStyle() == 1) {
      setColor(cr, c.spec().backColor);
      gdk_cairo_rectangle(cr, &rect);
      cairo_fill(cr);
    }
    if (!c.Caption().empty()) drawText(cr, c, rect);
  }
}

void FormHost::paintFrame(const form::Control& frame, cairo_t* cr, int width, int height) {
  setColor(cr, frame.spec().backColor);
  cairo_paint(cr);
  const GObjectPtr<PangoLayout> caption = layout(window_, frame.spec().font, frame.Caption());
  int textWidth = 0, textHeight = 0;
  pango_layout_get_pixel_size(caption.get(), &textWidth, &textHeight);
  // A flat, single-line border with the caption set into its top edge.
  const double top = textHeight / 2;
  cairo_set_source_rgb(cr, 160 / 255.0, 160 / 255.0, 160 / 255.0);
  cairo_set_line_width(cr, 1);
  cairo_rectangle(cr, 0.5, top + 0.5, width - 1, height - top - 1);
  cairo_stroke(cr);
  const int inset = px(120);
  setColor(cr, frame.spec().backColor);
  cairo_rectangle(cr, inset, 0, textWidth + px(60), textHeight);
  cairo_fill(cr);
  setColor(cr, frame.spec().foreColor);
  cairo_move_to(cr, inset + px(30), 0);
  pango_cairo_show_layout(cr, caption.get());
}

void FormHost::paintSurface(const form::Control& surface, GtkWidget* widget, cairo_t* cr) {
  const int width = gtk_widget_get_allocated_width(widget);
  const int height = gtk_widget_get_allocated_height(widget);
  const int scale = gtk_widget_get_scale_factor(widget);
  if (surface.kind() == form::Kind::Frame) {
    paintFrame(surface, cr, width, height);
  } else {
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    if (!pictures_.drawInto(cr, surface.spec().picture, {0, 0, width, height}, scale)) {
      cairo_set_source_rgb(cr, 100 / 255.0, 100 / 255.0, 100 / 255.0);
      cairo_rectangle(cr, 0.5, 0.5, width - 1, height - 1);
      cairo_stroke(cr);
    }
  }
  paintWindowless(surface, cr, scale);
}

// ---- The model's changes ----

void FormHost::onControlChanged(form::Control& control, form::Property property) {
  GtkWidget* widget = widgetOf(control);
  if (!widget) {
    if (property == form::Property::Visible && control.windowed() && control.Visible()) {
      realize(control);
    } else {
      // A windowless control is painted by the surface it lies on.
      for (const form::Control* c = control.parent(); c; c = c->parent()) {
        if (GtkWidget* surface = widgetOf(*c)) {
          gtk_widget_queue_draw(surface);
          break;
        }
      }
    }
    return;
  }
  switch (property) {
    case form::Property::Visible:
      gtk_widget_set_visible(widget, control.Visible());
      break;
    case form::Property::Value:
      if (GTK_IS_TOGGLE_BUTTON(widget)) {
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget), control.Value() == 1);
      } else if (GTK_IS_RANGE(widget)) {
        gtk_range_set_value(GTK_RANGE(widget), control.Value());
      }
      break;
    case form::Property::Caption:
      if (GTK_IS_BUTTON(widget)) gtk_button_set_label(GTK_BUTTON(widget), control.Caption().c_str());
      gtk_widget_queue_draw(widget);
      break;
    case form::Property::Position:
    case form::Property::Size:
      place(control);
      break;
    case form::Property::BackStyle:
      gtk_widget_queue_draw(widget);
      break;
  }
}

void FormHost::onMoved() { gtk_window_move(window(), px(form_.Left()), px(form_.Top())); }

void FormHost::syncPosition() {
  GdkWindow* own = gtk_widget_get_window(window_);
  if (!own || (gdk_window_get_state(own) & GDK_WINDOW_STATE_ICONIFIED)) return;
  int x = 0, y = 0;
  gdk_window_get_origin(own, &x, &y);
  form_.placedAt(twips(x), twips(y));
}

// Applied from the main loop rather than inside the click that asked for it: iconifying a window while its
// own button event is still being handled leaves the pointer grab half way.
void FormHost::onWindowStateChanged() {
  if (applyPending_) return;
  applyPending_ = true;
  g_idle_add(&FormHost::applyWindowStateLater, this);
}

// Without a taskbar entry a minimised window could not be brought back, so it has one exactly while it is
// minimised; activating it from there restores the window, which then drops the entry again.
void FormHost::applyWindowState() {
  applyPending_ = false;
  GdkWindow* own = gtk_widget_get_window(window_);
  const bool iconic = own && (gdk_window_get_state(own) & GDK_WINDOW_STATE_ICONIFIED);
  const bool minimize = form_.windowState() == form::WindowState::Minimized;
  // Also when the window manager minimised the window by itself: it needs the entry to come back.
  gtk_window_set_skip_taskbar_hint(window(), !minimize);
  if (minimize && !iconic) gtk_window_iconify(window());
  if (!minimize && iconic) gtk_window_deiconify(window());
}

void FormHost::onFocusChanged(form::Control& control) {
  GtkWidget* widget = widgetOf(control);
  // Controls without a widget of their own (the unseen list box) take keys through the model; the window
  // keeps the keyboard on the background meanwhile.
  if (!widget) widget = widgetOf(form_.control("MainBg"));
  if (widget && !gtk_widget_has_focus(widget)) gtk_widget_grab_focus(widget);
}

void FormHost::updatePointer(GtkWidget* surface, const form::Control* under) {
  if (under == pointerOver_) return;
  pointerOver_ = under;
  const bool hand = under && under->MousePointer() == form::Pointer::Hand;
  if (GdkWindow* own = gtk_widget_get_window(surface))
    gdk_window_set_cursor(own, hand ? hand_.get() : nullptr);
}

// ---- Mouse: presses, moves and releases go to the model as they are; it decides what they mean ----

gboolean FormHost::onButtonPress(GtkWidget*, GdkEventButton* event, gpointer data) noexcept {
  return guarded(
      [&]() -> gboolean {
        // Double and triple clicks arrive as extra events after the plain presses; the model sees the plain
        // ones.
        if (event->type != GDK_BUTTON_PRESS) return TRUE;
        FormHost& host = *hostOf(data);
        // At rest the window is where the window manager last put it; a first press must not trust a
        // configure event that is still on its way.
        if (!host.form_.captured()) host.syncPosition();
        host.form_.mouseDown(host.formX(event->x_root), host.formY(event->y_root),
                             buttonsOf(event->state) | buttonBit(event->button), shiftOf(event->state));
        return TRUE;
      },
      TRUE);
}

gboolean FormHost::onButtonRelease(GtkWidget*, GdkEventButton* event, gpointer data) noexcept {
  return guarded(
      [&]() -> gboolean {
        FormHost& host = *hostOf(data);
        host.form_.mouseUp(host.formX(event->x_root), host.formY(event->y_root),
                           buttonsOf(event->state) & ~buttonBit(event->button), shiftOf(event->state));
        return TRUE;
      },
      TRUE);
}

gboolean FormHost::onMotion(GtkWidget* widget, GdkEventMotion* event, gpointer data) noexcept {
  return guarded(
      [&]() -> gboolean {
        FormHost& host = *hostOf(data);
        const float x = host.formX(event->x_root), y = host.formY(event->y_root);
        host.form_.mouseMove(x, y, buttonsOf(event->state), shiftOf(event->state));
        host.updatePointer(
            widget, host.form_.hitTest(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y))));
        return TRUE;
      },
      TRUE);
}

// Another client took the pointer while a button was held.
gboolean FormHost::onGrabBroken(GtkWidget*, GdkEvent*, gpointer data) noexcept {
  return guarded(
      [&]() -> gboolean {
        hostOf(data)->form_.captureLost();
        return FALSE;
      },
      FALSE);
}

gboolean FormHost::onQueryTooltip(GtkWidget* widget, gint x, gint y, gboolean keyboard, GtkTooltip* tooltip,
                                  gpointer data) noexcept {
  return guarded(
      [&]() -> gboolean {
        FormHost& host = *hostOf(data);
        const form::Control* surface = host.controlOf(widget);
        if (keyboard || !surface || host.form_.captured()) return FALSE;
        // Tool tip coordinates are the surface's own.
        const form::Control* under =
            host.form_.hitTest(twips(x) + surface->absoluteLeft(), twips(y) + surface->absoluteTop());
        if (!under || under->ToolTipText().empty()) return FALSE;
        gtk_tooltip_set_text(tooltip, std::string(under->ToolTipText()).c_str());
        return TRUE;
      },
      FALSE);
}

// ---- Keyboard and focus ----

// Keys go to the model, which moves the focus on Tab and toggles a focused check box on Space. Only a focused
// scroll bar keeps its own keys (arrows, Home, End), which come back as scroll actions.
gboolean FormHost::onKey(GtkWidget*, GdkEventKey* event, gpointer data) noexcept {
  return guarded(
      [&]() -> gboolean {
        FormHost& host = *hostOf(data);
        const int key = virtualKeyOf(event->keyval);
        const form::Control* focused = host.form_.focused();
        if (key == 0 && focused && focused->kind() == form::Kind::HScrollBar) return FALSE;
        if (key == 0) return TRUE;
        if (event->type == GDK_KEY_PRESS) {
          host.form_.keyDown(key, shiftOf(event->state));
        } else {
          host.form_.keyUp(key, shiftOf(event->state));
        }
        return TRUE;
      },
      TRUE);
}

gboolean FormHost::onFocusIn(GtkWidget* widget, GdkEvent*, gpointer data) noexcept {
  return guarded(
      [&]() -> gboolean {
        FormHost& host = *hostOf(data);
        form::Control* control = host.controlOf(widget);
        // The background holds the keyboard for controls without a widget; their focus stays where the model
        // has it.
        const form::Control* focused = host.form_.focused();
        const bool heldForOther = focused && !host.widgetOf(*focused);
        if (control && control != focused && !(control->kind() == form::Kind::PictureBox && heldForOther)) {
          host.form_.setFocus(control);
        }
        return FALSE;
      },
      FALSE);
}

// ---- Check boxes and scroll bars ----

// Check boxes change through the model (clicks and Space reach it as mouse and key events); this only keeps
// the model in step should anything else toggle the widget.
void FormHost::onToggled(GtkToggleButton* button, gpointer data) noexcept {
  guarded(
      [&]() -> gboolean {
        FormHost& host = *hostOf(data);
        if (form::Control* box = host.controlOf(GTK_WIDGET(button))) {
          box->SetValue(gtk_toggle_button_get_active(button) ? 1 : 0);
        }
        return FALSE;
      },
      FALSE);
}

// GTK's scroll bar reports what the user did; the model decides what that does to the value. A dragged thumb
// moves on screen only, until it is let go.
gboolean FormHost::onChangeValue(GtkRange* range, GtkScrollType scroll, gdouble, gpointer data) noexcept {
  return guarded(
      [&]() -> gboolean {
        FormHost& host = *hostOf(data);
        form::Control* bar = host.controlOf(GTK_WIDGET(range));
        if (!bar) return TRUE;
        form::ScrollAction action = form::ScrollAction::ThumbTrack;
        switch (scroll) {
          case GTK_SCROLL_STEP_BACKWARD:
          case GTK_SCROLL_STEP_LEFT:
          case GTK_SCROLL_STEP_UP:
            action = form::ScrollAction::LineLeft;
            break;
          case GTK_SCROLL_STEP_FORWARD:
          case GTK_SCROLL_STEP_RIGHT:
          case GTK_SCROLL_STEP_DOWN:
            action = form::ScrollAction::LineRight;
            break;
          case GTK_SCROLL_PAGE_BACKWARD:
          case GTK_SCROLL_PAGE_LEFT:
          case GTK_SCROLL_PAGE_UP:
            action = form::ScrollAction::PageLeft;
            break;
          case GTK_SCROLL_PAGE_FORWARD:
          case GTK_SCROLL_PAGE_RIGHT:
          case GTK_SCROLL_PAGE_DOWN:
            action = form::ScrollAction::PageRight;
            break;
          case GTK_SCROLL_START:
            action = form::ScrollAction::ToStart;
            break;
          case GTK_SCROLL_END:
            action = form::ScrollAction::ToEnd;
            break;
          case GTK_SCROLL_JUMP:
            host.trackedBar_ = bar;
            host.form_.scroll(*bar, form::ScrollAction::ThumbTrack);
            return FALSE;
          default:
            return TRUE;
        }
        host.form_.scroll(*bar, action);
        gtk_range_set_value(range, bar->Value());
        return TRUE;
      },
      TRUE);
}

gboolean FormHost::onScrollbarRelease(GtkWidget* widget, GdkEventButton*, gpointer data) noexcept {
  return guarded(
      [&]() -> gboolean {
        FormHost& host = *hostOf(data);
        form::Control* bar = host.controlOf(widget);
        if (bar && host.trackedBar_ == bar) {
          host.trackedBar_ = nullptr;
          host.form_.scroll(*bar, form::ScrollAction::ThumbRelease,
                            static_cast<int>(std::lround(gtk_range_get_value(GTK_RANGE(widget)))));
          gtk_range_set_value(GTK_RANGE(widget), bar->Value());
        }
        return FALSE;
      },
      FALSE);
}

// A wheel turn over a scroll bar is one arrow click, not a jump of the thumb.
gboolean FormHost::onScrollbarWheel(GtkWidget* widget, GdkEventScroll* event, gpointer data) noexcept {
  return guarded(
      [&]() -> gboolean {
        FormHost& host = *hostOf(data);
        form::Control* bar = host.controlOf(widget);
        if (!bar) return TRUE;
        if (event->direction == GDK_SCROLL_UP || event->direction == GDK_SCROLL_LEFT) {
          host.form_.scroll(*bar, form::ScrollAction::LineLeft);
        } else if (event->direction == GDK_SCROLL_DOWN || event->direction == GDK_SCROLL_RIGHT) {
          host.form_.scroll(*bar, form::ScrollAction::LineRight);
        }
        return TRUE;
      },
      TRUE);
}

// ---- The window ----

gboolean FormHost::onDraw(GtkWidget* widget, cairo_t* cr, gpointer data) noexcept {
  return guarded(
      [&]() -> gboolean {
        FormHost& host = *hostOf(data);
        if (const form::Control* surface = host.controlOf(widget)) host.paintSurface(*surface, widget, cr);
        return FALSE;
      },
      FALSE);
}

gboolean FormHost::onConfigure(GtkWidget*, GdkEvent*, gpointer data) noexcept {
  return guarded(
      [&]() -> gboolean {
        hostOf(data)->syncPosition();
        return FALSE;
      },
      FALSE);
}

gboolean FormHost::onWindowState(GtkWidget*, GdkEventWindowState* event, gpointer data) noexcept {
  return guarded(
      [&]() -> gboolean {
        FormHost& host = *hostOf(data);
        if (event->changed_mask & GDK_WINDOW_STATE_ICONIFIED) {
          const bool iconic = (event->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
          host.form_.setWindowState(iconic ? form::WindowState::Minimized : form::WindowState::Normal);
        }
        return FALSE;
      },
      FALSE);
}

gboolean FormHost::applyWindowStateLater(gpointer data) noexcept {
  return guarded(
      [&]() -> gboolean {
        hostOf(data)->applyWindowState();
        return G_SOURCE_REMOVE;
      },
      G_SOURCE_REMOVE);
}

void FormHost::onDestroy(GtkWidget*, gpointer data) noexcept {
  guarded(
      [&]() -> gboolean {
        FormHost& host = *hostOf(data);
        host.destroyed_ = true;
        host.widgets_.clear();
        if (host.onUnload) host.onUnload();
        if (gtk_main_level() > 0) gtk_main_quit();
        return FALSE;
      },
      FALSE);
}

}  // namespace gtk
