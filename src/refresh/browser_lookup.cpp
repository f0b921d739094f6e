#include "refresh/browser_lookup.h"

namespace IELong {

const char* windowClass(BrowserKind kind) {
  switch (kind) {
    case BrowserKind::IE:
      return "IEFrame";
    case BrowserKind::Chrome:
      return "Chrome_WidgetWin_1";
    case BrowserKind::Firefox:
      return "MozillaWindowClass";
    case BrowserKind::Opera:
      return "OperaWindowClass";
  }
  return "";
}

platform::Hwnd getIEHwnd(platform::WindowManager& wm) { return wm.FindWindowA(windowClass(BrowserKind::IE)); }

platform::Hwnd getOperaHwnd(platform::WindowManager& wm) {
  return wm.FindWindowA(windowClass(BrowserKind::Opera));
}

platform::Hwnd getFirefoxHwnd(platform::WindowManager& wm) {
  return wm.FindWindowA(windowClass(BrowserKind::Firefox));
}

// Chrome registers more than one top-level window of its frame class; the frontmost of them is skipped and
// the next one in z-order is taken as the browser frame.
platform::Hwnd getChromeHwnd(platform::WindowManager& wm) {
  const char* cls = windowClass(BrowserKind::Chrome);
  const platform::Hwnd desktop = wm.GetDesktopWindow();
  const platform::Hwnd first = wm.FindWindowExA(desktop, 0, cls);
  return wm.FindWindowExA(desktop, first, cls);
}

platform::Hwnd lookup(platform::WindowManager& wm, BrowserKind kind) {
  switch (kind) {
    case BrowserKind::IE:
      return getIEHwnd(wm);
    case BrowserKind::Chrome:
      return getChromeHwnd(wm);
    case BrowserKind::Firefox:
      return getFirefoxHwnd(wm);
    case BrowserKind::Opera:
      return getOperaHwnd(wm);
  }
  return 0;
}

}  // namespace IELong
