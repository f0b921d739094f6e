// The GTK host's input: pointer, keys, focus, check boxes and scroll bars, each turned into a call on the
// form model, which decides what it means.
#include <cmath>

#include "platform/gtk/form_host.h"
#include "platform/gtk/guarded.h"
#include "platform/x11/key_map.h"

namespace gtk {

namespace {

FormHost* hostOf(gpointer data) { return static_cast<FormHost*>(data); }

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

// The keys a focused scroll bar keeps for itself (arrows, Home, End, Page Up and Down): GTK's own scroll bar
// turns them into scroll actions.
bool scrollBarKey(int key) { return key >= 0x21 && key <= 0x28; }

}  // namespace

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
        host.updatePointer(widget, host.form_.controlAt(x, y));
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
        const auto twips = [&](gint pixels) {
          return static_cast<int>(platform::toTwips(pixels, host.form_.dpi()));
        };
        const form::Control* under =
            host.form_.hitTest(twips(x) + surface->absoluteLeft(), twips(y) + surface->absoluteTop());
        // Read as it is now: the program rewrites a tile's tip when the user chooses its browsers.
        if (!under || under->toolTip().empty()) return FALSE;
        gtk_tooltip_set_text(tooltip, under->toolTip().c_str());
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
        // GDK's key values are X key symbols: the Linux program's one key table reads them.
        const int key = x11::meaningOfKeysym(event->keyval).key;
        const form::Control* focused = host.form_.focused();
        if (scrollBarKey(key) && focused && focused->kind() == form::Kind::HScrollBar) return FALSE;
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
        const bool heldForOther = focused && !host.windowOf(*focused);
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
          box->setValue(gtk_toggle_button_get_active(button) ? 1 : 0);
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
        gtk_range_set_value(range, bar->value());
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
          gtk_range_set_value(GTK_RANGE(widget), bar->value());
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

}  // namespace gtk
