// Named pictures from the program's PNG resources: "name" at 1x and "name_2x" at 2x. Each is decoded into a
// premultiplied 32-bit bitmap the first time it is drawn and drawn with per-pixel alpha; the 2x one is used
// where the display scale exceeds 1.25, so a 100 % display never decodes it. A picture's natural size is read
// from the picture itself.
#pragma once

#include <wincodec.h>
#include <windows.h>

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>

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
  // A picture that is missing or fails to decode stays empty and is not drawn.
  explicit Pictures(HINSTANCE instance) : instance_(instance) {}

  // The picture's natural size in pixels at 96 dpi; zero when there is no such picture.
  SIZE naturalSize(std::string_view name);

  // Draws the picture at its natural size scaled to the dpi, top-left at (x, y).
  void draw(HDC dc, std::string_view name, int x, int y, int dpi);
  // Draws the picture stretched over a rectangle.
  void drawInto(HDC dc, std::string_view name, const RECT& rect, int dpi);
  bool has(std::string_view name, int dpi);

 private:
  struct Entry {
    std::array<Bitmap, 2> scales;  // 0 for 1x, 1 for 2x
    std::optional<SIZE> natural;
  };

  Entry& entry(std::string_view name);
  const Bitmap& pick(std::string_view name, int dpi);
  const Bitmap& decoded(std::string_view name, bool doubleSize);
  const Bitmap& resampled(std::string_view name, int width, int height);
  bool haveFactory();

  HINSTANCE instance_;
  ComPtr<IWICImagingFactory> factory_;
  std::map<std::string, Entry, std::less<>> entries_;
  std::map<std::tuple<std::string, int, int>, Bitmap> resampled_;
};

}  // namespace win32
