#include "platform/win32/native_controls.h"

#include <commctrl.h>

#include <array>
#include <string>

#include "platform/win32/text.h"

namespace win32 {

namespace {

DWORD shownStyle(const form::Control& control) { return control.visible() ? WS_VISIBLE : 0; }

HWND makeWindow(DWORD exStyle, const wchar_t* className, const form::Control& control, DWORD style,
                HWND parent, void* param = nullptr) {
  const std::wstring caption = widen(control.caption());
  return CreateWindowExW(exStyle, className, caption.c_str(), WS_CHILD | style | shownStyle(control), 0, 0, 0,
                         0, parent, nullptr, GetModuleHandleW(nullptr), param);
}

// The surface window learns its control at WM_NCCREATE.
HWND makeSurface(form::Control& control, HWND parent, const wchar_t* surfaceClass) {
  return makeWindow(0, surfaceClass, control, WS_CLIPCHILDREN | WS_CLIPSIBLINGS, parent, &control);
}

// A plain (not automatic) check box: the model decides when it toggles and the host shows the value.
HWND makeCheckBox(form::Control& control, HWND parent, const wchar_t*) {
  return makeWindow(0, WC_BUTTONW, control, WS_TABSTOP | BS_CHECKBOX | (control.layout().flat ? BS_FLAT : 0),
                    parent);
}

HWND makeScrollBar(form::Control& control, HWND parent, const wchar_t*) {
  const HWND made = makeWindow(0, WC_SCROLLBARW, control, WS_TABSTOP | SBS_HORZ, parent);
  if (made) SetScrollRange(made, SB_CTL, control.layout().min, control.layout().max, FALSE);
  return made;
}

HWND makeListBox(form::Control& control, HWND parent, const wchar_t*) {
  return makeWindow(WS_EX_CLIENTEDGE, WC_LISTBOXW, control, WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY, parent);
}

void showCheck(HWND window, const form::Control& control) {
  SendMessageW(window, BM_SETCHECK, control.value() == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
}

void showScrollPosition(HWND window, const form::Control& control) {
  SetScrollPos(window, SB_CTL, control.value(), TRUE);
}

constexpr std::array<NativeKind, 5> kNativeKinds = {{
    {form::Kind::PictureBox, makeSurface, nullptr, true, true},
    {form::Kind::Frame, makeSurface, nullptr, true, true},
    {form::Kind::CheckBox, makeCheckBox, showCheck, true, false},
    {form::Kind::HScrollBar, makeScrollBar, showScrollPosition, false, false},
    {form::Kind::ListBox, makeListBox, nullptr, false, false},
}};

}  // namespace

const NativeKind* nativeKind(form::Kind kind) {
  for (const NativeKind& row : kNativeKinds) {
    if (row.kind == kind) return &row;
  }
  return nullptr;
}

std::optional<std::pair<form::ScrollAction, int>> scrollActionOf(WPARAM wParam) {
  using form::ScrollAction;
  const int thumb = HIWORD(wParam);
  switch (LOWORD(wParam)) {
    case SB_LINELEFT:
      return std::pair{ScrollAction::LineLeft, 0};
    case SB_LINERIGHT:
      return std::pair{ScrollAction::LineRight, 0};
    case SB_PAGELEFT:
      return std::pair{ScrollAction::PageLeft, 0};
    case SB_PAGERIGHT:
      return std::pair{ScrollAction::PageRight, 0};
    case SB_LEFT:
      return std::pair{ScrollAction::ToStart, 0};
    case SB_RIGHT:
      return std::pair{ScrollAction::ToEnd, 0};
    case SB_THUMBTRACK:
      return std::pair{ScrollAction::ThumbTrack, thumb};
    case SB_THUMBPOSITION:
      return std::pair{ScrollAction::ThumbRelease, thumb};
    default:
      return std::nullopt;  // SB_ENDSCROLL: the end of a gesture already reported
  }
}

}  // namespace win32
