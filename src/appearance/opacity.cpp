#include "appearance/opacity.h"

#include <algorithm>

namespace appearance {

void setOpacity(platform::WindowManager& wm, platform::Hwnd hwnd, int alpha) {
  const std::int32_t exStyle = wm.GetWindowLongA(hwnd, platform::kGwlExStyle);
  wm.SetWindowLongA(hwnd, platform::kGwlExStyle, exStyle | platform::kWsExLayered);
  wm.SetLayeredWindowAttributes(hwnd, 0, static_cast<std::uint8_t>(std::clamp(alpha, 0, 255)),
                                platform::kLwaAlpha);
}

}  // namespace appearance
