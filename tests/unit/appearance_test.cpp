#include <gtest/gtest.h>

#include "app_fixture.h"
#include "platform/platform.h"

namespace {

using platform::BrowserKind;
using testing_app::App;

class Appearance : public App {
 protected:
  std::optional<std::uint8_t> alpha(platform::Hwnd hwnd) { return p.wm.window(hwnd)->alpha; }
  bool pinned(platform::Hwnd hwnd) { return p.wm.window(hwnd)->exStyle & win32::kWsExTopmost; }
};

// Digit keys fade the program's own window, with or without Alt, and 0 makes it opaque. It is made layered
// once and stays so when opaque again, keeping its other extended styles.
TEST_F(Appearance, HigherDigitsOnEitherRowMakeTheProgramsOwnWindowMoreOpaqueWithOrWithoutAlt) {
  p.wm.window(form.hWnd)->exStyle = 0x100;
  for (int zero : {48, 96}) {  // the top row, the numeric pad
    int previous = 0;
    for (int digit = 1; digit <= 9; ++digit) {
      main.MainBg_KeyDown(zero + digit, 0);
      ASSERT_TRUE(alpha(form.hWnd).has_value()) << zero + digit;
      EXPECT_GT(*alpha(form.hWnd), previous) << "key " << zero + digit;
      EXPECT_LT(*alpha(form.hWnd), 255) << "key " << zero + digit;
      previous = *alpha(form.hWnd);
    }
    main.MainBg_KeyDown(zero, 0);
    EXPECT_EQ(alpha(form.hWnd), 255) << "key " << zero;
    EXPECT_EQ(p.wm.window(form.hWnd)->exStyle, 0x100 | win32::kWsExLayered);
  }
  main.MainBg_KeyDown(97, 0);
  for (int key : {65, 106, 112, 13}) {
    main.MainBg_KeyDown(key, 1);
    EXPECT_EQ(alpha(form.hWnd), 25) << "key " << key << " changes nothing";
  }
  EXPECT_FALSE(p.process.ended);
  for (int shift : {0, form::kAltKey, form::kShiftKey | form::kCtrlKey | form::kAltKey}) {
    form.keyDown(49, shift);
    EXPECT_EQ(alpha(form.hWnd), 40) << "shift " << shift;
    form.keyDown(103, shift);
    EXPECT_EQ(alpha(form.hWnd), 175) << shift;
  }
}

// A slider fades its browser over the whole range, or the program's own window when that browser is not
// running; the program's own window never gets fainter than the faintest digit key.
TEST_F(Appearance, SlidersFadeTheirBrowserOrElseTheProgramsOwnWindowNeverBelowTheFaintestKey) {
  const auto ie = p.wm.openBrowser(BrowserKind::IE);
  for (int asked : {0, 24, -5}) {
    main.setOpacity(0, asked);
    EXPECT_EQ(alpha(form.hWnd), 25) << asked;
    main.setOpacity(form.hWnd, asked);
    EXPECT_EQ(alpha(form.hWnd), 25) << asked << " by handle";
  }
  main.setOpacity(0, 300);
  EXPECT_EQ(alpha(form.hWnd), 255) << "out of range is clamped";
  main.control("IEHScroll").SetValue(0);
  EXPECT_EQ(alpha(ie), 0);
  p.wm.destroyWindow(ie);
  main.control("IEHScroll").SetValue(1);
  EXPECT_EQ(alpha(form.hWnd), 25) << "IE closed: the program's own window, and no fainter than 25";
}

TEST_F(Appearance, PinBoxesReapplyAllThreeInOrderPinningAndReleasing) {
  const auto ie = p.wm.openBrowser(BrowserKind::IE);
  const auto chrome = p.wm.openBrowser(BrowserKind::Chrome);
  const auto firefox = p.wm.openBrowser(BrowserKind::Firefox);
  p.wm.SetWindowPos(ie, win32::kHwndTopmost, 0, 0, 0, 0, 3);  // pinned by somebody else

  main.control("CHTopmostChk").SetValue(1);
  EXPECT_TRUE(pinned(chrome));
  EXPECT_FALSE(pinned(ie)) << "a clear box releases its browser";
  EXPECT_FALSE(pinned(firefox));

  main.control("FFTopmostChk").SetValue(1);
  main.control("CHTopmostChk").SetValue(0);
  EXPECT_TRUE(pinned(firefox));
  EXPECT_FALSE(pinned(chrome));

  p.wm.destroyWindow(firefox);
  main.control("IETopmostChk").SetValue(1);  // Firefox gone: its call goes to handle 0 and is ignored
  EXPECT_TRUE(pinned(ie));
  const auto late = p.wm.openBrowser(BrowserKind::Firefox);
  EXPECT_FALSE(pinned(late)) << "a browser started later waits for the next click";
  main.setAllTopMost();
  EXPECT_TRUE(pinned(late));
}

}  // namespace
