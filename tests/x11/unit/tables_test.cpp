// What the X11 engine decides by, without a display: what a key is, which program a window belongs to, and
// how a keymap that has to be polled becomes key events. The keys and browsers the end-to-end tests meet are
// left to them.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <tuple>

#include "platform/x11/browser_table.h"
#include "platform/x11/keyboard_watch.h"

namespace {

using platform::Browser;
using platform::KeySide;
constexpr KeySide kNone = KeySide::Any;

// The save key is the one editors match, whatever layout is active; each modifier tells its side.
TEST(KeyTable, Meanings) {
  constexpr unsigned kUsSPlace = 39;
  const std::tuple<const char*, unsigned, x11::KeyTable::Groups, x11::KeyMeaning> rows[] = {
      {"left Alt", 64, {{XK_Alt_L, XK_Meta_L}}, {18, KeySide::Left}},
      {"right Super", 134, {{XK_Super_R}}, {91, KeySide::Right}},
      {"ru, then us", kUsSPlace, {{XK_Cyrillic_yeru, XK_Cyrillic_YERU}, {XK_s, XK_S}}, {83, kNone}},
      {"Dvorak: o at the US place of s", kUsSPlace, {{XK_o, XK_O}}, {79, kNone}},
      {"Polish: an accented letter on AltGr", kUsSPlace, {{XK_s, XK_S, XK_sacute, XK_Sacute}}, {83, kNone}},
  };
  for (const auto& [what, keycode, groups, meaning] : rows)
    EXPECT_EQ(x11::meaningOfSymbols(keycode, groups), meaning) << what;
}

// Only a browser's own program with one of its own classes is that browser.
TEST(BrowserTable, Rows) {
  const Browser all[] = {Browser::Chrome, Browser::Edge, Browser::Firefox};
  const std::tuple<const char*, const char*, const char*, std::optional<Browser>> rows[] = {
      {"chromium (/tmp/p)", "chromium", "chromium", Browser::Chrome},  // classes compare without case
      {"chromium", "Chromium", "msedge", std::nullopt},        // Edge's program under another browser's class
      {"crx_abcdefgh", "Chromium", "chromium", std::nullopt},  // an installed web app
      {"code", "Code", "code", std::nullopt},                  // an Electron editor
      {"chromium", "Chromium", "xchromium", std::nullopt},     // the whole file name, not a part of it
      {"chromium", "Chromium", "Chromium", std::nullopt},      // file names compare exactly
      {"Mail", "thunderbird", "thunderbird", std::nullopt},    // the mail client of Firefox's toolkit
  };
  for (const auto& [instance, windowClass, executable, browser] : rows)
    EXPECT_EQ(x11::browserOf(all, instance, windowClass, executable), browser) << executable;
}

// Where XInput2 is missing the keymap is polled: once a tick, whatever the number of keys watched.
TEST(KeymapPoller, OneReadPerTick) {
  x11::KeyTable keys;
  keys.assign(37, {{XK_Control_L}});
  keys.assign(39, {{XK_s, XK_S}});
  std::size_t reads = 0;
  x11::KeymapPoller poller(keys, [&] {
    x11::Keymap keymap{};
    if (reads++ == 0) keymap[4] = static_cast<char>(1 << 5 | 1 << 7);  // key codes 37 and 39 down, then none
    return keymap;
  });
  const std::vector<platform::KeyEvent> down = poller.tick(), up = poller.tick();
  EXPECT_EQ(reads, 2u) << "one keymap read a tick";
  EXPECT_EQ(down, (std::vector<platform::KeyEvent>{{17, KeySide::Left, true}, {83, kNone, true}}));
  EXPECT_EQ(up, (std::vector<platform::KeyEvent>{{83, kNone, false}, {17, KeySide::Left, false}}));
}

}  // namespace
