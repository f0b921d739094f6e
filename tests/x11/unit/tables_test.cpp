// What the X11 engine decides by, without a display: what a key is, which program a window belongs to, and
// how a keymap that has to be polled becomes key events. The keys and browsers the end-to-end tests meet are
// left to them.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include "platform/x11/browser_table.h"
#include "platform/x11/keyboard_watch.h"

namespace {

using platform::Browser;
using platform::KeySide;
constexpr KeySide kNone = KeySide::Any;

// The save key is the one editors match, whatever layout is active; each modifier tells its side.
TEST(KeyTable, Meanings) {
  constexpr unsigned kUsSPlace = 39;
  const struct {
    const char* what;
    unsigned keycode;
    x11::KeyTable::Groups groups;
    x11::KeyMeaning meaning;
  } rows[] = {
      {"right Shift", 62, {{XK_Shift_R}}, {16, KeySide::Right}},
      {"left Alt", 64, {{XK_Alt_L, XK_Meta_L}}, {18, KeySide::Left}},
      {"right Super", 134, {{XK_Super_R}}, {91, KeySide::Right}},
      {"Russian first, then us",
       kUsSPlace,
       {{XK_Cyrillic_yeru, XK_Cyrillic_YERU}, {XK_s, XK_S}},
       {83, kNone}},
      {"Dvorak: o at the US place of s", kUsSPlace, {{XK_o, XK_O}}, {79, kNone}},
      {"Polish: an accented letter on AltGr", kUsSPlace, {{XK_s, XK_S, XK_sacute, XK_Sacute}}, {83, kNone}},
      {"German: a digit with symbols on AltGr", 11, {{XK_2, XK_quotedbl, XK_twosuperior}}, {50, kNone}},
      {"us and Russian: a punctuation key", 47, {{XK_semicolon, XK_colon}, {XK_Cyrillic_zhe}}, {0xBA, kNone}},
  };
  for (const auto& row : rows)
    EXPECT_EQ(x11::meaningOfSymbols(row.keycode, row.groups), row.meaning) << row.what;
}

// Only a browser's own program with one of its own classes is that browser.
TEST(BrowserTable, Rows) {
  const Browser all[] = {Browser::Chrome,   Browser::Edge,    Browser::Brave,
                         Browser::Vivaldi,  Browser::Firefox, Browser::LibreWolf,
                         Browser::Waterfox, Browser::Zen,     Browser::Opera};
  const struct {
    const char *instance, *windowClass, *executable;
    std::optional<Browser> browser;
  } rows[] = {
      {"chromium (/tmp/p)", "chromium", "chromium", Browser::Chrome},  // classes compare without case
      {"Navigator", "librewolf", "librewolf", Browser::LibreWolf},
      {"chromium", "Chromium", "msedge", std::nullopt},        // Edge's program under another browser's class
      {"crx_abcdefgh", "Chromium", "chromium", std::nullopt},  // an installed web app
      {"code", "Code", "code", std::nullopt},                  // an Electron editor
      {"chromium", "Chromium", "xchromium", std::nullopt},     // the whole file name, not a part of it
      {"chromium", "Chromium", "Chromium", std::nullopt},      // file names compare exactly
      {"Mail", "thunderbird", "thunderbird", std::nullopt},    // the mail client of Firefox's toolkit
  };
  for (const auto& row : rows) {
    EXPECT_EQ(x11::browserOf(all, row.instance, row.windowClass, row.executable), row.browser)
        << row.executable;
  }
  const Browser firefoxOnly[] = {Browser::Firefox};
  EXPECT_EQ(x11::browserOf(firefoxOnly, "chromium", "Chromium", "chromium"), std::nullopt) << "not asked for";
  EXPECT_FALSE(x11::anyHasClass(firefoxOnly, "Chromium")) << "not asked for";
}

// Where XInput2 is missing the keymap is polled: once a tick, whatever the number of keys watched.
TEST(KeymapPoller, OneReadPerTick) {
  x11::KeyTable keys;
  keys.assign(37, {{XK_Control_L}});
  keys.assign(39, {{XK_s, XK_S}});
  const std::vector<std::vector<unsigned>> down = {{37}, {37, 39}, {}};
  std::size_t reads = 0;
  x11::KeymapPoller poller(keys, [&] {
    x11::Keymap keymap{};
    for (unsigned code : down[reads])
      keymap[code / 8] = static_cast<char>(keymap[code / 8] | 1 << (code % 8));
    ++reads;
    return keymap;
  });
  std::vector<platform::KeyEvent> events;
  for (std::size_t tick = 1; tick <= down.size(); ++tick) {
    for (const auto& event : poller.tick()) events.push_back(event);
    EXPECT_EQ(reads, tick) << "keymap reads after tick " << tick;
  }
  EXPECT_EQ(
      events,
      (std::vector<platform::KeyEvent>{
          {17, KeySide::Left, true}, {83, kNone, true}, {83, kNone, false}, {17, KeySide::Left, false}}));
}

}  // namespace
