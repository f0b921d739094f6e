// The monitors of the GDK display, for placing the window at start-up.
#pragma once

#include <vector>

#include "platform/monitors.h"

namespace gtk {

// Each monitor's work area in GDK's logical pixels, at 96 dpi: GDK applies its scale factor to the whole
// desktop, the program's window included. Empty when there is no display.
std::vector<platform::Monitor> monitors();

}  // namespace gtk
