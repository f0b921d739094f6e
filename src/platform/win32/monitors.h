// The desktop's monitors as Windows reports them, for the rule of where the window opens.
#pragma once

#include <vector>

#include "platform/monitors.h"

namespace win32 {

// Every monitor with its work area (the screen without the task bar) in physical pixels and its scale.
std::vector<platform::Monitor> monitors();

}  // namespace win32
