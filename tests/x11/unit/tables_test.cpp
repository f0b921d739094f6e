// The two tables the X11 engine decides by: what a key is to the save-key watcher, and which program a
// window belongs to.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <optional>

#include "platform/x11/browser_table.h"
#include "platform/x11/key_map.h"

namespace {

using platform::BrowserKind;

// Keys read as the virtual-key codes of Windows. The save key is the one editors match, whatever layout is
// active; AltGr is Alt marked as AltGr, never Ctrl.
TEST(KeyMeaning, EachKeyReadsAsItsWindowsCodeAndTheSaveKeyIsTheOneEditorsMatchWhateverTheLayout) {
  constexpr unsigned kUsSPlace = 39;
  const struct {
    const char* what;
    unsigned keycode;
    std::vector<std::vector<KeySym>> groups;
    int virtualKey;
    bool altGr = false;
  } rows[] = {
      {"left Ctrl", 37, {{XK_Control_L}}, 17},
      {"right Ctrl", 105, {{XK_Control_R}}, 17},
      {"Shift", 50, {{XK_Shift_L}}, 16},
      {"left Alt", 64, {{XK_Alt_L, XK_Meta_L}}, 18},
      {"F5", 71, {{XK_F5}}, 116},
      {"keypad 7", 79, {{XK_KP_Home, XK_KP_7}}, 103},
      {"Esc", 9, {{XK_Escape}}, 27},
      {"space", 65, {{XK_space}}, 32},
      {"us", kUsSPlace, {{XK_s, XK_S}}, 83},
      {"us and Russian", kUsSPlace, {{XK_s, XK_S}, {XK_Cyrillic_yeru, XK_Cyrillic_YERU}}, 83},
      {"Russian first, then us", kUsSPlace, {{XK_Cyrillic_yeru, XK_Cyrillic_YERU}, {XK_s, XK_S}}, 83},
      {"Russian alone: the US place", kUsSPlace, {{XK_Cyrillic_yeru, XK_Cyrillic_YERU}}, 83},
      {"Dvorak: s moved", 47, {{XK_s, XK_S}}, 83},
      {"Dvorak: o at the US place of s", kUsSPlace, {{XK_o, XK_O}}, 79},
      {"Polish: an accented letter on AltGr", kUsSPlace, {{XK_s, XK_S, XK_sacute, XK_Sacute}}, 83},
      {"German: a digit with symbols on AltGr", 11, {{XK_2, XK_quotedbl, XK_twosuperior}}, 50},
      {"us and Russian: a punctuation key", 47, {{XK_semicolon, XK_colon}, {XK_Cyrillic_zhe}}, 0xBA},
      {"AltGr", 108, {{XK_ISO_Level3_Shift}}, 18, true},
      {"a plain right Alt", 108, {{XK_Alt_R, XK_Meta_R}}, 18, false},
  };
  for (const auto& row : rows) {
    const x11::KeyMeaning meaning = x11::meaningOfSymbols(row.keycode, row.groups);
    EXPECT_EQ(meaning.virtualKey, row.virtualKey) << row.what;
    EXPECT_EQ(meaning.altGr, row.altGr) << row.what;
  }
}

TEST(BrowserTable, OnlyTheBrowsersOwnProgramsWithTheirOwnClassesMatch) {
  const struct {
    const char* windowClass;
    const char* executable;
    std::optional<BrowserKind> kind;
  } rows[] = {
      {"chromium", "chromium", BrowserKind::Chrome},  // classes compare without case
      {"Google-chrome", "chrome", BrowserKind::Chrome},
      {"firefox-esr", "firefox-esr", BrowserKind::Firefox},
      {"Opera", "opera", BrowserKind::Opera},
      {"Code", "code", std::nullopt},                // an Electron editor
      {"Chromium", "code", std::nullopt},            // a look-alike borrowing the class
      {"Chromium", "xchromium", std::nullopt},       // the whole file name, not a part of it
      {"Chromium", "Chromium", std::nullopt},        // file names compare exactly
      {"thunderbird", "thunderbird", std::nullopt},  // the mail client of Firefox's toolkit
  };
  for (const auto& row : rows) {
    const x11::BrowserProgram* program = x11::findBrowserProgram(row.windowClass, row.executable);
    EXPECT_EQ(program ? std::optional(program->kind) : std::nullopt, row.kind)
        << row.windowClass << " / " << row.executable;
  }
}

}  // namespace
