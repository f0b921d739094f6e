#include "refresh/hotkey.h"

#include <charconv>

namespace hotkey {

namespace {
constexpr std::uintptr_t kTimerId = 0;
constexpr std::uint32_t kPeriodMs = 1;  // the window manager raises it to its own minimum
// A key believed down this long without an event of its own is checked against the system: its release may
// have gone to a window of higher privilege or to the secure desktop. Not sooner, since the events of a chord
// may still be queued behind a busy moment while the system's state has moved on.
constexpr std::int64_t kUnseenReleaseMs = 1000;
}  // namespace

Watcher::Watcher(platform::KeyboardWatch& keyboard, platform::Timers& timers,
                 std::function<void()> onSaveChord)
    : keyboard_(keyboard), timers_(timers), onSaveChord_(std::move(onSaveChord)) {}

Watcher::~Watcher() {
  if (mode_ == Mode::Events) keyboard_.stopWatching();
}

void Watcher::start(platform::Hwnd window) {
  if (running()) return;
  // A fresh start forgets half a chord seen before the watcher was stopped, and keys already held count as up
  // until their next event.
  curKey_.clear();
  prevKey_ = 0;
  fired_ = false;
  keys_ = {};
  ctrlFromAltGr_ = false;
  if (keyboard_.startWatching([this](const platform::KeyEvent& event) { onKey(event); })) {
    mode_ = Mode::Events;
  } else if (timers_.SetTimer(window, kTimerId, kPeriodMs, [this] { watchTimerProc(); })) {
    mode_ = Mode::Polling;
  }
}

void Watcher::stop(platform::Hwnd window) {
  if (mode_ == Mode::Events) {
    keyboard_.stopWatching();
  } else {
    timers_.KillTimer(window, kTimerId);
  }
  mode_ = Mode::Stopped;
}

void Watcher::onKey(const platform::KeyEvent& event) {
  if (event.altGr && event.down) ctrlFromAltGr_ = true;
  if (event.virtualKey == platform::kVkControl && event.down && !event.altGr) ctrlFromAltGr_ = false;
  if (event.virtualKey >= kFirstKey && event.virtualKey <= kLastKey) {
    Key& key = keys_[static_cast<std::size_t>(event.virtualKey)];
    key.down = event.down;
    if (event.down) key.pressedSinceQuery = true;
    key.lastSeenMs = keyboard_.steadyMilliseconds();
  }
  watchTimerProc();
}

bool Watcher::queryKey(int code) {
  if (mode_ != Mode::Events) return keyboard_.GetAsyncKeyState(code) != 0;
  Key& key = keys_[static_cast<std::size_t>(code)];
  const bool pressed = key.down || key.pressedSinceQuery;
  key.pressedSinceQuery = false;
  return pressed;
}

std::string Watcher::scanPressedKey() {
  for (int code = kFirstKey; code <= kLastKey; ++code) {
    if (queryKey(code)) return std::to_string(code);
  }
  return "0";
}

void Watcher::forgetUnseenReleases() {
  const std::int64_t now = keyboard_.steadyMilliseconds();
  for (int code = kFirstKey; code <= kLastKey; ++code) {
    Key& key = keys_[static_cast<std::size_t>(code)];
    if (!key.down || now - key.lastSeenMs <= kUnseenReleaseMs) continue;
    // Only the current state is asked (the system's shared pressed-since bit is left alone); a key still held
    // is asked again a second later.
    if (keyboard_.isKeyDown(code)) {
      key.lastSeenMs = now;
    } else {
      key.down = false;
    }
  }
}

void Watcher::watchTimerProc() {
  if (mode_ == Mode::Events) forgetUnseenReleases();
  curKey_ = scanPressedKey();
  int key = 0;
  std::from_chars(curKey_.data(), curKey_.data() + curKey_.size(), key);
  if (key == platform::kVkS && prevKey_ == platform::kVkControl && !fired_ && !ctrlFromAltGr_) {
    fired_ = true;
    if (onSaveChord_) onSaveChord_();
    return;
  }
  prevKey_ = static_cast<std::int16_t>(key);
  fired_ = false;
}

}  // namespace hotkey
