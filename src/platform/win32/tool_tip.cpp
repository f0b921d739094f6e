#include "platform/win32/tool_tip.h"

#include "platform/win32/text.h"

namespace win32 {

TTTOOLINFOW ToolTip::tool() {
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
  tool.hwnd = owner_;
  tool.uId = 1;
  tool.lpszText = text_.data();
  return tool;
}

// The tip is an owned, topmost pop-up. It is made on the first hover, long after start-up has pinned the
// main window: an owned topmost pop-up that already exists keeps Wine from putting its owner in the topmost
// band.
void ToolTip::show(HWND owner, std::string_view text, POINT at, HFONT font, int maxWidth) {
  if (!window_) {
    owner_ = owner;
    window_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                  WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, 0, 0, 0, 0, owner, nullptr,
                                  GetModuleHandleW(nullptr), nullptr));
    if (!window_) return;
    TTTOOLINFOW added = tool();
    SendMessageW(window_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&added));
    setFont(font);
  }
  text_ = widen(text);
  // Without a maximum width a tip is one line, "\n" and all.
  SendMessageW(window_.get(), TTM_SETMAXTIPWIDTH, 0, maxWidth);
  TTTOOLINFOW shown = tool();
  SendMessageW(window_.get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&shown));
  SendMessageW(window_.get(), TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y));
  SendMessageW(window_.get(), TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&shown));
}

void ToolTip::hide() {
  if (!window_) return;
  TTTOOLINFOW hidden = tool();
  SendMessageW(window_.get(), TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&hidden));
}

void ToolTip::setFont(HFONT font) {
  if (window_) SendMessageW(window_.get(), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

}  // namespace win32
