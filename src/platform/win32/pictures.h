// The program's pictures, decoded from PNG resources into premultiplied 32-bit bitmaps the first time they
// are drawn, and drawn with per-pixel alpha. Each picture exists at 1x and 2x; the 2x one is used where the
// display scale exceeds 1.25, so a 100 % display never decodes it.
#pragma once

#include <wincodec.h>
#include <windows.h>

#include <array>
#include <map>
#include <tuple>

#include "platform/form/form.h"
#include "platform/win32/handles.h"

namespace win32 {

struct Bitmap {
  UniqueBitmap bitmap;
  int width = 0;
  int height = 0;
  bool decoded = false;  // tried once, whether or not it worked
};

class Pictures {
 public:
  // A picture that fails to decode stays empty and is not drawn.
  explicit Pictures(HINSTANCE instance) : instance_(instance) {}

  // The picture's natural size in pixels at 96 dpi.
  static SIZE naturalSize(form::Picture picture);

  // Draws the picture at its natural size scaled to the dpi, top-left at (x, y).
  void draw(HDC dc, form::Picture picture, int x, int y, UINT dpi);
  // Draws the picture stretched over a rectangle.
  void drawInto(HDC dc, form::Picture picture, const RECT& rect, UINT dpi);
  bool has(form::Picture picture, UINT dpi);

 private:
  const Bitmap& pick(form::Picture picture, UINT dpi);
  const Bitmap& decoded(form::Picture picture, bool doubleSize);
  const Bitmap& resampled(form::Picture picture, int width, int height);
  bool haveFactory();

  HINSTANCE instance_;
  ComPtr<IWICImagingFactory> factory_;

  // Indexed by picture, then 0 for 1x and 1 for 2x.
  std::array<std::array<Bitmap, 2>, 5> bitmaps_;
  std::map<std::tuple<form::Picture, int, int>, Bitmap> resampled_;
};

}  // namespace win32
