#include "platform/win32/user32_desktop.h"

#include <algorithm>
#include <optional>
#include <string>

namespace win32 {

namespace {

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The floating picture-in-picture video window of Chrome and Firefox is always on top and has no minimise
// box. A frame the user pinned with our pin box is always on top too, but keeps its minimise box, so pinning
// never hides the frame from the next lookup (the one that releases it).
bool isFloatingVideoWindow(std::int32_t style, std::int32_t exStyle) {
  return (exStyle & kWsExTopmost) && !(style & kWsMinimizeBox);
}

}  // namespace

const BrowserWindowRule& ruleFor(platform::BrowserKind kind) {
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

bool User32Desktop::isBrowserFrame(Hwnd hwnd, std::string_view imageName) {
  if (!user32_.IsWindowVisible(hwnd) || user32_.GetWindow(hwnd, kGwOwner) != 0) return false;
  const std::int32_t exStyle = user32_.GetWindowLongA(hwnd, kGwlExStyle);
  if (exStyle & kWsExToolWindow) return false;
  if (isFloatingVideoWindow(user32_.GetWindowLongA(hwnd, kGwlStyle), exStyle)) return false;
  // Last, as it is the dearest: it opens the window's process. A process we may not open (one running as
  // administrator, say) is never guessed to be the browser.
  const std::uint32_t process = user32_.GetWindowThreadProcessId(hwnd);
  if (process == 0) return false;
  const std::optional<std::string> image = user32_.QueryFullProcessImageNameW(process);
  return image && isImageName(*image, imageName);
}

Hwnd User32Desktop::findBrowserWindow(platform::BrowserKind kind) {
  const BrowserWindowRule& rule = ruleFor(kind);
  const Hwnd desktop = user32_.GetDesktopWindow();
  for (Hwnd hwnd = user32_.FindWindowExA(desktop, 0, rule.windowClass); hwnd != 0;
       hwnd = user32_.FindWindowExA(desktop, hwnd, rule.windowClass)) {
    if (isBrowserFrame(hwnd, rule.imageName)) return hwnd;
  }
  return 0;
}

void User32Desktop::deliverRefresh(Hwnd window) {
  if (window == 0) return;
  // Posted, not sent: a browser that is busy or hung must never hold up the save-key watcher.
  user32_.PostMessageA(window, kWmActivate, kWaActive, 0);
  user32_.PostMessageA(window, kWmKeyDown, platform::kVkF5, 0);
  user32_.PostMessageA(window, kWmKeyUp, platform::kVkF5, 0);
}

void User32Desktop::setOpacity(Hwnd window, std::uint8_t alpha) {
  if (window == 0) return;
  const std::int32_t exStyle = user32_.GetWindowLongA(window, kGwlExStyle);
  user32_.SetWindowLongA(window, kGwlExStyle, exStyle | kWsExLayered);
  user32_.SetLayeredWindowAttributes(window, 0, alpha, kLwaAlpha);
}

void User32Desktop::setAbove(Hwnd window, bool above) {
  if (window == 0) return;
  user32_.SetWindowPos(window, above ? kHwndTopmost : kHwndNoTopmost, 0, 0, 0, 0, kSwpNoMove | kSwpNoSize);
}

}  // namespace win32
