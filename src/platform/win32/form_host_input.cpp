// Window messages turned into the form model's input calls, and the model's hold on the pointer applied to
// the windows. No rule of input lives here: the model decides what every press, key and scroll means.
#include <windows.h>
// After windows.h, which it needs.
#include <windowsx.h>

#include <utility>

#include "platform/win32/form_host.h"
#include "platform/win32/native_controls.h"
#include "platform/win32/text.h"

namespace win32 {

namespace {

int shiftState() {
  return (GetKeyState(VK_SHIFT) < 0 ? form::kShiftKey : 0) |
         (GetKeyState(VK_CONTROL) < 0 ? form::kCtrlKey : 0) | (GetKeyState(VK_MENU) < 0 ? form::kAltKey : 0);
}

// The buttons held after the message, which is what a mouse message's wParam tells.
int buttonsOf(WPARAM wParam) {
  return ((wParam & MK_LBUTTON) ? form::kLeftButton : 0) | ((wParam & MK_RBUTTON) ? form::kRightButton : 0) |
         ((wParam & MK_MBUTTON) ? form::kMiddleButton : 0);
}

enum class MouseKind : std::uint8_t { None, Down, Move, Up };

MouseKind mouseKindOf(UINT msg) {
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    // A check box's class asks for double clicks; the second press of one is a press all the same.
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
      return MouseKind::Down;
    case WM_MOUSEMOVE:
      return MouseKind::Move;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      return MouseKind::Up;
    default:
      return MouseKind::None;
  }
}

bool isCheckBox(const form::Control* control) { return control && control->kind() == form::Kind::CheckBox; }

}  // namespace

bool FormHost::mouseInput(HWND from, UINT msg, WPARAM wParam, LPARAM lParam) {
  const MouseKind kind = mouseKindOf(msg);
  if (kind == MouseKind::None) return false;
  POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  MapWindowPoints(from, top_.get(), &point, 1);
  const float x = twipsOf(point.x);
  const float y = twipsOf(point.y);
  const int buttons = buttonsOf(wParam);
  switch (kind) {
    case MouseKind::Down:
      toolTip_.hide();
      tipShownFor_ = nullptr;
      pressedIn_ = from;
      form_.mouseDown(x, y, buttons, shiftState());
      break;
    case MouseKind::Move:
      form_.mouseMove(x, y, buttons, shiftState());
      trackHover(from, x, y);
      break;
    case MouseKind::Up:
      form_.mouseUp(x, y, buttons, shiftState());
      break;
    case MouseKind::None:
      break;
  }
  return true;
}

void FormHost::keyInput(UINT msg, WPARAM wParam) {
  const int key = static_cast<int>(wParam);
  if (msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN) form_.keyDown(key, shiftState());
  if (msg == WM_KEYUP || msg == WM_SYSKEYUP) form_.keyUp(key, shiftState());
}

// The model holds the pointer: the window that took the press grabs it. A check box looks pushed meanwhile,
// as a real one does.
void FormHost::onCaptureChanged(bool captured) {
  if (captured) {
    captureWindow_ = pressedIn_;
    if (isCheckBox(controlOf(captureWindow_))) SendMessageW(captureWindow_, BM_SETSTATE, TRUE, 0);
    SetCapture(captureWindow_);
    return;
  }
  // Cleared before letting go, so that the WM_CAPTURECHANGED this causes is not taken for a loss.
  const HWND released = std::exchange(captureWindow_, nullptr);
  if (!released) return;
  if (isCheckBox(controlOf(released))) SendMessageW(released, BM_SETSTATE, FALSE, 0);
  if (GetCapture() == released) ReleaseCapture();
}

// Another window took the pointer (a click elsewhere after a switch of task, a menu, a drag by the system).
void FormHost::captureChanged(HWND hwnd, LPARAM lParam) {
  if (hwnd == captureWindow_ && reinterpret_cast<HWND>(lParam) != hwnd) form_.captureLost();
}

void FormHost::trackHover(HWND from, float x, float y) {
  const form::Control* under = form_.controlAt(x, y);
  if (under == hovered_) return;
  toolTip_.hide();
  tipShownFor_ = nullptr;
  hovered_ = under;
  TRACKMOUSEEVENT track{sizeof(track), TME_HOVER | TME_LEAVE, from, HOVER_DEFAULT};
  TrackMouseEvent(&track);
}

// The control under the pointer, and where the pointer is on the screen.
form::Control* FormHost::controlAtCursor(POINT* screen) const {
  POINT cursor;
  GetCursorPos(&cursor);
  if (screen) *screen = cursor;
  ScreenToClient(top_.get(), &cursor);
  return form_.controlAt(twipsOf(cursor.x), twipsOf(cursor.y));
}

void FormHost::hover() {
  POINT cursor;
  const form::Control* under = controlAtCursor(&cursor);
  hovered_ = under;
  if (under && !under->toolTip().empty() && !form_.captured()) showToolTip(*under, cursor);
}

// Below and right of the pointer, clear of the hand.
void FormHost::showToolTip(const form::Control& control, POINT cursor) {
  tipShownFor_ = &control;
  toolTip_.show(top_.get(), control.toolTip(), {cursor.x + px(180), cursor.y + px(300)},
                fonts_.get(options_.toolTipFont), px(form_.clientWidth()));
}

bool FormHost::setCursor() {
  const form::Control* under = controlAtCursor();
  SetCursor(under && under->pointer() == form::Pointer::Hand ? hand_ : LoadCursorW(nullptr, IDC_ARROW));
  return true;
}

void FormHost::scrolled(HWND barWindow, WPARAM wParam) {
  form::Control* bar = controlOf(barWindow);
  const auto action = scrollActionOf(wParam);
  if (!bar || !action) return;
  form_.scroll(*bar, action->first, action->second);
  // The thumb follows a drag; otherwise it shows the value, which an arrow at an end or a thumb let go where
  // it started leaves unchanged.
  SetScrollPos(barWindow, SB_CTL,
               action->first == form::ScrollAction::ThumbTrack ? action->second : bar->value(), TRUE);
}

// A pop-up menu at the pointer. Windows asks that its owner be the foreground window, or the menu would not
// close when the user clicks elsewhere; the empty message after it lets the menu's own loop end cleanly.
void FormHost::showMenu(const std::vector<form::MenuItem>& items,
                        const std::function<void(std::size_t)>& chosen) {
  toolTip_.hide();
  tipShownFor_ = nullptr;
  const UniqueMenu menu(CreatePopupMenu());
  if (!menu) return;
  for (std::size_t i = 0; i < items.size(); ++i) {
    AppendMenuW(menu.get(), MF_STRING | (items[i].checked ? MF_CHECKED : MF_UNCHECKED), i + 1,
                widen(items[i].text).c_str());
  }
  POINT at;
  GetCursorPos(&at);
  SetForegroundWindow(top_.get());
  const auto picked = static_cast<std::size_t>(TrackPopupMenu(
      menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, top_.get(), nullptr));
  PostMessageW(top_.get(), WM_NULL, 0, 0);
  if (picked != 0 && chosen) chosen(picked - 1);
}

}  // namespace win32
