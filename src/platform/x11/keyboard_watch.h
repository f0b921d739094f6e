// The keyboard of the whole X display, seen through XInput2 raw key events on the root window: every key
// typed into any X11 program arrives here too, with nothing grabbed and nothing consumed.
#pragma once

#include <optional>

#include "platform/platform.h"
#include "platform/x11/connection.h"
#include "platform/x11/event_source.h"
#include "platform/x11/key_map.h"

namespace x11 {

class KeyboardWatch final : public platform::KeyboardWatch {
 public:
  KeyboardWatch();
  bool startWatching(KeyHandler onKey) override;
  void stopWatching() override;
  bool isKeyDown(int virtualKey) override;
  // X11 keeps no "pressed since the last query" bit: only whether the key is down now.
  std::int16_t GetAsyncKeyState(int virtualKey) override;

 private:
  void readEvents();
  void selectRawKeys(bool on);

  Connection connection_;
  KeyTable keys_;
  KeyHandler onKey_;
  int xiOpcode_ = -1;
  int xkbEventBase_ = -1;
  std::optional<EventSource> source_;
};

}  // namespace x11
