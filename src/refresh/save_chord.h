// The save-chord watcher: when the user saves with Ctrl+S in any program, the browsers are refreshed once. It
// hooks nothing and consumes no key; it follows the key events of the whole desktop.
//
// A save is an S press while a Ctrl key is held and neither Alt (AltGr included) nor the Windows/Super key
// is; Shift plays no part. It fires once, when the Ctrl hold ends (the last Ctrl key, left or right, let go),
// so Ctrl+C then S in one hold, or S twice, saves once, and the browsers reload after the editor has written
// the file.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "platform/platform.h"

namespace refresh {

class SaveChordWatcher {
 public:
  SaveChordWatcher(platform::KeyboardWatch& keyboard, std::function<void()> onSave);
  SaveChordWatcher(const SaveChordWatcher&) = delete;
  SaveChordWatcher& operator=(const SaveChordWatcher&) = delete;
  ~SaveChordWatcher();

  // Starting a running watcher changes nothing. A fresh start takes every key as up: a key held before it
  // counts from its next press.
  void start();
  void stop();
  bool running() const { return running_; }

 private:
  // The modifiers that make or spoil a save, each side on its own.
  enum Modifier : std::uint8_t { LeftCtrl, RightCtrl, LeftAlt, RightAlt, LeftSuper, RightSuper, kModifiers };
  struct Held {
    bool down = false;
    std::int64_t lastHeardMs = 0;
  };

  void onKey(const platform::KeyEvent& event);
  void forgetUnheardReleases(std::int64_t nowMs);
  bool ctrlHeld() const { return held_[LeftCtrl].down || held_[RightCtrl].down; }
  void endHold(bool fire);

  platform::KeyboardWatch& keyboard_;
  std::function<void()> onSave_;
  bool running_ = false;
  std::array<Held, kModifiers> held_{};
  bool saved_ = false;  // an S was pressed as a save during the current Ctrl hold
};

}  // namespace refresh
