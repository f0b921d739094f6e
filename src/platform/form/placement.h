// Where the window opens: the place the user left it, when enough of it would be seen there, or else the
// middle of the primary monitor. Any host calls this with its window system's monitors before it makes the
// window, so the window appears in its place at once, without a visible jump.
#pragma once

#include <optional>
#include <span>

#include "platform/monitors.h"

namespace form {

struct Placement {
  platform::PixelPoint at;  // the window's top-left corner
  platform::Dpi dpi;        // the scale of the monitor it opens on
};

// The stored place is used when at least half of the window (its client size in twips, at that monitor's
// scale) lies inside one monitor's work area; otherwise, and when nothing is stored, the window is centred on
// the primary monitor's work area. Without any monitor it opens at the desktop's corner.
Placement startPlacement(std::optional<platform::PixelPoint> stored,
                         std::span<const platform::Monitor> monitors, int clientWidth, int clientHeight);

}  // namespace form
