#include "platform/gtk/form_host.h"

#include <gdk/gdkx.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <utility>

#include "platform/gtk/guarded.h"

namespace gtk {

namespace {

// The windowed controls take the layout's small sizes: a 9-pixel scroll bar and check boxes as tall as a line
// of 9-point text. GTK's scroll bars have no arrow buttons (its arrows scroll smoothly while held rather than
// by one step a click); a click on the track beside the thumb moves it by one step.
constexpr const char* kStyle = R"css(
checkbutton { padding: 0; min-height: 0; }
checkbutton check { min-width: 11px; min-height: 11px; margin: 0 3px 0 0; }
scrollbar { padding: 0; border: 1px solid #c8c8c8; background: #f0f0f0; min-height: 7px; }
scrollbar contents, scrollbar trough { min-height: 7px; margin: 0; padding: 0; }
scrollbar slider { min-width: 12px; min-height: 7px; margin: 0; border-radius: 0; border: 0; background: #a0a0a0; }
)css";

std::string cssColor(const form::Color& color) {
  const Rgb rgb = colorOf(color);
  return "rgb(" + std::to_string(std::lround(rgb.r * 255)) + "," + std::to_string(std::lround(rgb.g * 255)) +
         "," + std::to_string(std::lround(rgb.b * 255)) + ")";
}

// A font of the layout as CSS declarations; the face alone when no size is given.
std::string cssFont(const form::Font& font) {
  std::string css = "font-family: ";
  const std::string families = fontFamilies(font);
  std::string_view rest = families;
  while (!rest.empty()) {
    const std::size_t comma = rest.find(',');
    std::string_view family = rest.substr(0, comma);
    while (!family.empty() && family.front() == ' ') family.remove_prefix(1);
    css += "\"" + std::string(family) + "\"";
    rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
    if (!rest.empty()) css += ", ";
  }
  css += ";";
  if (font.points > 0) css += " font-size: " + std::to_string(font.points) + "pt;";
  return css;
}

void addCss(GtkStyleProvider* provider, const std::string& css) {
  gtk_css_provider_load_from_data(GTK_CSS_PROVIDER(provider), css.c_str(), -1, nullptr);
}

FormHost* hostOf(gpointer data) { return static_cast<FormHost*>(data); }

}  // namespace

FormHost::FormHost(form::Form& form, const form::HostOptions& options)
    : form_(form), options_(options), painter_(options) {}

FormHost::~FormHost() {
  detach();
  if (window_ && !destroyed_) {
    onUnload = nullptr;
    gtk_widget_destroy(window_);
  }
}

float FormHost::formX(double rootX) const {
  return static_cast<float>(
      platform::fractionalTwips(rootX - static_cast<double>(form_.position().x), form_.dpi()));
}
float FormHost::formY(double rootY) const {
  return static_cast<float>(
      platform::fractionalTwips(rootY - static_cast<double>(form_.position().y), form_.dpi()));
}

void FormHost::installStyle() {
  const GObjectPtr<GtkCssProvider> css(gtk_css_provider_new());
  // Tool tips speak the program's language: its face, rather than a default face that may lack the glyphs.
  addCss(GTK_STYLE_PROVIDER(css.get()),
         std::string(kStyle) + "tooltip, tooltip * { " + cssFont({options_.toolTipFont.face, 0}) + " }\n");
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
  gtk_window_set_title(top, form_.caption().c_str());
  gtk_window_set_decorated(top, FALSE);
  gtk_window_set_resizable(top, FALSE);
  gtk_window_set_skip_taskbar_hint(top, TRUE);
  gtk_window_set_skip_pager_hint(top, TRUE);
  if (const GObjectPtr<GdkPixbuf> icon = resourcePixbuf(options_.icon)) gtk_window_set_icon(top, icon.get());
  gtk_widget_add_events(window_, GDK_STRUCTURE_MASK);

  GtkWidget* root = gtk_fixed_new();
  gtk_widget_set_size_request(root, px(form_.clientWidth()), px(form_.clientHeight()));
  gtk_container_add(GTK_CONTAINER(window_), root);
  gtk_widget_show(root);

  // Labels take their captions' size in the fonts this desktop has.
  form_.fitLabels([this](const form::Control& label) -> std::optional<platform::PixelPoint> {
    const GdkRectangle size = painter_.textSize(window_, label);
    return platform::PixelPoint{size.width, size.height};
  });
  for (auto it = form_.controls().rbegin(); it != form_.controls().rend(); ++it) createChildren(**it, root);

  g_signal_connect(window_, "key-press-event", G_CALLBACK(&FormHost::onKey), this);
  g_signal_connect(window_, "key-release-event", G_CALLBACK(&FormHost::onKey), this);
  g_signal_connect(window_, "configure-event", G_CALLBACK(&FormHost::onConfigure), this);
  g_signal_connect(window_, "window-state-event", G_CALLBACK(&FormHost::onWindowState), this);
  g_signal_connect(window_, "destroy", G_CALLBACK(&FormHost::onDestroy), this);

  if (const GObjectPtr<GdkPixbuf> cursor = resourcePixbuf(options_.handPointer)) {
    const char* hotX = gdk_pixbuf_get_option(cursor.get(), "x_hot");
    const char* hotY = gdk_pixbuf_get_option(cursor.get(), "y_hot");
    hand_.reset(gdk_cursor_new_from_pixbuf(gdk_display_get_default(), cursor.get(),
                                           hotX ? std::atoi(hotX) : 0, hotY ? std::atoi(hotY) : 0));
  }
  if (!hand_) hand_.reset(gdk_cursor_new_from_name(gdk_display_get_default(), "pointer"));

  // Made where start-up placed it (the remembered place, or centred), so it never shows elsewhere first.
  onMoved();
  gtk_widget_realize(window_);
  GdkWindow* gdkWindow = gtk_widget_get_window(window_);
  if (!gdkWindow || !GDK_IS_X11_WINDOW(gdkWindow)) return false;
  form_.window = platform::WindowId{static_cast<std::int64_t>(gdk_x11_window_get_xid(gdkWindow))};

  form_.onControlChanged = [this](form::Control& c, form::Property p) { controlChanged(c, p); };
  form_.onMoved = [this] { onMoved(); };
  form_.onWindowStateChanged = [this] { onWindowStateChanged(); };
  form_.onFocusChanged = [this](form::Control& c) { onFocusChanged(c); };
  form_.onMenuRequested = [this](const std::vector<form::MenuItem>& items, auto chosen) {
    showMenu(items, std::move(chosen));
  };
  return true;
}

void FormHost::detach() {
  form_.onControlChanged = nullptr;
  form_.onMoved = nullptr;
  form_.onWindowStateChanged = nullptr;
  form_.onFocusChanged = nullptr;
  form_.onMenuRequested = nullptr;
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

void FormHost::styleWidget(GtkWidget* widget, const form::Control& control) {
  const form::LayoutRow& row = control.layout();
  const GObjectPtr<GtkCssProvider> css(gtk_css_provider_new());
  addCss(GTK_STYLE_PROVIDER(css.get()), "* { " + cssFont(row.font) + " color: " + cssColor(row.foreColor) +
                                            "; background: " + cssColor(row.backColor) + "; }");
  std::function<void(GtkWidget*)> apply = [&](GtkWidget* w) {
    gtk_style_context_add_provider(gtk_widget_get_style_context(w), GTK_STYLE_PROVIDER(css.get()),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    if (GTK_IS_CONTAINER(w))
      gtk_container_foreach(
          GTK_CONTAINER(w),
          [](GtkWidget* child, gpointer f) { (*static_cast<std::function<void(GtkWidget*)>*>(f))(child); },
          &apply);
  };
  apply(widget);
}

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
      g_signal_connect(surface, "draw", G_CALLBACK(&FormHost::onDraw), this);
      connectPointer(surface);
      g_signal_connect(surface, "query-tooltip", G_CALLBACK(&FormHost::onQueryTooltip), this);
      return surface;
    }
    case form::Kind::CheckBox: {
      GtkWidget* box = gtk_check_button_new_with_label(control.caption().c_str());
      styleWidget(box, control);
      gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(box), control.value() == 1);
      g_signal_connect(box, "toggled", G_CALLBACK(&FormHost::onToggled), this);
      connectPointer(box);
      return box;
    }
    case form::Kind::HScrollBar: {
      const form::LayoutRow& row = control.layout();
      GtkAdjustment* range =
          gtk_adjustment_new(control.value(), row.min, row.max, row.smallChange, row.largeChange, 0);
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
  if (!control.windowed() || control.madeWhenShown()) return;
  GtkWidget* widget = makeWidget(control);
  if (!widget) return;
  remember(control, widget);
  g_signal_connect(widget, "focus-in-event", G_CALLBACK(&FormHost::onFocusIn), this);
  gtk_fixed_put(GTK_FIXED(parent), widget, px(control.left()), px(control.top()));
  gtk_widget_set_size_request(widget, px(control.width()), px(control.height()));
  // Children are added from the bottom of the stacking order up, so the first in the model lies on top.
  const auto& children = control.children();
  for (auto it = children.rbegin(); it != children.rend(); ++it) createChildren(**it, widget);
  gtk_widget_set_visible(widget, control.visible());
}

// ---- The model's changes ----

void FormHost::makeWindows(form::Control& control) {
  GtkWidget* parent = surfaceOf(control);
  if (!parent) parent = gtk_bin_get_child(GTK_BIN(window_));
  createChildren(control, parent);
  if (GtkWidget* made = windowOf(control)) {
    if (GdkWindow* own = gtk_widget_get_window(made); own && gtk_widget_get_has_window(made))
      gdk_window_raise(own);
  }
}

void FormHost::redraw(GtkWidget* widget) { gtk_widget_queue_draw(widget); }

void FormHost::showWindow(GtkWidget* widget, bool visible) { gtk_widget_set_visible(widget, visible); }

void FormHost::showValue(GtkWidget* widget, const form::Control& control) {
  if (GTK_IS_TOGGLE_BUTTON(widget)) {
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget), control.value() == 1);
  } else if (GTK_IS_RANGE(widget)) {
    gtk_range_set_value(GTK_RANGE(widget), control.value());
  }
}

