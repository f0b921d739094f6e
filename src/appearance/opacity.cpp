#include "appearance/opacity.h"

#include <algorithm>

namespace appearance {

void setOpacity(platform::Desktop& desktop, platform::Hwnd hwnd, int alpha) {
  desktop.setOpacity(hwnd, static_cast<std::uint8_t>(std::clamp(alpha, 0, 255)));
}

}  // namespace appearance
