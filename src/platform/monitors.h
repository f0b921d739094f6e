// The desktop as a window system reports it to the program: its monitors, in physical pixels, each with its
// own scale. A host lists them; the portable rule of where the window opens (form/placement.h) reads them.
#pragma once

#include <cstdint>

#include "platform/units.h"

namespace platform {

// A point of the desktop in physical pixels (the primary monitor's top-left corner is 0, 0).
struct PixelPoint {
  std::int64_t x = 0, y = 0;
  friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

struct PixelRect {
  std::int64_t left = 0, top = 0, width = 0, height = 0;
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// One monitor: the part of it that windows may use (without task bars and docks) and its scale.
struct Monitor {
  PixelRect workArea;
  Dpi dpi;
  bool primary = false;
};

}  // namespace platform
