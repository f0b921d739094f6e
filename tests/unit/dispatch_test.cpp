#include "refresh/dispatch.h"

#include <gtest/gtest.h>

#include "support/fake_platform.h"

namespace {

using platform::Hwnd;

// Each ticked browser that runs gets the whole sequence before the next one starts, in the fixed order; the
// status is cleared, then shows each handle in turn, 0 for a browser that is not running.
TEST(Dispatch, TickedBrowsersGetActivateF5DownF5UpInOrderAndTheStatusShowsEachHandle) {
  fake::WindowManager wm;
  const Hwnd ie = wm.openBrowser(BrowserKind::IE);
  const Hwnd chrome = wm.openBrowser(BrowserKind::Chrome);
  const Hwnd opera = wm.openBrowser(BrowserKind::Opera);  // Firefox is not running
  std::vector<std::string> statuses;
  const auto send = [&](const refresh::BrowserTicks& ticks) {
    refresh::sendF5(wm.desktop, ticks, [&](std::string_view s) { statuses.emplace_back(s); });
  };
  send({1, 1, 1, 1});
  const auto status = [](Hwnd hwnd) { return "#" + std::to_string(hwnd); };
  EXPECT_EQ(statuses, (std::vector<std::string>{"", status(ie), status(chrome), "#0", status(opera)}));
  const std::pair<std::uint32_t, std::uintptr_t> sequence[] = {{win32::kWmActivate, win32::kWaActive},
                                                               {win32::kWmKeyDown, platform::kVkF5},
                                                               {win32::kWmKeyUp, platform::kVkF5}};
  std::uint64_t next = 0;  // the order of posting across all windows
  for (Hwnd hwnd : {ie, chrome, opera}) {
    const auto& posted = wm.posted(hwnd);
    ASSERT_EQ(posted.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(std::pair(posted[i].msg, posted[i].wParam), sequence[i]);
      EXPECT_EQ(posted[i].lParam, 0);
      EXPECT_EQ(posted[i].sequence, next++) << "each browser is done before the next starts";
    }
  }

  for (const refresh::BrowserTicks& none :
       {refresh::BrowserTicks{0, 0, 0, 0}, refresh::BrowserTicks{2, 2, 2, 2}}) {
    statuses.clear();
    send(none);
    EXPECT_EQ(statuses, std::vector<std::string>{""}) << "no tick (a greyed box, 2, is none): just cleared";
  }
}

}  // namespace
