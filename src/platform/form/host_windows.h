// What every host of the form model does alike: it keeps the native window of each windowed control, makes
// a hidden frame's windows when the frame is first shown, and turns each change of the model into one call
// on a native window. A host derives from this and supplies those calls for its toolkit.
#pragma once

#include <map>

#include "platform/form/form.h"

namespace form {

template <typename Native>
class HostWindows {
 public:
  virtual ~HostWindows() = default;
  HostWindows() = default;
  HostWindows(const HostWindows&) = delete;
  HostWindows& operator=(const HostWindows&) = delete;

  // The control's own native window; empty for windowless controls and windows not made yet.
  Native windowOf(const Control& control) const {
    const auto it = windows_.find(&control);
    return it == windows_.end() ? Native{} : it->second;
  }
  Control* controlOf(Native window) const {
    for (const auto& [control, made] : windows_) {
      if (made == window) return const_cast<Control*>(control);
    }
    return nullptr;
  }
  // The window that draws a windowless control: that of its nearest container with one.
  Native surfaceOf(const Control& control) const {
    for (const Control* c = control.parent(); c; c = c->parent()) {
      if (const Native window = windowOf(*c)) return window;
    }
    return Native{};
  }

  // Applies one change of the model.
  void controlChanged(Control& control, Property property) {
    const Native window = windowOf(control);
    if (!window) {
      if (property == Property::Visible && control.windowed() && control.visible()) {
        makeWindows(control);
      } else if (const Native surface = surfaceOf(control)) {
        redraw(surface);
      }
      return;
    }
    switch (property) {
      case Property::Visible:
        showWindow(window, control.visible());
        break;
      case Property::Value:
        showValue(window, control);
        break;
      case Property::Caption:
        showCaption(window, control);
        break;
      case Property::Position:
      case Property::Size:
        placeWindow(window, control);
        break;
      case Property::Opaque:
      case Property::ToolTip:
        redraw(window);
        break;
    }
  }

 protected:
  void remember(const Control& control, Native window) { windows_[&control] = window; }
  void forgetAll() { windows_.clear(); }

  // Makes the windows of a windowed control that has none yet (a frame shown for the first time) and of
  // everything in it.
  virtual void makeWindows(Control& control) = 0;
  virtual void redraw(Native window) = 0;
  virtual void showWindow(Native window, bool visible) = 0;
  virtual void showValue(Native window, const Control& control) = 0;
  virtual void showCaption(Native window, const Control& control) = 0;
  virtual void placeWindow(Native window, const Control& control) = 0;

 private:
  std::map<const Control*, Native> windows_;
};

}  // namespace form
