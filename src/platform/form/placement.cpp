#include "platform/form/placement.h"

#include <algorithm>

namespace form {

namespace {

using platform::toPixels;

std::int64_t overlap(std::int64_t start, std::int64_t length, std::int64_t areaStart,
                     std::int64_t areaLength) {
  return std::max<std::int64_t>(
      0, std::min(start + length, areaStart + areaLength) - std::max(start, areaStart));
}

}  // namespace

Placement startPlacement(std::optional<platform::PixelPoint> stored,
                         std::span<const platform::Monitor> monitors, int clientWidth, int clientHeight) {
  if (monitors.empty()) return {};
  if (stored) {
    for (const platform::Monitor& monitor : monitors) {
      const std::int64_t width = toPixels(clientWidth, monitor.dpi);
      const std::int64_t height = toPixels(clientHeight, monitor.dpi);
      const platform::PixelRect& area = monitor.workArea;
      const std::int64_t seen = overlap(stored->x, width, area.left, area.width) *
                                overlap(stored->y, height, area.top, area.height);
      if (seen * 2 >= width * height) return {*stored, monitor.dpi};
    }
  }
  const auto primary =
      std::find_if(monitors.begin(), monitors.end(), [](const auto& m) { return m.primary; });
  const platform::Monitor& home = primary != monitors.end() ? *primary : monitors.front();
  const platform::PixelRect& area = home.workArea;
  return {{area.left + (area.width - toPixels(clientWidth, home.dpi)) / 2,
           area.top + (area.height - toPixels(clientHeight, home.dpi)) / 2},
          home.dpi};
}

}  // namespace form
