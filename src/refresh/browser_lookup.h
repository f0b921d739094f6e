// Which top-level window belongs to each browser. Looked up afresh at every use: nothing keeps a handle, so a
// browser started or closed while the program runs is picked up at the next call. How a browser's window is
// recognised is the window system's own table (see platform::Desktop).
#pragma once

#include "platform/platform.h"

using platform::BrowserKind;
using platform::kBrowserOrder;

namespace browser_lookup {

platform::Hwnd getIEHwnd(platform::Desktop& desktop);
platform::Hwnd getOperaHwnd(platform::Desktop& desktop);
platform::Hwnd getFirefoxHwnd(platform::Desktop& desktop);
platform::Hwnd getChromeHwnd(platform::Desktop& desktop);

// The lookup of the given browser: one of the four above.
platform::Hwnd lookup(platform::Desktop& desktop, BrowserKind kind);

}  // namespace browser_lookup
