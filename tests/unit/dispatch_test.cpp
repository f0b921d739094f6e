#include "refresh/dispatch.h"

#include <gtest/gtest.h>

#include "support/fake_platform.h"

namespace {

using platform::Hwnd;

struct Browsers {
  fake::WindowManager wm;
  Hwnd ie = wm.openBrowser(BrowserKind::IE);
  Hwnd chrome = wm.openBrowser(BrowserKind::Chrome);
  Hwnd firefox = wm.openBrowser(BrowserKind::Firefox);
  Hwnd opera = wm.openBrowser(BrowserKind::Opera);
  std::vector<std::string> statuses;
  void send(const refresh::BrowserTicks& ticks) {
    refresh::sendF5(wm.desktop, ticks, [this](std::string_view s) { statuses.emplace_back(s); });
  }
};

void expectRefreshSequence(const std::vector<fake::Posted>& posted) {
  ASSERT_EQ(posted.size(), 3u);
  EXPECT_EQ(posted[0].msg, win32::kWmActivate);
  EXPECT_EQ(posted[0].wParam, win32::kWaActive);
  EXPECT_EQ(posted[1].msg, win32::kWmKeyDown);
  EXPECT_EQ(posted[1].wParam, static_cast<std::uintptr_t>(platform::kVkF5));
  EXPECT_EQ(posted[2].msg, win32::kWmKeyUp);
  EXPECT_EQ(posted[2].wParam, static_cast<std::uintptr_t>(platform::kVkF5));
  for (const fake::Posted& p : posted) EXPECT_EQ(p.lParam, 0);
}

// Each ticked browser that runs gets the whole sequence before the next one starts, in the fixed order; the
// status is cleared, then shows each handle in turn, 0 for a browser that is not running.
TEST(Dispatch, TickedBrowsersGetActivateF5DownF5UpInOrderAndTheStatusShowsEachHandle) {
  Browsers b;
  b.wm.destroyWindow(b.firefox);
  b.send({1, 1, 1, 1});
  const auto status = [](Hwnd hwnd) { return "#" + std::to_string(hwnd); };
  EXPECT_EQ(b.statuses,
            (std::vector<std::string>{"", status(b.ie), status(b.chrome), "#0", status(b.opera)}));
  std::uint64_t last = 0;
  for (Hwnd hwnd : {b.ie, b.chrome, b.opera}) {
    const auto& posted = b.wm.posted(hwnd);
    expectRefreshSequence(posted);
    if (!posted.empty()) {
      EXPECT_GE(posted.front().sequence, last) << "each browser is done before the next starts";
      last = posted.back().sequence;
    }
  }
  EXPECT_EQ(b.wm.totalPosted(), 9u);

  for (const refresh::BrowserTicks& none :
       {refresh::BrowserTicks{0, 0, 0, 0}, refresh::BrowserTicks{2, 2, 2, 2}}) {
    b.statuses.clear();
    b.send(none);
    EXPECT_EQ(b.statuses, std::vector<std::string>{""}) << "no tick (a greyed box, 2, is none): just cleared";
  }
  const Hwnd gone = b.wm.createWindow("IEFrame");
  b.wm.destroyWindow(gone);
  refresh::sendF5Key(b.wm.desktop, 0);
  refresh::sendF5Key(b.wm.desktop, gone);
  EXPECT_EQ(b.wm.totalPosted(), 9u) << "handle 0 and a vanished window are ignored";
}

}  // namespace
