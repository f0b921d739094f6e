// How each browser's windows are recognised on X11: the class its windows carry in WM_CLASS together with
// the file name of the program that made them. Both must agree, so an editor or mail client that borrows a
// browser's toolkit (and sometimes its window class) is never taken for the browser.
#pragma once

#include <array>
#include <string_view>

#include "platform/platform.h"

namespace x11 {

// How a browser takes the F5 it is sent.
enum class Delivery : std::uint8_t {
  // Takes a key sent straight to its window, whether it is active or not.
  Direct,
  // Drops keys unless it believes it is active and its page is visible (every Chromium-based browser).
  WhileActive,
};

struct BrowserProgram {
  platform::BrowserKind kind;
  std::string_view windowClass;  // WM_CLASS class, compared without case
  std::string_view executable;   // the file name of /proc/PID/exe, compared exactly
  Delivery delivery;
};

// Internet Explorer has no row: it does not exist on Linux, so its tile finds nothing.
inline constexpr std::array kBrowserPrograms = {
    BrowserProgram{platform::BrowserKind::Chrome, "Chromium", "chromium", Delivery::WhileActive},
    // The Snap package of Chromium runs Chromium's own binary, named chrome.
    BrowserProgram{platform::BrowserKind::Chrome, "Chromium", "chrome", Delivery::WhileActive},
    BrowserProgram{platform::BrowserKind::Chrome, "Chromium-browser", "chromium-browser",
                   Delivery::WhileActive},
    BrowserProgram{platform::BrowserKind::Chrome, "Google-chrome", "chrome", Delivery::WhileActive},
    BrowserProgram{platform::BrowserKind::Firefox, "firefox", "firefox", Delivery::Direct},
    BrowserProgram{platform::BrowserKind::Firefox, "firefox", "firefox-bin", Delivery::Direct},
    BrowserProgram{platform::BrowserKind::Firefox, "firefox-esr", "firefox-esr", Delivery::Direct},
    BrowserProgram{platform::BrowserKind::Opera, "Opera", "opera", Delivery::WhileActive},
};

// The row that a window of this class made by this program matches, or null when it is no browser's.
const BrowserProgram* findBrowserProgram(std::string_view windowClass, std::string_view executable);

}  // namespace x11
