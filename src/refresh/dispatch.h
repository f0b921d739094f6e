// Refreshing the selected browsers: their windows are looked up and each is asked to act as if F5 were
// pressed (on Windows: activate, F5 down, F5 up, posted).
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "refresh/browser_lookup.h"

namespace refresh {

// The tick value of each browser, indexed in kBrowserOrder; only exactly 1 counts as selected.
using BrowserTicks = std::array<int, kBrowserOrder.size()>;

// The handle of every selected browser in decimal, each followed by a comma, in the order IE, Chrome,
// Firefox, Opera; "0" stands for a selected browser that is not running. Only selected browsers are looked
// up.
std::string getTargetHandles(platform::Desktop& desktop, const BrowserTicks& ticks);

// Delivers the refresh to one window; does nothing for handle 0. Delivery never waits for the window.
void sendF5Key(platform::Desktop& desktop, platform::Hwnd hwnd);

// Refreshes every selected browser. The status text is cleared first, then shows "#" and each handle as it is
// processed, so it ends on the last one ("#0" when that browser is not running).
void sendF5(platform::Desktop& desktop, const BrowserTicks& ticks,
            const std::function<void(std::string_view)>& setStatus);

}  // namespace refresh
