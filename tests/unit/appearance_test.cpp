// The program's own window and the browsers' windows made translucent or pinned above others.
#include <gtest/gtest.h>

#include "app_fixture.h"

namespace {

using platform::Browser;

class Appearance : public testing_app::App {
 protected:
  std::optional<std::uint8_t> alpha(fake::Hwnd hwnd) { return p.wm.window(hwnd)->alpha; }
  bool pinned(fake::Hwnd hwnd) { return p.wm.window(hwnd)->exStyle & win32::kWsExTopmost; }
  fake::Hwnd own() { return form.window.value; }
};

// Digit keys fade the program's own window, with or without Alt, and 0 makes it opaque. It is made layered
// once and stays so when opaque again, keeping its other extended styles.
TEST_F(Appearance, DigitKeys) {
  p.wm.window(own())->exStyle = 0x100;
  for (int zero : {48, 96}) {  // the top row, the numeric pad
    int previous = 0;
    for (int digit = 1; digit <= 9; ++digit) {
      form.keyDown(zero + digit, 0);
      ASSERT_TRUE(alpha(own()).has_value()) << zero + digit;
      EXPECT_GT(*alpha(own()), previous) << "key " << zero + digit;
      EXPECT_LT(*alpha(own()), 255) << "key " << zero + digit;
      previous = *alpha(own());
    }
    form.keyDown(zero, form::kAltKey);
    EXPECT_EQ(alpha(own()), 255) << "key " << zero;
    EXPECT_EQ(p.wm.window(own())->exStyle, 0x100 | win32::kWsExLayered);
  }
  form.keyDown(97, 0);
  const auto faintest = alpha(own());
  for (int key : {65, 106, 112, 13}) {
    form.keyDown(key, form::kShiftKey);
    EXPECT_EQ(alpha(own()), faintest) << "key " << key << " changes nothing";
  }
  EXPECT_FALSE(p.process.ended);
}

// A slider fades its tile's browser over the whole range, or the program's own window when that browser is
// not running; the program's own window never gets fainter than the faintest digit key.
TEST_F(Appearance, Sliders) {
  form.keyDown(97, 0);
  const auto faintest = alpha(own());
  const auto ie = p.wm.openBrowser(Browser::InternetExplorer);
  for (int asked : {0, 5, -5}) {
    main.setOpacity({}, asked);
    EXPECT_EQ(alpha(own()), faintest) << asked;
  }
  main.setOpacity({}, 300);
  EXPECT_EQ(alpha(own()), 255) << "out of range is clamped";
  main.control("ieOpacity").setValue(0);
  EXPECT_EQ(alpha(ie), 0) << "a browser may be made invisible";
  p.wm.destroyWindow(ie);
  main.control("ieOpacity").setValue(1);
  EXPECT_EQ(alpha(own()), faintest) << "IE closed: the program's own window";
}

// Any pin box applies all three again: a ticked box pins its browser, a clear one releases it, whoever pinned
// it. A browser started later waits for the next click.
TEST_F(Appearance, PinBoxes) {
  const auto ie = p.wm.openBrowser(Browser::InternetExplorer);
  const auto chrome = p.wm.openBrowser(Browser::Chrome);
  p.wm.SetWindowPos(ie, win32::kHwndTopmost, 0, 0, 0, 0, 3);  // pinned by somebody else
  main.control("chromePin").setValue(1);
  EXPECT_TRUE(pinned(chrome));
  EXPECT_FALSE(pinned(ie)) << "a clear box releases its browser";
  main.control("chromePin").setValue(0);
  main.control("iePin").setValue(1);
  EXPECT_FALSE(pinned(chrome));
  EXPECT_TRUE(pinned(ie));
  const auto late = p.wm.openBrowser(Browser::Firefox);
  main.control("firefoxPin").setValue(1);
  p.wm.SetWindowPos(late, win32::kHwndNoTopmost, 0, 0, 0, 0, 3);
  const auto later = p.wm.openBrowser(Browser::Firefox);
  EXPECT_FALSE(pinned(later)) << "a browser started later waits for the next click";
  main.applyPins();
  EXPECT_TRUE(pinned(later));
}

}  // namespace