void FormHost::showCaption(GtkWidget* widget, const form::Control& control) {
  if (GTK_IS_BUTTON(widget)) gtk_button_set_label(GTK_BUTTON(widget), control.caption().c_str());
  gtk_widget_queue_draw(widget);
}

void FormHost::placeWindow(GtkWidget* widget, const form::Control& control) {
  GtkWidget* parent = gtk_widget_get_parent(widget);
  if (GTK_IS_FIXED(parent)) gtk_fixed_move(GTK_FIXED(parent), widget, px(control.left()), px(control.top()));
  gtk_widget_set_size_request(widget, px(control.width()), px(control.height()));
}

// GDK scales the whole desktop by its own factor, so the form is kept at 96 dpi in GDK's logical pixels.
void FormHost::onMoved() {
  const platform::PixelPoint at = form_.position();
  gtk_window_move(window(), static_cast<int>(at.x), static_cast<int>(at.y));
}

void FormHost::syncPosition() {
  GdkWindow* own = gtk_widget_get_window(window_);
  if (!own || (gdk_window_get_state(own) & GDK_WINDOW_STATE_ICONIFIED)) return;
  int x = 0, y = 0;
  gdk_window_get_origin(own, &x, &y);
  form_.placedAt({x, y});
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
  GtkWidget* widget = windowOf(control);
  // Controls without a widget of their own (the unseen list box) take keys through the model; the window
  // keeps the keyboard on the background meanwhile.
  if (!widget) widget = windowOf(form_.control("background"));
  if (widget && !gtk_widget_has_focus(widget)) gtk_widget_grab_focus(widget);
}

