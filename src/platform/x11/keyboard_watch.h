// The keyboard of the whole X display, seen through XInput2 raw key events on the root window: every key
// typed into any X11 program arrives here too, with nothing grabbed and nothing consumed. A server without
// XInput2 is polled instead: the keymap, read once a tick.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "platform/key_events.h"
#include "platform/platform.h"
#include "platform/x11/connection.h"
#include "platform/x11/event_source.h"
#include "platform/x11/key_map.h"

namespace x11 {

// The server's keymap: one bit per key code that is down.
using Keymap = std::array<char, 32>;

// Turns successive readings of the keymap into the key events of the keys a save chord is made of.
class KeymapPoller {
 public:
  KeymapPoller(const KeyTable& keys, std::function<Keymap()> readKeymap)
      : keys_(keys), readKeymap_(std::move(readKeymap)) {}
  // Reads the keymap once and returns what changed since the last tick.
  std::vector<platform::KeyEvent> tick();
  void clear() { poller_.clear(); }

 private:
  const KeyTable& keys_;
  std::function<Keymap()> readKeymap_;
  platform::KeyPoller poller_;
};

class KeyboardWatch final : public platform::KeyboardWatch {
 public:
  KeyboardWatch();
  bool start(Handler onKey) override;
  void stop() override;
  bool isDown(int key, platform::KeySide side) override;

  // Between two readings of the keymap where it has to be polled.
  static constexpr unsigned kPollMs = 10;

 private:
  Keymap readKeymap();
  void readEvents();
  void selectRawKeys(bool on);
  void poll();

  Connection connection_;
  KeyTable keys_;
  Handler onKey_;
  platform::KeyRepeats repeats_;
  KeymapPoller poller_{keys_, [this] { return readKeymap(); }};
  int xiOpcode_ = -1;
  int xkbEventBase_ = -1;
  std::optional<EventSource> source_;
  Timeout pollTimer_;
};

}  // namespace x11
