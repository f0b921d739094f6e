// Which top-level window belongs to each browser. Looked up afresh at every use: nothing keeps a handle, so a
// browser started or closed while the program runs is picked up at the next call.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/platform.h"

using platform::BrowserKind;
using platform::kBrowserOrder;

namespace IELong {

// How a browser's windows are recognised: the class of its top-level frame, and the file name of its program.
// The class alone is not enough: every Chromium browser and every Electron editor shares Chrome's frame
// class, and Thunderbird shares Firefox's.
struct BrowserWindowRule {
  BrowserKind kind;
  const char* windowClass;
  std::string_view imageName;
};

inline constexpr std::array<BrowserWindowRule, 4> kBrowserWindowRules = {{
    {BrowserKind::IE, "IEFrame", "iexplore.exe"},
    {BrowserKind::Chrome, "Chrome_WidgetWin_1", "chrome.exe"},
    {BrowserKind::Firefox, "MozillaWindowClass", "firefox.exe"},
    {BrowserKind::Opera, "OperaWindowClass", "opera.exe"},
}};

const BrowserWindowRule& ruleFor(BrowserKind kind);

// Whether a program's full path names exactly this file, compared without regard to ASCII case: the whole
// name after the last backslash or slash, so "xchrome.exe" is not "chrome.exe".
bool isImageName(std::string_view fullPath, std::string_view fileName);

// The browser's frontmost top-level window that is its own frame: of its class, made by its own program,
// visible (minimised counts), without an owner, not a tool window and not its floating video window.
// 0 when there is none.
platform::Hwnd findBrowserWindow(platform::WindowManager& wm, BrowserKind kind);

platform::Hwnd getIEHwnd(platform::WindowManager& wm);
platform::Hwnd getOperaHwnd(platform::WindowManager& wm);
platform::Hwnd getFirefoxHwnd(platform::WindowManager& wm);
platform::Hwnd getChromeHwnd(platform::WindowManager& wm);

}  // namespace IELong
