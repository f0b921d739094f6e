// Window translucency: a constant alpha for the whole window.
#pragma once

#include "platform/platform.h"

namespace appearance {

// The faintest the program makes its own window: the lowest level the digit keys offer. Fainter, a window
// pinned above everything could no longer be seen or found to be clicked.
inline constexpr int kOwnWindowMinAlpha = 25;

// Draws the window with a constant alpha, 0 (invisible) to 255 (opaque); values outside are clamped. The
// program's own window is never made fainter than kOwnWindowMinAlpha.
void setOpacity(platform::Desktop& desktop, platform::WindowId window, int alpha, platform::WindowId own);

}  // namespace appearance
