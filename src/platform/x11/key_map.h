// X key codes as the Windows virtual-key codes that the save-key watcher speaks.
#pragma once

#include <X11/Xlib.h>

#include <array>
#include <vector>

namespace x11 {

// The virtual-key code of a key whose symbol is `keysym` (Ctrl 17, Shift 16, Alt 18, A..Z 65..90,
// 0..9 48..57, F1.. 112..), or 0 for a symbol without one.
int virtualKeyOfKeysym(KeySym keysym);

// What one physical key means to the watcher.
struct KeyMeaning {
  int virtualKey = 0;
  bool altGr = false;
};

// The meaning of every key code of the keyboard, read once from the server's keyboard map and again whenever
// the map changes (a layout switch or a new keyboard).
class KeyTable {
 public:
  void load(Display* display);
  KeyMeaning meaningOf(unsigned keycode) const;
  // Every key code that produces this virtual-key code (Ctrl: both Ctrl keys).
  std::vector<unsigned> keycodesOf(int virtualKey) const;

 private:
  std::array<KeyMeaning, 256> byKeycode_{};
};

// Chooses the meaning of one key from its symbols, given group by group (each group's levels in order).
// A letter is the first Latin letter in any group, so with a Cyrillic layout active the key that types "ы"
// still reads as S, as editors match Ctrl+S; a key with no Latin letter at all is read by its place on a US
// keyboard. Right Alt set up as AltGr (ISO_Level3_Shift) is reported as Alt with the AltGr mark, never as
// Ctrl.
KeyMeaning meaningOfSymbols(unsigned keycode, const std::vector<std::vector<KeySym>>& groups);

}  // namespace x11
