// One tracking tool tip for the whole form, shown next to the pointer over a control that has a tip.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <string>
#include <string_view>

#include "platform/win32/handles.h"

namespace win32 {

class ToolTip {
 public:
  ToolTip() = default;
  ToolTip(const ToolTip&) = delete;
  ToolTip& operator=(const ToolTip&) = delete;

  // Shows the text with its top-left corner at a point of the screen, broken at each "\n" and wherever a line
  // would be wider than `maxWidth` pixels. The tip window is made on first use.
  void show(HWND owner, std::string_view text, POINT at, HFONT font, int maxWidth);
  void hide();
  // A new font for the next tips (after a change of scale).
  void setFont(HFONT font);

 private:
  TTTOOLINFOW tool();

  HWND owner_ = nullptr;
  UniqueWindow window_;
  std::wstring text_;
};

}  // namespace win32
