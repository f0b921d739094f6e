#include "refresh/browser_lookup.h"

namespace browser_lookup {

platform::Hwnd getIEHwnd(platform::Desktop& desktop) { return desktop.findBrowserWindow(BrowserKind::IE); }
platform::Hwnd getOperaHwnd(platform::Desktop& desktop) {
  return desktop.findBrowserWindow(BrowserKind::Opera);
}
platform::Hwnd getFirefoxHwnd(platform::Desktop& desktop) {
  return desktop.findBrowserWindow(BrowserKind::Firefox);
}
platform::Hwnd getChromeHwnd(platform::Desktop& desktop) {
  return desktop.findBrowserWindow(BrowserKind::Chrome);
}

platform::Hwnd lookup(platform::Desktop& desktop, BrowserKind kind) {
  switch (kind) {
    case BrowserKind::IE:
      return getIEHwnd(desktop);
    case BrowserKind::Chrome:
      return getChromeHwnd(desktop);
    case BrowserKind::Firefox:
      return getFirefoxHwnd(desktop);
    case BrowserKind::Opera:
      return getOperaHwnd(desktop);
  }
  return 0;
}

}  // namespace browser_lookup
