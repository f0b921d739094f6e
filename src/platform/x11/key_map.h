// X keys as the program's key codes (platform.h) with their sides: the one key table of the Linux program,
// read by the keyboard watch and by the GTK window alike.
#pragma once

#include <X11/Xlib.h>

#include <array>
#include <vector>

#include "platform/platform.h"

namespace x11 {

// What one key means to the program: its code (0: none it knows) and, for a modifier, its side.
struct KeyMeaning {
  int key = 0;
  platform::KeySide side = platform::KeySide::Any;
  friend bool operator==(const KeyMeaning&, const KeyMeaning&) = default;
};

// The meaning of a key symbol (Ctrl 17, Shift 16, Alt 18, A..Z 65..90, 0..9 48..57, F1.. 112..).
KeyMeaning meaningOfKeysym(KeySym keysym);

// The meaning of every key code of the keyboard, read once from the server's keyboard map and again whenever
// the map changes (a layout switch or a new keyboard).
class KeyTable {
 public:
  using Groups = std::vector<std::vector<KeySym>>;
  void load(Display* display);
  // Gives one key code the meaning of its symbols, group by group (what load does for every key code).
  void assign(unsigned keycode, const Groups& groups);
  KeyMeaning meaningOf(unsigned keycode) const;
  // Every key code of the key on that side (platform::KeySide::Any: either side).
  std::vector<unsigned> keycodesOf(int key, platform::KeySide side) const;

 private:
  std::array<KeyMeaning, 256> byKeycode_{};
};

// Chooses the meaning of one key from its symbols, given group by group (each group's levels in order).
// A letter is the first Latin letter in any group, so with a Cyrillic layout active the key that types "ы"
// still reads as S, as editors match Ctrl+S; a key with no Latin letter at all is read by its place on a US
// keyboard. Right Alt set up as AltGr (ISO_Level3_Shift) is the right Alt, never Ctrl.
KeyMeaning meaningOfSymbols(unsigned keycode, const std::vector<std::vector<KeySym>>& groups);

}  // namespace x11
