#include "refresh/hotkey.h"

#include <charconv>

namespace hotkey {

namespace {
constexpr int kFirstScannedKey =
    platform::kVkControl;  // keys below Ctrl (mouse, Tab, Enter, Shift) are ignored
constexpr int kLastScannedKey = 128;
constexpr std::uintptr_t kTimerId = 0;
constexpr std::uint32_t kPeriodMs = 1;  // the window manager raises it to its own minimum
}  // namespace

Watcher::Watcher(platform::WindowManager& wm, std::function<void()> onSaveChord)
    : wm_(wm), onSaveChord_(std::move(onSaveChord)) {}

void Watcher::start(platform::Hwnd window) {
  if (running_) return;
  // A fresh start forgets half a chord seen before the watcher was stopped.
  curKey_.clear();
  prevKey_ = 0;
  fired_ = false;
  running_ = wm_.SetTimer(window, kTimerId, kPeriodMs, [this] { watchTimerProc(); });
}

void Watcher::stop(platform::Hwnd window) {
  wm_.KillTimer(window, kTimerId);
  running_ = false;
}

std::string Watcher::scanPressedKey() {
  for (int code = kFirstScannedKey; code <= kLastScannedKey; ++code) {
    if (wm_.GetAsyncKeyState(code) != 0) return std::to_string(code);
  }
  return "0";
}

void Watcher::watchTimerProc() {
  curKey_ = scanPressedKey();
  int key = 0;
  std::from_chars(curKey_.data(), curKey_.data() + curKey_.size(), key);
  if (key == platform::kVkS && prevKey_ == platform::kVkControl && !fired_) {
    fired_ = true;
    if (onSaveChord_) onSaveChord_();
    return;
  }
  prevKey_ = static_cast<std::int16_t>(key);
  fired_ = false;
}

}  // namespace hotkey
