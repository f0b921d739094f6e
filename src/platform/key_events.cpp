#include "platform/key_events.h"

#include <algorithm>

namespace platform {

namespace {
// Longer than the longest delay before a keyboard starts repeating (one second on Windows).
constexpr std::int64_t kLongestRepeatDelayMs = 1500;
}  // namespace

KeyEvent KeyRepeats::event(int key, KeySide side, bool down, std::int64_t nowMs) {
  const auto held =
      std::ranges::find_if(down_, [&](const Down& d) { return d.key == key && d.side == side; });
  const bool wasDown = held != down_.end();
  const bool repeat = down && wasDown && nowMs - held->lastMs <= kLongestRepeatDelayMs;
  if (down && wasDown) held->lastMs = nowMs;
  if (down && !wasDown) down_.push_back({key, side, nowMs});
  if (!down && wasDown) down_.erase(held);
  return {key, side, down, repeat};
}

std::vector<KeyEvent> KeyPoller::changes(std::span<const PolledKey, kPolledKeys.size()> now) {
  std::vector<KeyEvent> events;
  for (std::size_t i = 0; i < kPolledKeys.size(); ++i) {
    const auto [key, side] = kPolledKeys[i];
    if (!down_[i] && (now[i].down || now[i].pressedSincePoll)) events.push_back({key, side, true, false});
  }
  for (std::size_t i = kPolledKeys.size(); i-- > 0;) {
    const auto [key, side] = kPolledKeys[i];
    const bool tapped = !down_[i] && !now[i].down && now[i].pressedSincePoll;
    if ((down_[i] && !now[i].down) || tapped) events.push_back({key, side, false, false});
    down_[i] = now[i].down;
  }
  return events;
}

}  // namespace platform
