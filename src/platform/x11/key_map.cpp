#include "platform/x11/key_map.h"

#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cstddef>
#include <memory>
#include <string_view>

namespace x11 {

namespace {

using platform::KeySide;

struct KeysymRange {
  KeySym first;
  KeySym last;
  int firstKey;
};

// Runs of symbols that map onto runs of key codes.
constexpr KeysymRange kRanges[] = {
    {XK_a, XK_z, 'A'}, {XK_A, XK_Z, 'A'}, {XK_0, XK_9, '0'}, {XK_F1, XK_F24, 0x70}, {XK_KP_0, XK_KP_9, 0x60},
};

struct KeysymKey {
  KeySym keysym;
  KeyMeaning meaning;
};

// AltGr (ISO_Level3_Shift, Mode_switch) is the right Alt: a save chord must not take it for Ctrl.
constexpr KeysymKey kSingles[] = {
    {XK_BackSpace, {0x08}},
    {XK_Tab, {0x09}},
    {XK_ISO_Left_Tab, {0x09}},
    {XK_Return, {0x0D}},
    {XK_KP_Enter, {0x0D}},
    {XK_Shift_L, {platform::kKeyShift, KeySide::Left}},
    {XK_Shift_R, {platform::kKeyShift, KeySide::Right}},
    {XK_Control_L, {platform::kKeyControl, KeySide::Left}},
    {XK_Control_R, {platform::kKeyControl, KeySide::Right}},
    {XK_Alt_L, {platform::kKeyAlt, KeySide::Left}},
    {XK_Meta_L, {platform::kKeyAlt, KeySide::Left}},
    {XK_Alt_R, {platform::kKeyAlt, KeySide::Right}},
    {XK_Meta_R, {platform::kKeyAlt, KeySide::Right}},
    {XK_ISO_Level3_Shift, {platform::kKeyAlt, KeySide::Right}},
    {XK_Mode_switch, {platform::kKeyAlt, KeySide::Right}},
    {XK_Super_L, {platform::kKeySuper, KeySide::Left}},
    {XK_Super_R, {platform::kKeySuper, KeySide::Right}},
    {XK_Pause, {0x13}},
    {XK_Caps_Lock, {0x14}},
    {XK_Escape, {platform::kKeyEscape}},
    {XK_space, {0x20}},
    {XK_Prior, {0x21}},
    {XK_Next, {0x22}},
    {XK_End, {0x23}},
    {XK_Home, {0x24}},
    {XK_Left, {0x25}},
    {XK_Up, {0x26}},
    {XK_Right, {0x27}},
    {XK_Down, {0x28}},
    {XK_Print, {0x2C}},
    {XK_Insert, {0x2D}},
    {XK_Delete, {0x2E}},
    {XK_Menu, {0x5D}},
    {XK_KP_Multiply, {0x6A}},
    {XK_KP_Add, {0x6B}},
    {XK_KP_Subtract, {0x6D}},
    {XK_KP_Decimal, {0x6E}},
    {XK_KP_Divide, {0x6F}},
    {XK_Num_Lock, {0x90}},
    {XK_Scroll_Lock, {0x91}},
    {XK_semicolon, {0xBA}},
    {XK_equal, {0xBB}},
    {XK_comma, {0xBC}},
    {XK_minus, {0xBD}},
    {XK_period, {0xBE}},
    {XK_slash, {0xBF}},
    {XK_grave, {0xC0}},
    {XK_bracketleft, {0xDB}},
    {XK_backslash, {0xDC}},
    {XK_bracketright, {0xDD}},
    {XK_apostrophe, {0xDE}},
    {XK_less, {0xE2}},
};

bool isLatinLetter(KeySym keysym) {
  return (keysym >= XK_a && keysym <= XK_z) || (keysym >= XK_A && keysym <= XK_Z);
}

// The letters' places on a US keyboard, by evdev key code: the fallback for a layout without Latin letters.
int usLetterAt(unsigned keycode) {
  constexpr const char* kRows[] = {"QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
  constexpr unsigned kRowStarts[] = {24, 38, 52};
  for (int row = 0; row < 3; ++row) {
    std::string_view letters = kRows[row];
    if (keycode >= kRowStarts[row] && keycode < kRowStarts[row] + letters.size()) {
      return letters[keycode - kRowStarts[row]];
    }
  }
  return 0;
}

}  // namespace

KeyMeaning meaningOfKeysym(KeySym keysym) {
  for (const auto& range : kRanges) {
    if (keysym >= range.first && keysym <= range.last) {
      return {range.firstKey + static_cast<int>(keysym - range.first)};
    }
  }
  for (const auto& single : kSingles) {
    if (single.keysym == keysym) return single.meaning;
  }
  return {};
}

KeyMeaning meaningOfSymbols(unsigned keycode, const std::vector<std::vector<KeySym>>& groups) {
  // Only the plain and shifted levels: an AltGr level may hold a letter that the key does not stand for.
  for (const auto& levels : groups) {
    for (std::size_t level = 0; level < levels.size() && level < 2; ++level) {
      if (isLatinLetter(levels[level])) return meaningOfKeysym(levels[level]);
    }
  }
  bool hasLetterElsewhere = false;
  for (const auto& levels : groups) {
    if (levels.empty()) continue;
    const KeySym base = levels.front();
    if (const KeyMeaning meaning = meaningOfKeysym(base); meaning.key != 0) return meaning;
    // Any other symbol with a case (Cyrillic, Greek) is a letter of a non-Latin layout.
    KeySym lower = NoSymbol, upper = NoSymbol;
    XConvertCase(base, &lower, &upper);
    hasLetterElsewhere = hasLetterElsewhere || lower != upper;
  }
  for (const auto& levels : groups) {
    for (KeySym keysym : levels) {
      if (const KeyMeaning meaning = meaningOfKeysym(keysym); meaning.key != 0) return meaning;
    }
  }
  if (hasLetterElsewhere) return {usLetterAt(keycode)};
  return {};
}

void KeyTable::load(Display* display) {
  byKeycode_.fill({});
  struct KeyboardFree {
    void operator()(XkbDescPtr xkb) const { XkbFreeKeyboard(xkb, 0, True); }
  };
  std::unique_ptr<XkbDescRec, KeyboardFree> xkb(
      XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd));
  if (!xkb) return;
  for (unsigned keycode = xkb->min_key_code; keycode <= xkb->max_key_code && keycode < byKeycode_.size();
       ++keycode) {
    std::vector<std::vector<KeySym>> groups;
    for (int group = 0; group < XkbKeyNumGroups(xkb.get(), keycode); ++group) {
      std::vector<KeySym>& levels = groups.emplace_back();
      for (int level = 0; level < XkbKeyGroupWidth(xkb.get(), keycode, group); ++level) {
        levels.push_back(XkbKeySymEntry(xkb.get(), keycode, level, group));
      }
    }
    assign(keycode, groups);
  }
}

void KeyTable::assign(unsigned keycode, const Groups& groups) {
  if (keycode < byKeycode_.size()) byKeycode_[keycode] = meaningOfSymbols(keycode, groups);
}

KeyMeaning KeyTable::meaningOf(unsigned keycode) const {
  return keycode < byKeycode_.size() ? byKeycode_[keycode] : KeyMeaning{};
}

std::vector<unsigned> KeyTable::keycodesOf(int key, platform::KeySide side) const {
  std::vector<unsigned> keycodes;
  for (unsigned keycode = 0; keycode < byKeycode_.size(); ++keycode) {
    const KeyMeaning& meaning = byKeycode_[keycode];
    if (key != 0 && meaning.key == key && (side == platform::KeySide::Any || meaning.side == side)) {
      keycodes.push_back(keycode);
    }
  }
  return keycodes;
}

}  // namespace x11
