#include "appearance/topmost.h"

namespace ModMain {

void setTopMost(platform::Desktop& desktop, platform::Hwnd hwnd) { desktop.setAbove(hwnd, true); }

void setNoTopMost(platform::Desktop& desktop, platform::Hwnd hwnd) { desktop.setAbove(hwnd, false); }

}  // namespace ModMain
