// The real child windows of the windowed controls, one row per kind: how the window is made, how it shows the
// control's value, and whether the model or the native control itself decides what the mouse does on it.
#pragma once

#include <windows.h>

#include <optional>
#include <utility>

#include "platform/form/form.h"

namespace win32 {

struct NativeKind {
  form::Kind kind;
  // Makes the window, shown or hidden as the control is, at size zero (placed after the fonts are known).
  // Picture boxes and frames are windows of the host's own surface class.
  HWND (*create)(form::Control& control, HWND parent, const wchar_t* surfaceClass);
  // Shows the control's value in the window; null when the kind has no value to show.
  void (*showValue)(HWND window, const form::Control& control);
  // True when the host passes the window's mouse input to the model, which then decides what a press does;
  // false for a control that handles its own mouse and reports the outcome (a scroll bar, a list box).
  bool mouseToModel;
  // True for the host's own surface class; the others are common controls watched through a subclass.
  bool surface;
};

// The row for a windowed kind; null for windowless ones.
const NativeKind* nativeKind(form::Kind kind);

// What a native horizontal scroll bar reports in WM_HSCROLL, as the model's action and thumb position.
std::optional<std::pair<form::ScrollAction, int>> scrollActionOf(WPARAM wParam);

}  // namespace win32
