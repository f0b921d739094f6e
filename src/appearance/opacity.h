// Window translucency through the layered-window alpha.
#pragma once

#include "platform/platform.h"

namespace appearance {

// Makes the window layered (the style stays for the window's life) and draws it with a constant alpha;
// 0 is invisible, 255 opaque. Values outside that range are clamped. Failures are ignored.
void setOpacity(platform::WindowManager& wm, platform::Hwnd hwnd, int alpha);

}  // namespace appearance
