#include "refresh/save_chord.h"

#include <optional>
#include <utility>

namespace refresh {

namespace {

using platform::KeySide;

// A modifier believed down this long without an event of its own is asked about: its release may have gone
// to a window of higher privilege or to the secure desktop. Not sooner, since the events of a chord may still
// be queued behind a busy moment while the system's state has moved on.
constexpr std::int64_t kUnheardReleaseMs = 1000;

struct ModifierKey {
  int key;
  KeySide side;
};
constexpr std::array<ModifierKey, 6> kModifierKeys = {{{platform::kKeyControl, KeySide::Left},
                                                       {platform::kKeyControl, KeySide::Right},
                                                       {platform::kKeyAlt, KeySide::Left},
                                                       {platform::kKeyAlt, KeySide::Right},
                                                       {platform::kKeySuper, KeySide::Left},
                                                       {platform::kKeySuper, KeySide::Right}}};

std::optional<std::size_t> modifierOf(const platform::KeyEvent& event) {
  for (std::size_t i = 0; i < kModifierKeys.size(); ++i) {
    // A window system that cannot tell the sides apart reports the left one.
    const KeySide side = event.side == KeySide::Any ? KeySide::Left : event.side;
    if (kModifierKeys[i].key == event.key && kModifierKeys[i].side == side) return i;
  }
  return std::nullopt;
}

}  // namespace

SaveChordWatcher::SaveChordWatcher(platform::KeyboardWatch& keyboard, std::function<void()> onSave)
    : keyboard_(keyboard), onSave_(std::move(onSave)) {}

SaveChordWatcher::~SaveChordWatcher() { stop(); }

void SaveChordWatcher::start() {
  if (running_) return;
  held_ = {};
  saved_ = false;
  running_ = keyboard_.start([this](const platform::KeyEvent& event) { onKey(event); });
}

void SaveChordWatcher::stop() {
  if (!running_) return;
  keyboard_.stop();
  running_ = false;
}

void SaveChordWatcher::endHold(bool fire) {
  const bool saved = std::exchange(saved_, false);
  if (fire && saved && onSave_) onSave_();
}

void SaveChordWatcher::forgetUnheardReleases(std::int64_t nowMs) {
  for (std::size_t i = 0; i < held_.size(); ++i) {
    Held& held = held_[i];
    if (!held.down || nowMs - held.lastHeardMs <= kUnheardReleaseMs) continue;
    // Only the key's state now is asked (never the system's shared "pressed since" bit); a key still held is
    // asked again a second later.
    if (keyboard_.isDown(kModifierKeys[i].key, kModifierKeys[i].side)) {
      held.lastHeardMs = nowMs;
      continue;
    }
    const bool wasCtrl = ctrlHeld();
    held.down = false;
    // A hold whose end was never seen saves nothing: the user did not let Ctrl go where it could be heard.
    if (wasCtrl && !ctrlHeld()) endHold(false);
  }
}

void SaveChordWatcher::onKey(const platform::KeyEvent& event) {
  const std::int64_t now = keyboard_.nowMs();
  forgetUnheardReleases(now);
  if (const std::optional<std::size_t> modifier = modifierOf(event)) {
    Held& held = held_[*modifier];
    const bool isCtrl = *modifier == LeftCtrl || *modifier == RightCtrl;
    if (event.down && event.repeat && !held.down) return;  // held since before the watcher heard it go down
    if (isCtrl && event.down && !event.repeat && held.down) endHold(false);  // its release was lost
    const bool wasCtrl = ctrlHeld();
    held = {event.down, now};
    if (isCtrl && wasCtrl && !ctrlHeld()) endHold(true);
    return;
  }
  const bool spoiled =
      held_[LeftAlt].down || held_[RightAlt].down || held_[LeftSuper].down || held_[RightSuper].down;
  if (event.key == platform::kKeyS && event.down && ctrlHeld() && !spoiled) saved_ = true;
}

}  // namespace refresh
