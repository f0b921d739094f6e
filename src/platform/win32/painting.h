// Painting of the surfaces the host draws itself: a picture box shows its picture, a frame its flat border
// and caption, and both draw their windowless labels and images over that, bottom of the stacking order
// first.
#pragma once

#include <windows.h>

#include "platform/form/form.h"
#include "platform/form/host_options.h"
#include "platform/units.h"
#include "platform/win32/fonts.h"
#include "platform/win32/pictures.h"

namespace win32 {

COLORREF colorOf(const form::Color& color);

struct Painter {
  Fonts& fonts;
  Pictures& pictures;
  const form::HostOptions& options;
  platform::Dpi dpi;

  void surface(HDC dc, const form::Control& surface, const RECT& client) const;

 private:
  void frame(HDC dc, const form::Control& frame, const RECT& client) const;
  void windowless(HDC dc, const form::Control& container) const;
  int px(int twips) const { return static_cast<int>(platform::toPixels(twips, dpi)); }
};

}  // namespace win32
