// The refresh side of the platform on Windows, written against user32's operations only: which top-level
// window is a browser's own frame, the posted refresh, layered alpha and the always-on-top band.
#pragma once

#include <array>
#include <string_view>

#include "platform/platform.h"
#include "platform/win32/user32.h"

namespace win32 {

// How a browser's windows are recognised: the class of its top-level frame, and the file name of its program.
// The class alone is not enough: every Chromium browser and every Electron editor shares Chrome's frame
// class, and Thunderbird shares Firefox's.
struct BrowserWindowRule {
  platform::BrowserKind kind;
  const char* windowClass;
  std::string_view imageName;
};

inline constexpr std::array<BrowserWindowRule, 4> kBrowserWindowRules = {{
    {platform::BrowserKind::IE, "IEFrame", "iexplore.exe"},
    {platform::BrowserKind::Chrome, "Chrome_WidgetWin_1", "chrome.exe"},
    {platform::BrowserKind::Firefox, "MozillaWindowClass", "firefox.exe"},
    {platform::BrowserKind::Opera, "OperaWindowClass", "opera.exe"},
}};

const BrowserWindowRule& ruleFor(platform::BrowserKind kind);

// Whether a program's full path names exactly this file, compared without regard to ASCII case: the whole
// name after the last backslash or slash, so "xchrome.exe" is not "chrome.exe".
bool isImageName(std::string_view fullPath, std::string_view fileName);

class User32Desktop final : public platform::Desktop {
 public:
  explicit User32Desktop(User32& user32) : user32_(user32) {}

  // The browser's frontmost top-level window that is its own frame: of its class, made by its own program,
  // visible (minimised counts), without an owner, not a tool window and not its floating video window.
  Hwnd findBrowserWindow(platform::BrowserKind kind) override;
  // Posts activate, F5 down and F5 up: never waits for the browser, never brings it forward, never touches
  // the keyboard state.
  void deliverRefresh(Hwnd window) override;
  // Makes the window layered (the style stays for the window's life) and sets its constant alpha.
  void setOpacity(Hwnd window, std::uint8_t alpha) override;
  void setAbove(Hwnd window, bool above) override;

 private:
  bool isBrowserFrame(Hwnd hwnd, std::string_view imageName);

  User32& user32_;
};

}  // namespace win32
