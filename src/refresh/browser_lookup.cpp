#include "refresh/browser_lookup.h"

#include <algorithm>
#include <optional>
#include <string>

namespace IELong {

namespace {

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The floating picture-in-picture video window of Chrome and Firefox is always on top and has no minimise
// box. A frame the user pinned with our pin box is always on top too, but keeps its minimise box, so pinning
// never hides the frame from the next lookup (the one that releases it).
bool isFloatingVideoWindow(std::int32_t style, std::int32_t exStyle) {
  return (exStyle & platform::kWsExTopmost) && !(style & platform::kWsMinimizeBox);
}

bool isBrowserFrame(platform::WindowManager& wm, platform::Hwnd hwnd, std::string_view imageName) {
  if (!wm.IsWindowVisible(hwnd) || wm.GetWindow(hwnd, platform::kGwOwner) != 0) return false;
  const std::int32_t exStyle = wm.GetWindowLongA(hwnd, platform::kGwlExStyle);
  if (exStyle & platform::kWsExToolWindow) return false;
  if (isFloatingVideoWindow(wm.GetWindowLongA(hwnd, platform::kGwlStyle), exStyle)) return false;
  // Last, as it is the dearest: it opens the window's process. A process we may not open (one running as
  // administrator, say) is never guessed to be the browser.
  const std::uint32_t process = wm.GetWindowThreadProcessId(hwnd);
  if (process == 0) return false;
  const std::optional<std::string> image = wm.QueryFullProcessImageNameW(process);
  return image && isImageName(*image, imageName);
}

}  // namespace

const BrowserWindowRule& ruleFor(BrowserKind kind) {
  const auto* rule = std::find_if(kBrowserWindowRules.begin(), kBrowserWindowRules.end(),
                                  [kind](const BrowserWindowRule& r) { return r.kind == kind; });
  return rule != kBrowserWindowRules.end() ? *rule : kBrowserWindowRules.front();
}

bool isImageName(std::string_view fullPath, std::string_view fileName) {
  const std::size_t slash = fullPath.find_last_of("\\/");
  const std::string_view last = slash == std::string_view::npos ? fullPath : fullPath.substr(slash + 1);
  return std::equal(last.begin(), last.end(), fileName.begin(), fileName.end(),
                    [](char a, char b) { return lowerAscii(a) == lowerAscii(b); });
}

platform::Hwnd findBrowserWindow(platform::WindowManager& wm, BrowserKind kind) {
  const BrowserWindowRule& rule = ruleFor(kind);
  const platform::Hwnd desktop = wm.GetDesktopWindow();
  for (platform::Hwnd hwnd = wm.FindWindowExA(desktop, 0, rule.windowClass); hwnd != 0;
       hwnd = wm.FindWindowExA(desktop, hwnd, rule.windowClass)) {
    if (isBrowserFrame(wm, hwnd, rule.imageName)) return hwnd;
  }
  return 0;
}

platform::Hwnd getIEHwnd(platform::WindowManager& wm) { return findBrowserWindow(wm, BrowserKind::IE); }
platform::Hwnd getOperaHwnd(platform::WindowManager& wm) { return findBrowserWindow(wm, BrowserKind::Opera); }
platform::Hwnd getFirefoxHwnd(platform::WindowManager& wm) {
  return findBrowserWindow(wm, BrowserKind::Firefox);
}
platform::Hwnd getChromeHwnd(platform::WindowManager& wm) {
  return findBrowserWindow(wm, BrowserKind::Chrome);
}

}  // namespace IELong
