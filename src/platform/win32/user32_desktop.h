// The refresh side of the platform on Windows, written against user32's operations only: which top-level
// window is a browser's own frame, how each browser's engine is asked to reload, layered alpha and the
// always-on-top band.
#pragma once

#include <array>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/user32.h"

namespace win32 {

// What a browser's frame acts on, as read from the browsers' own sources.
enum class Engine : std::uint8_t {
  // Chromium: a posted F5 is dropped unless the browser believes it is active and its page is visible, but
  // its browser command (WM_APPCOMMAND) reloads in every layout. A posted activation makes a minimised
  // Chromium restore itself and take the foreground, so a minimised one is sent nothing until it is shown.
  Chromium,
  // Gecko (Firefox): takes a posted F5 in any state; a posted activation only leaves a flag behind.
  Gecko,
  // Internet Explorer and the Opera before 2013: activate, F5 down, F5 up.
  Legacy,
};

// How a browser's frames are recognised: the class of the frame and the file name of the program that made
// it. The class alone is not enough: every Chromium browser and every Electron program shares Chrome's frame
// class, and Thunderbird shares Firefox's.
struct BrowserWindowRule {
  platform::Browser browser;
  const char* windowClass;
  std::string_view imageName;
  Engine engine;
};

// The classes are those the browsers register (Chromium: ui/gfx/win/window_impl.cc, "Chrome_WidgetWin_" and
// a number, 1 for browser frames; Firefox: widget/windows/nsWindow.cpp, "MozillaWindowClass"); the program
// names are the installers' defaults. Rows marked "not checked here" could not be run on this project's
// machines; they follow the browsers' documentation.
inline constexpr std::array<BrowserWindowRule, 11> kBrowserWindowRules = {{
    // Google Chrome, and Chromium's own builds, which keep the name.
    {platform::Browser::Chrome, "Chrome_WidgetWin_1", "chrome.exe", Engine::Chromium},
    // Microsoft Edge (not checked here).
    {platform::Browser::Edge, "Chrome_WidgetWin_1", "msedge.exe", Engine::Chromium},
    // Brave (not checked here).
    {platform::Browser::Brave, "Chrome_WidgetWin_1", "brave.exe", Engine::Chromium},
    // Vivaldi (not checked here).
    {platform::Browser::Vivaldi, "Chrome_WidgetWin_1", "vivaldi.exe", Engine::Chromium},
    // Firefox, ESR, Developer Edition and Nightly all run firefox.exe.
    {platform::Browser::Firefox, "MozillaWindowClass", "firefox.exe", Engine::Gecko},
    // LibreWolf, Waterfox and Zen (not checked here).
    {platform::Browser::LibreWolf, "MozillaWindowClass", "librewolf.exe", Engine::Gecko},
    {platform::Browser::Waterfox, "MozillaWindowClass", "waterfox.exe", Engine::Gecko},
    {platform::Browser::Zen, "MozillaWindowClass", "zen.exe", Engine::Gecko},
    // Opera since 2013 is Chromium under its own name (Opera GX too); before, its own engine and class.
    {platform::Browser::Opera, "Chrome_WidgetWin_1", "opera.exe", Engine::Chromium},
    {platform::Browser::Opera, "OperaWindowClass", "opera.exe", Engine::Legacy},
    // Internet Explorer: retired in 2022, found only on old systems.
    {platform::Browser::InternetExplorer, "IEFrame", "iexplore.exe", Engine::Legacy},
}};

// Whether a program's full path names exactly this file, compared without regard to ASCII case: the whole
// name after the last backslash or slash, so "xchrome.exe" is not "chrome.exe".
bool isImageName(std::string_view fullPath, std::string_view fileName);

class User32Desktop final : public platform::Desktop {
 public:
  explicit User32Desktop(User32& user32) : user32_(user32) {}
  ~User32Desktop() override;
  User32Desktop(const User32Desktop&) = delete;
  User32Desktop& operator=(const User32Desktop&) = delete;

  // A browser's frame is a top-level window of its class made by its own program, visible (minimised
  // counts), without an owner, not a tool window and not its floating video window. A cloaked frame is on
  // another virtual desktop.
  std::vector<platform::BrowserFrame> findFrames(std::span<const platform::Browser> browsers) override;
  // By the frame's engine, all posted: never waits for the browser, never brings it forward, never touches
  // the keyboard state. A Chromium frame that is minimised or on another desktop is owed one refresh, sent
  // as soon as it is shown.
  void refresh(const platform::BrowserFrame& frame) override;
  // Makes the window layered (the style stays for the window's life) and sets its constant alpha.
  void setOpacity(platform::WindowId window, std::uint8_t alpha) override;
  void setAbove(platform::WindowId window, bool above) override;

 private:
  const BrowserWindowRule* frameRule(Hwnd hwnd, std::span<const platform::Browser> browsers);
  bool hidden(Hwnd hwnd) { return user32_.IsIconic(hwnd) || user32_.isCloaked(hwnd); }
  void askChromium(Hwnd hwnd);
  // Sends what is owed to every owed frame that is shown now.
  void deliverOwed();

  User32& user32_;
  std::vector<Hwnd> owed_;  // Chromium frames owed a refresh until they are shown
};

}  // namespace win32
