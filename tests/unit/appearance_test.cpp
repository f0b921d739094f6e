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

// A slider fades its tile's browser over the whole range, or the program's own window when that browser is
// not running; the program's own window never gets fainter than the faintest digit key, and 0 makes it opaque
// again, still layered and keeping its other styles. Keys without a level change nothing.
TEST_F(Appearance, Sliders) {
  p.wm.window(own())->exStyle = 0x100;
  form.keyDown(97, 0);  // numeric pad 1, the faintest
  const auto faintest = alpha(own());
  for (int key : {65, 106, 112, 13}) form.keyDown(key, 0);
  EXPECT_EQ(alpha(own()), faintest) << "keys without a level";
  form.keyDown(48, form::kAltKey);
  EXPECT_EQ(alpha(own()), 255) << "0, with Alt too";
  EXPECT_EQ(p.wm.window(own())->exStyle, 0x100 | win32::kWsExLayered);
  const auto ie = p.wm.openBrowser(Browser::InternetExplorer);
  for (int asked : {0, 5, -5}) EXPECT_EQ((main.setOpacity({}, asked), alpha(own())), faintest) << asked;
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
  const auto ie = p.wm.openBrowser(Browser::InternetExplorer), chrome = p.wm.openBrowser(Browser::Chrome);
  p.wm.SetWindowPos(ie, win32::kHwndTopmost, 0, 0, 0, 0, 3);  // pinned by somebody else
  main.control("chromePin").setValue(1);
  EXPECT_EQ(std::pair(pinned(chrome), pinned(ie)), std::pair(true, false))
      << "a clear box releases its browser";
  main.control("firefoxPin").setValue(1);
  const auto late = p.wm.openBrowser(Browser::Firefox);
  EXPECT_FALSE(pinned(late)) << "a browser started later waits for the next click";
  main.control("chromePin").setValue(0);
  EXPECT_EQ(std::pair(pinned(chrome), pinned(late)), std::pair(false, true));
}

}  // namespace
