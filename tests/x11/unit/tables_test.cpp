// The two tables the X11 engine decides by: what a key is to the save-key watcher, and which program a
// window belongs to.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include "platform/x11/browser_table.h"
#include "platform/x11/key_map.h"

namespace {

using platform::BrowserKind;
using x11::KeyMeaning;
using Groups = std::vector<std::vector<KeySym>>;

TEST(KeyMeaning, KeysReadAsTheVirtualKeyCodesOfWindows) {
  struct Row {
    KeySym keysym;
    int virtualKey;
  };
  for (const Row& row :
       {Row{XK_Control_L, 17}, Row{XK_Control_R, 17}, Row{XK_Shift_L, 16}, Row{XK_Alt_L, 18}, Row{XK_s, 83},
        Row{XK_S, 83}, Row{XK_a, 65}, Row{XK_z, 90}, Row{XK_0, 48}, Row{XK_9, 57}, Row{XK_F5, 116},
        Row{XK_F1, 112}, Row{XK_KP_7, 103}, Row{XK_Escape, 27}, Row{XK_Return, 13}, Row{XK_space, 32},
        Row{XK_Cyrillic_yeru, 0}}) {
    EXPECT_EQ(x11::virtualKeyOfKeysym(row.keysym), row.virtualKey) << XKeysymToString(row.keysym);
  }
}

TEST(KeyMeaning, TheSaveKeyIsTheOneEditorsMatchWhateverLayoutIsActive) {
  constexpr unsigned kUsSPlace = 39;
  struct Row {
    const char* layout;
    unsigned keycode;
    Groups groups;
    int virtualKey;
  };
  const Row rows[] = {
      {"us", kUsSPlace, {{XK_s, XK_S}}, 83},
      {"us and Russian", kUsSPlace, {{XK_s, XK_S}, {XK_Cyrillic_yeru, XK_Cyrillic_YERU}}, 83},
      {"Russian first, then us", kUsSPlace, {{XK_Cyrillic_yeru, XK_Cyrillic_YERU}, {XK_s, XK_S}}, 83},
      {"Russian alone: the US place", kUsSPlace, {{XK_Cyrillic_yeru, XK_Cyrillic_YERU}}, 83},
      {"Dvorak: s moved", 47, {{XK_s, XK_S}}, 83},
      {"Dvorak: o at the US place of s", kUsSPlace, {{XK_o, XK_O}}, 79},
      {"Polish: an accented letter on AltGr", kUsSPlace, {{XK_s, XK_S, XK_sacute, XK_Sacute}}, 83},
      {"German: a digit with symbols on AltGr", 11, {{XK_2, XK_quotedbl, XK_twosuperior}}, 50},
      {"us and Russian: a punctuation key", 47, {{XK_semicolon, XK_colon}, {XK_Cyrillic_zhe}}, 0xBA},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(x11::meaningOfSymbols(row.keycode, row.groups).virtualKey, row.virtualKey) << row.layout;
  }
}

TEST(KeyMeaning, AltGrIsAltMarkedAsAltGrAndNeverCtrl) {
  KeyMeaning altGr = x11::meaningOfSymbols(108, {{XK_ISO_Level3_Shift}});
  EXPECT_EQ(altGr.virtualKey, 18);
  EXPECT_TRUE(altGr.altGr);
  KeyMeaning rightAlt = x11::meaningOfSymbols(108, {{XK_Alt_R, XK_Meta_R}});
  EXPECT_EQ(rightAlt.virtualKey, 18);
  EXPECT_FALSE(rightAlt.altGr);
}

TEST(BrowserTable, OnlyTheBrowsersOwnProgramsWithTheirOwnClassesMatch) {
  struct Row {
    const char* windowClass;
    const char* executable;
    const BrowserKind* kind;  // null: no browser
  };
  static constexpr BrowserKind kChrome = BrowserKind::Chrome;
  static constexpr BrowserKind kFirefox = BrowserKind::Firefox;
  static constexpr BrowserKind kOpera = BrowserKind::Opera;
  const Row rows[] = {
      {"Chromium", "chromium", &kChrome},
      {"chromium", "chromium", &kChrome},  // classes compare without case
      {"Google-chrome", "chrome", &kChrome},
      {"firefox-esr", "firefox-esr", &kFirefox},
      {"Firefox", "firefox", &kFirefox},
      {"Opera", "opera", &kOpera},
      {"Code", "code", nullptr},                // an Electron editor
      {"Chromium", "code", nullptr},            // a look-alike borrowing the class
      {"Chromium", "xchromium", nullptr},       // the whole file name, not a part of it
      {"Chromium", "Chromium", nullptr},        // file names compare exactly
      {"thunderbird", "thunderbird", nullptr},  // the mail client of Firefox's toolkit
      {"firefox-esr", "thunderbird", nullptr},
      {"Slack", "slack", nullptr},
  };
  for (const Row& row : rows) {
    const x11::BrowserProgram* program = x11::findBrowserProgram(row.windowClass, row.executable);
    if (row.kind == nullptr) {
      EXPECT_EQ(program, nullptr) << row.windowClass << " / " << row.executable;
    } else {
      ASSERT_NE(program, nullptr) << row.windowClass << " / " << row.executable;
      EXPECT_EQ(program->kind, *row.kind) << row.windowClass << " / " << row.executable;
    }
  }
}

}  // namespace
