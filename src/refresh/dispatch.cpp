#include "refresh/dispatch.h"

#include <charconv>

namespace refresh {

std::string getTargetHandles(platform::Desktop& desktop, const BrowserTicks& ticks) {
  std::string list;
  for (std::size_t i = 0; i < kBrowserOrder.size(); ++i) {
    if (ticks[i] != 1) continue;
    list += std::to_string(browser_lookup::lookup(desktop, kBrowserOrder[i]));
    list += ',';
  }
  return list;
}

void sendF5Key(platform::Desktop& desktop, platform::Hwnd hwnd) {
  if (hwnd != 0) desktop.deliverRefresh(hwnd);
}

void sendF5(platform::Desktop& desktop, const BrowserTicks& ticks,
            const std::function<void(std::string_view)>& setStatus) {
  const std::string list = getTargetHandles(desktop, ticks);
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
    sendF5Key(desktop, hwnd);
  }
}

}  // namespace refresh
