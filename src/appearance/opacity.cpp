#include "appearance/opacity.h"

#include <algorithm>

namespace appearance {

void setOpacity(platform::Desktop& desktop, platform::WindowId window, int alpha, platform::WindowId own) {
  const int floor = window == own ? kOwnWindowMinAlpha : 0;
  desktop.setOpacity(window, static_cast<std::uint8_t>(std::clamp(alpha, floor, 255)));
}

}  // namespace appearance
