// Which top-level window belongs to each browser. Looked up afresh at every use: nothing keeps a handle, so a
// browser started or closed while the program runs is picked up at the next call.
#pragma once

#include <array>
#include <cstdint>

#include "platform/platform.h"

enum class BrowserKind : std::uint8_t { IE, Chrome, Firefox, Opera };

// The fixed order in which browsers are listed, refreshed and stored.
inline constexpr std::array<BrowserKind, 4> kBrowserOrder = {BrowserKind::IE, BrowserKind::Chrome,
                                                             BrowserKind::Firefox, BrowserKind::Opera};

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
