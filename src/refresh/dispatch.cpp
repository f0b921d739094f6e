#include "refresh/dispatch.h"

#include <charconv>

namespace refresh {

std::string getTargetHandles(platform::WindowManager& wm, const BrowserTicks& ticks) {
  std::string list;
  for (std::size_t i = 0; i < kBrowserOrder.size(); ++i) {
    if (ticks[i] != 1) continue;
    list += std::to_string(IELong::findBrowserWindow(wm, kBrowserOrder[i]));
    list += ',';
  }
  return list;
}

void sendF5Key(platform::WindowManager& wm, platform::Hwnd hwnd) {
  if (hwnd == 0) return;
  // Posted, not sent: a browser that is busy or hung must never hold up the save-key watcher.
  wm.PostMessageA(hwnd, platform::kWmActivate, platform::kWaActive, 0);
  wm.PostMessageA(hwnd, platform::kWmKeyDown, platform::kVkF5, 0);
  wm.PostMessageA(hwnd, platform::kWmKeyUp, platform::kVkF5, 0);
}

void sendF5(platform::WindowManager& wm, const BrowserTicks& ticks,
            const std::function<void(std::string_view)>& setStatus) {
  const std::string list = getTargetHandles(wm, ticks);
  setStatus("");
  std::string_view rest = list;
  while (!rest.empty()) {
    const std::size_t comma = rest.find(',');
    const std::string_view piece = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
    if (piece.empty()) continue;
    platform::Hwnd hwnd = 0;
    std::from_chars(piece.data(), piece.data() + piece.size(), hwnd);
    setStatus("#" + std::to_string(hwnd));
    sendF5Key(wm, hwnd);
  }
}

}  // namespace refresh
