// The save-key watcher: a fast window timer polls the system-wide key state and, on Ctrl followed by S,
// refreshes the selected browsers once. It hooks nothing and consumes no key.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/platform.h"

namespace hotkey {

class Watcher {
 public:
  Watcher(platform::WindowManager& wm, std::function<void()> onSaveChord);

  // Starts polling on the given window's timer 0; starting a running watcher changes nothing.
  void start(platform::Hwnd window);
  // Kills timer 0 of the given window; harmless when it is not running.
  void stop(platform::Hwnd window);
  bool running() const { return running_; }

  // The decimal code of the lowest virtual key from 17 to 128 that is down or was pressed since the last
  // query, or "0". Codes above the first hit are not queried, so their pressed-since bits survive.
  std::string scanPressedKey();

  // One poll. Fires on a tick that sees S (83) as the lowest pressed key right after a tick that saw Ctrl
  // (17): Ctrl hides S while both are held, so an ordinary Ctrl+S fires once, as Ctrl is let go.
  void watchTimerProc();

  const std::string& curKey() const { return curKey_; }
  std::int16_t prevKey() const { return prevKey_; }
  bool fired() const { return fired_; }

 private:
  platform::WindowManager& wm_;
  std::function<void()> onSaveChord_;
  std::string curKey_;
  std::int16_t prevKey_ = 0;
  bool fired_ = false;
  bool running_ = false;
};

}  // namespace hotkey
