// What the window systems' layers share in turning their keyboards into the program's key events: telling a
// repeated press from a new one, and, where keys can only be polled, what changed between two polls.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace platform {

// Remembers which keys are down, to tell the keyboard's repeats from new presses.
class KeyRepeats {
 public:
  // The event for a key that went down or up now. A press of a key that is down is a repeat, unless nothing
  // was heard of the key for longer than any keyboard waits before repeating: then its release was lost (to
  // a window of higher privilege, or to the secure desktop) and this is a new press.
  KeyEvent event(int key, KeySide side, bool down, std::int64_t nowMs);
  void clear() { down_.clear(); }

 private:
  struct Down {
    int key;
    KeySide side;
    std::int64_t lastMs;
  };
  std::vector<Down> down_;
};

// The keys a poller reads: the modifiers that make a chord or spoil it, then S.
inline constexpr std::array<std::pair<int, KeySide>, 7> kPolledKeys = {{
    {kKeyControl, KeySide::Left},
    {kKeyControl, KeySide::Right},
    {kKeyAlt, KeySide::Left},
    {kKeyAlt, KeySide::Right},
    {kKeySuper, KeySide::Left},
    {kKeySuper, KeySide::Right},
    {kKeyS, KeySide::Any},
}};

// One poll's reading of a key: down now, and (where the system keeps such a bit) pressed since the last poll.
struct PolledKey {
  bool down = false;
  bool pressedSincePoll = false;
};

// Turns successive polls of kPolledKeys into key events.
class KeyPoller {
 public:
  // The events since the previous poll: presses first (modifiers before S), then releases (S before the
  // modifiers), so a chord pressed and let go between two polls still reads as S pressed while Ctrl was held.
  // A key pressed and let go between two polls reads as both.
  std::vector<KeyEvent> changes(std::span<const PolledKey, kPolledKeys.size()> now);
  void clear() { down_ = {}; }

 private:
  std::array<bool, kPolledKeys.size()> down_{};
};

}  // namespace platform