// The menu belongs to the window and goes once it closes; an item picked calls back after the menu has shut.
void FormHost::showMenu(const std::vector<form::MenuItem>& items, std::function<void(std::size_t)> chosen) {
  GtkWidget* menu = gtk_menu_new();
  for (std::size_t i = 0; i < items.size(); ++i) {
    GtkWidget* item = gtk_check_menu_item_new_with_label(items[i].text.c_str());
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item), items[i].checked);
    g_object_set_data(G_OBJECT(item), "vaskf5-index", GSIZE_TO_POINTER(i));
    g_signal_connect(item, "activate", G_CALLBACK(&FormHost::onMenuItem), this);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
  }
  gtk_widget_show_all(menu);
  gtk_menu_attach_to_widget(GTK_MENU(menu), window_, nullptr);
  g_signal_connect(menu, "deactivate", G_CALLBACK(+[](GtkWidget* shut, gpointer) noexcept {
                     g_idle_add(
                         +[](gpointer gone) noexcept -> gboolean {
                           gtk_widget_destroy(GTK_WIDGET(gone));
                           return G_SOURCE_REMOVE;
                         },
                         shut);
                   }),
                   nullptr);
  menuChosen_ = std::move(chosen);
  gtk_menu_popup_at_pointer(GTK_MENU(menu), nullptr);
}

void FormHost::onMenuItem(GtkMenuItem* item, gpointer data) noexcept {
  guarded(
      [&]() -> gboolean {
        FormHost& host = *hostOf(data);
        const std::function<void(std::size_t)> chosen = std::exchange(host.menuChosen_, nullptr);
        if (chosen) chosen(GPOINTER_TO_SIZE(g_object_get_data(G_OBJECT(item), "vaskf5-index")));
        return FALSE;
      },
      FALSE);
}

void FormHost::updatePointer(GtkWidget* surface, const form::Control* under) {
  if (under == pointerOver_) return;
  pointerOver_ = under;
  const bool hand = under && under->pointer() == form::Pointer::Hand;
  if (GdkWindow* own = gtk_widget_get_window(surface))
    gdk_window_set_cursor(own, hand ? hand_.get() : nullptr);
}

// ---- The window ----

gboolean FormHost::onDraw(GtkWidget* widget, cairo_t* cr, gpointer data) noexcept {
  return guarded(
      [&]() -> gboolean {
        FormHost& host = *hostOf(data);
        if (const form::Control* surface = host.controlOf(widget))
          host.painter_.paintSurface(*surface, widget, cr);
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
        // The widgets are going: the model's changes from here on (the unload) have nothing to show on.
        host.destroyed_ = true;
        host.detach();
        host.forgetAll();
        if (host.onUnload) host.onUnload();
        if (gtk_main_level() > 0) gtk_main_quit();
        return FALSE;
      },
      FALSE);
}

}  // namespace gtk
