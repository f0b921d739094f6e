#include "platform/win32/painting.h"

#include <string>

#include "platform/win32/handles.h"
#include "platform/win32/text.h"

namespace win32 {

namespace {

void fillRect(HDC dc, const RECT& rect, COLORREF color) {
  UniqueBrush brush(CreateSolidBrush(color));
  FillRect(dc, &rect, brush.get());
}

void frameRect(HDC dc, const RECT& rect, COLORREF color) {
  UniqueBrush brush(CreateSolidBrush(color));
  FrameRect(dc, &rect, brush.get());
}

}  // namespace

COLORREF colorOf(const form::Color& color) {
  switch (color.role) {
    case form::Color::Role::Rgb:
      return RGB(color.r, color.g, color.b);
    case form::Color::Role::Window:
      return GetSysColor(COLOR_WINDOW);
    case form::Color::Role::WindowText:
      return GetSysColor(COLOR_WINDOWTEXT);
    case form::Color::Role::ButtonFace:
      return GetSysColor(COLOR_BTNFACE);
    case form::Color::Role::ButtonText:
      return GetSysColor(COLOR_BTNTEXT);
  }
  return 0;
}

void Painter::windowless(HDC dc, const form::Control& container) const {
  const auto& children = container.children();
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    const form::Control& c = **it;
    if (c.windowed() || !c.visible()) continue;
    const RECT rect{px(c.left()), px(c.top()), px(c.left() + c.width()), px(c.top() + c.height())};
    if (c.kind() == form::Kind::Image) {
      pictures.draw(dc, c.layout().picture, rect.left, rect.top, dpi.dots());
      continue;
    }
    if (c.opaque()) fillRect(dc, rect, colorOf(c.layout().backColor));
    if (c.caption().empty()) continue;
    const SelectedObject selected(dc, fonts.get(c.layout().font));
    SetTextColor(dc, colorOf(c.layout().foreColor));
    SetBkMode(dc, TRANSPARENT);
    RECT textRect = rect;
    const std::wstring caption = widen(c.caption());
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &textRect,
              DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP |
                  (c.layout().alignment == form::Align::Center ? DT_CENTER : DT_LEFT));
  }
}

void Painter::frame(HDC dc, const form::Control& frame, const RECT& client) const {
  fillRect(dc, client, colorOf(frame.layout().backColor));
  const SelectedObject selected(dc, fonts.get(frame.layout().font));
  const std::wstring caption = widen(frame.caption());
  RECT textRect{0, 0, 0, 0};
  DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &textRect, DT_CALCRECT | DT_SINGLELINE);
  // A flat, single-line border with the caption set into its top edge.
  const int top = textRect.bottom / 2;
  frameRect(dc, {client.left, client.top + top, client.right, client.bottom}, GetSysColor(COLOR_BTNSHADOW));
  const int inset = px(120);
  RECT captionRect{inset, 0, inset + textRect.right + px(60), textRect.bottom};
  fillRect(dc, captionRect, colorOf(frame.layout().backColor));
  captionRect.left += px(30);
  SetTextColor(dc, colorOf(frame.layout().foreColor));
  SetBkMode(dc, TRANSPARENT);
  DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &captionRect, DT_SINGLELINE | DT_NOPREFIX);
}

void Painter::surface(HDC dc, const form::Control& surface, const RECT& client) const {
  if (surface.kind() == form::Kind::Frame) {
    frame(dc, surface, client);
  } else {
    fillRect(dc, client, colorOf(options.pictureBoxBackground));
    if (pictures.has(surface.layout().picture, dpi.dots())) {
      pictures.drawInto(dc, surface.layout().picture, client, dpi.dots());
    } else {
      frameRect(dc, client, colorOf(options.missingPictureBorder));
    }
  }
  windowless(dc, surface);
}

}  // namespace win32
