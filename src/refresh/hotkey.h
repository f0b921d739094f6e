// The save-key watcher: on Ctrl followed by S in any program, refreshes the selected browsers once. It hooks
// nothing and consumes no key.
//
// It keeps its own table of the keyboard, fed by the system's key events, because the system's "pressed since
// the last query" bit is shared by every program on the desktop: any other program that polls S takes the bit
// and the chord would be lost. Where key events cannot be had, it polls the system's key state on a fast
// window timer.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/platform.h"

namespace hotkey {

class Watcher {
 public:
  Watcher(platform::KeyboardWatch& keyboard, platform::Timers& timers, std::function<void()> onSaveChord);
  Watcher(const Watcher&) = delete;
  Watcher& operator=(const Watcher&) = delete;
  ~Watcher();

  // Starts watching; starting a running watcher changes nothing. Key events when the platform gives them,
  // otherwise polling on the given window's timer 0.
  void start(platform::Hwnd window);
  // Stops whichever way it watches; harmless when it is not running.
  void stop(platform::Hwnd window);
  bool running() const { return mode_ != Mode::Stopped; }
  bool polling() const { return mode_ == Mode::Polling; }

  // The decimal code of the lowest virtual key from 17 to 128 that is down or was pressed since the last
  // query, or "0". Codes above the first hit are not queried, so their pressed-since bits survive.
  std::string scanPressedKey();

  // One tick: after each key event, or on each poll. Fires on a tick that sees S (83) as the lowest pressed
  // key right after a tick that saw Ctrl (17): Ctrl hides S while both are held, so an ordinary Ctrl+S fires
  // once, as Ctrl is let go.
  void watchTimerProc();

  const std::string& curKey() const { return curKey_; }
  std::int16_t prevKey() const { return prevKey_; }
  bool fired() const { return fired_; }

 private:
  enum class Mode { Stopped, Events, Polling };
  struct Key {
    bool down = false;
    bool pressedSinceQuery = false;  // cleared only by this watcher's own scan
    std::int64_t lastSeenMs = 0;     // when the table last heard of this key
  };
  static constexpr int kFirstKey =
      platform::kVkControl;  // keys below Ctrl (mouse, Tab, Enter, Shift) are ignored
  static constexpr int kLastKey = 128;

  void onKey(const platform::KeyEvent& event);
  bool queryKey(int code);
  void forgetUnseenReleases();

  platform::KeyboardWatch& keyboard_;
  platform::Timers& timers_;
  std::function<void()> onSaveChord_;
  Mode mode_ = Mode::Stopped;
  std::array<Key, kLastKey + 1> keys_{};
  // Set while the Ctrl that is down came with AltGr: AltGr+S types a letter, it is not a save.
  bool ctrlFromAltGr_ = false;

  std::string curKey_;
  std::int16_t prevKey_ = 0;
  bool fired_ = false;
};

}  // namespace hotkey
