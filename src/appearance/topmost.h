// Moving windows into and out of the always-on-top band, keeping their position and size.
#pragma once

#include "platform/platform.h"

namespace ModMain {

void setTopMost(platform::Desktop& desktop, platform::Hwnd hwnd);
void setNoTopMost(platform::Desktop& desktop, platform::Hwnd hwnd);

}  // namespace ModMain
