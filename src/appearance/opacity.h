// Window translucency: a constant alpha for the whole window.
#pragma once

#include "platform/platform.h"

namespace appearance {

// Draws the window with a constant alpha; 0 is invisible, 255 opaque. Values outside that range are clamped.
// Failures are ignored.
void setOpacity(platform::Desktop& desktop, platform::Hwnd hwnd, int alpha);

}  // namespace appearance
