// The form model's state applied to the host's windows: the child windows of the windowed controls, their
// places, fonts and values, the window's position and minimised state, and the keyboard focus.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>


#include "platform/win32/form_host.h"
#include "platform/win32/native_controls.h"
#include "platform/win32/text.h"

namespace win32 {


// ---- Windows of the controls ----

void FormHost::createWindows(form::Control& control, HWND parent) {
  const NativeKind* native = nativeKind(control.kind());
  if (!native || control.madeWhenShown()) return;
  const HWND made = native->create(control, parent, surfaceClass_.c_str());
  if (!made) return;
  remember(control, made);
  if (native->showValue) native->showValue(made, control);
  if (!native->surface) {
    SetWindowSubclass(made, &FormHost::nativeProc, kNativeSubclassId, reinterpret_cast<DWORD_PTR>(this));
  }
  for (const auto& child : control.children()) createWindows(*child, made);
  stackChildren(control);
}

// Child windows take the model's stacking order: the first listed lies on top.
void FormHost::stackChildren(const form::Control& container) {
  HWND after = HWND_TOP;
  for (const auto& child : container.children()) {
    const HWND window = windowOf(*child);
    if (!window) continue;
    SetWindowPos(window, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    after = window;
  }
}

// The windows of a frame shown for the first time, in its place in the stacking order, at the current dpi.
void FormHost::makeWindows(form::Control& control) {
  const HWND parent = surfaceOf(control);
  createWindows(control, parent ? parent : top_.get());
  if (control.parent()) stackChildren(*control.parent());
  layoutWindows(control);
}

void FormHost::applyDpi(platform::Dpi dpi) {
  dpi_ = dpi;
  form_.setDpi(dpi_);
  // The fonts of the old scale stay alive until every control and the tool tip hold a new one.
  const Fonts::Retired retired = fonts_.setDpi(dpi_.dots());
  fitLabels();
  SetWindowPos(top_.get(), nullptr, 0, 0, px(form_.clientWidth()), px(form_.clientHeight()),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  for (const auto& control : form_.controls()) layoutWindows(*control);
  toolTip_.setFont(fonts_.get(options_.toolTipFont));
  InvalidateRect(top_.get(), nullptr, TRUE);
}

// Each caption measured in its label's font at the scale in use; the model sizes the labels.
void FormHost::fitLabels() {
  const WindowDc windowDc(top_.get());
  form_.fitLabels([&](const form::Control& label) -> std::optional<platform::PixelPoint> {
    const SelectedObject selected(windowDc.get(), fonts_.get(label.layout().font));
    RECT measured{0, 0, 0, 0};
    const std::wstring caption = widen(label.caption());
    if (!DrawTextW(windowDc.get(), caption.c_str(), static_cast<int>(caption.size()), &measured,
                   DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX)) {
      return std::nullopt;
    }
    return platform::PixelPoint{measured.right, measured.bottom};
  });
}

void FormHost::layoutWindows(form::Control& control) {
  const HWND window = windowOf(control);
  if (!window) return;
  placeWindow(window, control);
  SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.get(control.layout().font)), FALSE);
  for (const auto& child : control.children()) layoutWindows(*child);
}

// ---- Model to windows ----

void FormHost::redraw(HWND window) { InvalidateRect(window, nullptr, FALSE); }

void FormHost::showWindow(HWND window, bool visible) { ShowWindow(window, visible ? SW_SHOWNA : SW_HIDE); }

void FormHost::showValue(HWND window, const form::Control& control) {
  if (const NativeKind* native = nativeKind(control.kind()); native && native->showValue) {
    native->showValue(window, control);
  }
}

void FormHost::showCaption(HWND window, const form::Control& control) {
  SetWindowTextW(window, widen(control.caption()).c_str());
}

void FormHost::placeWindow(HWND window, const form::Control& control) {
  SetWindowPos(window, nullptr, px(control.left()), px(control.top()), px(control.width()),
               px(control.height()), SWP_NOZORDER | SWP_NOACTIVATE);
}

// A tool tip that changes while it is shown changes on the screen too.
void FormHost::onControlChanged(form::Control& control, form::Property property) {
  if (property == form::Property::ToolTip && &control == tipShownFor_) {
    POINT cursor;
    GetCursorPos(&cursor);
    showToolTip(control, cursor);
  }
  controlChanged(control, property);
}

void FormHost::onMoved() {
  const platform::PixelPoint at = form_.position();
  SetWindowPos(top_.get(), nullptr, platform::windowCoordinate(at.x), platform::windowCoordinate(at.y), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormHost::syncPosition() {
  if (IsIconic(top_.get())) return;
  RECT rect;
  if (GetWindowRect(top_.get(), &rect)) form_.placedAt({rect.left, rect.top});
}

// Without a taskbar button a minimised window could not be brought back, so it has one exactly while it is
// minimised; clicking that button restores the window, which then drops the button again.
void FormHost::giveTaskbarButton(bool give) {
  const LONG_PTR ex = GetWindowLongPtrW(top_.get(), GWL_EXSTYLE);
  const LONG_PTR wanted =
      give ? (ex & ~WS_EX_TOOLWINDOW) | WS_EX_APPWINDOW : (ex & ~WS_EX_APPWINDOW) | WS_EX_TOOLWINDOW;
  if (wanted == ex) return;
  // The shell looks at these styles only when a window is shown, so the window is hidden around the change.
  const bool wasVisible = IsWindowVisible(top_.get());
  if (wasVisible) ShowWindow(top_.get(), SW_HIDE);
  SetWindowLongPtrW(top_.get(), GWL_EXSTYLE, wanted);
  if (wasVisible) ShowWindow(top_.get(), give ? SW_SHOWMINNOACTIVE : SW_SHOW);
}

// Applied from the message loop rather than inside the click that asked for it: hiding a window while its
// own mouse message is still being handled leaves the window manager half way.
void FormHost::onWindowStateChanged() {
  toolTip_.hide();
  PostMessageW(top_.get(), kApplyWindowState, 0, 0);
}

void FormHost::applyWindowState() {
  const bool minimize = form_.windowState() == form::WindowState::Minimized;
  minimizing_ = true;
  giveTaskbarButton(minimize);
  if (minimize && !IsIconic(top_.get())) ShowWindow(top_.get(), SW_SHOWMINNOACTIVE);
  if (!minimize && IsIconic(top_.get())) ShowWindow(top_.get(), SW_RESTORE);
  minimizing_ = false;
}

void FormHost::onFocusChanged(form::Control& control) {
  const HWND window = windowOf(control);
  if (window && GetFocus() != window) SetFocus(window);
}

}  // namespace win32
