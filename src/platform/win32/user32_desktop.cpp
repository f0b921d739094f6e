#include "platform/win32/user32_desktop.h"

#include <algorithm>
#include <optional>
#include <string>

namespace win32 {

namespace {

constexpr int kVkF5 = 0x74;
// F5's key messages as a keyboard posts them: repeat count 1 and F5's scan code; a release also marks the
// key as down before and going up.
constexpr std::intptr_t kF5DownLParam = 0x003F0001;
constexpr std::intptr_t kF5UpLParam = static_cast<std::intptr_t>(0xC03F0001u);
// MAKELPARAM(0, FAPPCOMMAND_OEM | APPCOMMAND_BROWSER_REFRESH): a browser command, from no key and no mouse.
constexpr std::intptr_t kRefreshCommand = static_cast<std::intptr_t>(kFAppCommandOem | kAppCommandBrowserRefresh)
                                          << 16;

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The floating picture-in-picture video window of Chrome and Firefox is always on top and has no minimise
// box. A frame the user pinned with our pin box is always on top too, but keeps its minimise box, so pinning
// never hides the frame from the next lookup (the one that releases it).
bool isFloatingVideoWindow(std::int32_t style, std::int32_t exStyle) {
  return (exStyle & kWsExTopmost) && !(style & kWsMinimizeBox);
}

Hwnd hwndOf(platform::WindowId window) { return window.value; }

}  // namespace

bool isImageName(std::string_view fullPath, std::string_view fileName) {
  const std::size_t slash = fullPath.find_last_of("\\/");
  const std::string_view last = slash == std::string_view::npos ? fullPath : fullPath.substr(slash + 1);
  return std::ranges::equal(last, fileName, [](char a, char b) { return lowerAscii(a) == lowerAscii(b); });
}

User32Desktop::~User32Desktop() {
  if (!owed_.empty()) user32_.watchShownWindows(nullptr);
}

// The rule of the browsers asked for that makes this window one of their frames, or null.
const BrowserWindowRule* User32Desktop::frameRule(Hwnd hwnd, std::span<const platform::Browser> browsers) {
  const std::string className = user32_.GetClassNameA(hwnd);
  std::vector<const BrowserWindowRule*> candidates;
  for (const BrowserWindowRule& rule : kBrowserWindowRules) {
    if (className == rule.windowClass && std::ranges::find(browsers, rule.browser) != browsers.end())
      candidates.push_back(&rule);
  }
  if (candidates.empty()) return nullptr;
  if (!user32_.IsWindowVisible(hwnd) || user32_.GetWindow(hwnd, kGwOwner) != 0) return nullptr;
  const std::int32_t exStyle = user32_.GetWindowLongA(hwnd, kGwlExStyle);
  if (exStyle & kWsExToolWindow) return nullptr;
  if (isFloatingVideoWindow(user32_.GetWindowLongA(hwnd, kGwlStyle), exStyle)) return nullptr;
  // Last, as it is the dearest: it opens the window's process. A process we may not open (one running as
  // administrator, say) is never guessed to be the browser.
  const std::uint32_t process = user32_.GetWindowThreadProcessId(hwnd);
  const std::optional<std::string> image = process ? user32_.QueryFullProcessImageNameW(process) : std::nullopt;
  if (!image) return nullptr;
  const auto rule = std::ranges::find_if(candidates, [&](const auto* r) { return isImageName(*image, r->imageName); });
  return rule == candidates.end() ? nullptr : *rule;
}

std::vector<platform::BrowserFrame> User32Desktop::findFrames(std::span<const platform::Browser> browsers) {
  std::vector<platform::BrowserFrame> visible, elsewhere;
  const auto found = [&](platform::Browser browser) {
    const auto same = [browser](const platform::BrowserFrame& f) { return f.browser == browser; };
    return std::ranges::any_of(visible, same) || std::ranges::any_of(elsewhere, same);
  };
  const Hwnd desktop = user32_.GetDesktopWindow();
  for (Hwnd hwnd = user32_.FindWindowExA(desktop, 0, nullptr); hwnd != 0;
       hwnd = user32_.FindWindowExA(desktop, hwnd, nullptr)) {
    const BrowserWindowRule* rule = frameRule(hwnd, browsers);
    if (!rule) continue;
    const platform::BrowserFrame frame{{hwnd}, rule->browser};
    if (!user32_.isCloaked(hwnd)) {
      // The frontmost frame on the desktop the user sees wins over one in front of it elsewhere.
      std::erase_if(elsewhere, [&](const platform::BrowserFrame& f) { return f.browser == rule->browser; });
      if (std::ranges::none_of(visible, [&](const auto& f) { return f.browser == rule->browser; }))
        visible.push_back(frame);
    } else if (!found(rule->browser)) {
      elsewhere.push_back(frame);
    }
  }
  visible.insert(visible.end(), elsewhere.begin(), elsewhere.end());
  return visible;
}

void User32Desktop::refresh(const platform::BrowserFrame& frame) {
  const Hwnd hwnd = hwndOf(frame.window);
  const std::string className = user32_.GetClassNameA(hwnd);
  const auto* rule = std::ranges::find_if(kBrowserWindowRules, [&](const BrowserWindowRule& r) {
    return r.browser == frame.browser && className == r.windowClass;
  });
  if (rule == kBrowserWindowRules.end()) return;
  // Posted, not sent: a browser that is busy or hung must never hold up the program.
  switch (rule->engine) {
    case Engine::Chromium:
      if (!hidden(hwnd)) {
        askChromium(hwnd);
      } else if (std::ranges::find(owed_, hwnd) == owed_.end()) {
        if (owed_.empty()) user32_.watchShownWindows([this](Hwnd shownWindow) { shown(shownWindow); });
        owed_.push_back(hwnd);
      }
      break;
    case Engine::Gecko:
      user32_.PostMessageA(hwnd, kWmKeyDown, kVkF5, kF5DownLParam);
      user32_.PostMessageA(hwnd, kWmKeyUp, kVkF5, kF5UpLParam);
      break;
    case Engine::Legacy:
      user32_.PostMessageA(hwnd, kWmActivate, kWaActive, 0);
      user32_.PostMessageA(hwnd, kWmKeyDown, kVkF5, 0);
      user32_.PostMessageA(hwnd, kWmKeyUp, kVkF5, 0);
      break;
  }
}

// The reload focuses the tab, which would activate a Chromium that does not believe it is active for real
// (restored, raised, in front of the editor): the posted activation comes first. No deactivation follows:
// the activation leaves Chromium's thread believing the frame is its active window, and a posted
// deactivation could leave it without a focused view when the user really switches to it.
void User32Desktop::askChromium(Hwnd hwnd) {
  user32_.PostMessageA(hwnd, kWmActivate, kWaActive, 0);
  user32_.PostMessageA(hwnd, kWmAppCommand, static_cast<std::uintptr_t>(hwnd), kRefreshCommand);
}

void User32Desktop::shown(Hwnd hwnd) {
  std::erase_if(owed_, [this](Hwnd owed) { return !user32_.IsWindow(owed); });
  if (const auto owed = std::ranges::find(owed_, hwnd); owed != owed_.end() && !hidden(hwnd)) {
    owed_.erase(owed);
    askChromium(hwnd);
  }
  if (owed_.empty()) user32_.watchShownWindows(nullptr);
}

void User32Desktop::setOpacity(platform::WindowId window, std::uint8_t alpha) {
  if (!window) return;
  const Hwnd hwnd = hwndOf(window);
  const std::int32_t exStyle = user32_.GetWindowLongA(hwnd, kGwlExStyle);
  user32_.SetWindowLongA(hwnd, kGwlExStyle, exStyle | kWsExLayered);
  user32_.SetLayeredWindowAttributes(hwnd, 0, alpha, kLwaAlpha);
}

void User32Desktop::setAbove(platform::WindowId window, bool above) {
  if (!window) return;
  user32_.SetWindowPos(hwndOf(window), above ? kHwndTopmost : kHwndNoTopmost, 0, 0, 0, 0,
                       kSwpNoMove | kSwpNoSize | kSwpNoActivate);
}

}  // namespace win32
