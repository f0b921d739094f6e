// Which top-level window belongs to each browser. Looked up afresh at every use: nothing keeps a handle, so a
// browser started or closed while the program runs is picked up at the next call.
#pragma once

#include <array>
#include <cstdint>

#include "platform/platform.h"

using platform::BrowserKind;
using platform::kBrowserOrder;

namespace IELong {

// The top-level window class each browser registers.
const char* windowClass(BrowserKind kind);

platform::Hwnd getIEHwnd(platform::WindowManager& wm);
platform::Hwnd getOperaHwnd(platform::WindowManager& wm);
platform::Hwnd getFirefoxHwnd(platform::WindowManager& wm);
platform::Hwnd getChromeHwnd(platform::WindowManager& wm);

// The lookup of the given browser: one of the four above.
platform::Hwnd lookup(platform::WindowManager& wm, BrowserKind kind);

}  // namespace IELong
