// Moving windows into and out of the always-on-top band, keeping their position and size.
#pragma once

#include "platform/platform.h"

namespace ModMain {

void setTopMost(platform::WindowManager& wm, platform::Hwnd hwnd);
void setNoTopMost(platform::WindowManager& wm, platform::Hwnd hwnd);

}  // namespace ModMain
