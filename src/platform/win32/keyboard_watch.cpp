#include "platform/win32/keyboard_watch.h"

#include <array>
#include <utility>

namespace win32 {

namespace {

constexpr USHORT kGenericDesktopPage = 0x01;
constexpr USHORT kKeyboardUsage = 0x06;
constexpr UINT_PTR kPollTimer = 1;
// Asked for 10 ms; user32 ticks no faster than that anyway.
constexpr UINT kPollEveryMs = 10;
// Left and right Shift have no E0 prefix to tell them apart; their make codes do.
constexpr USHORT kRightShiftMakeCode = 0x36;

bool registerKeyboard(DWORD flags, HWND target) {
  RAWINPUTDEVICE device{};
  device.usUsagePage = kGenericDesktopPage;
  device.usUsage = kKeyboardUsage;
  device.dwFlags = flags;
  device.hwndTarget = target;
  return RegisterRawInputDevices(&device, 1, sizeof device) != FALSE;
}

struct Decoded {
  int key;
  platform::KeySide side;
};

// A raw keyboard report as the program's key: modifiers by their generic code and side (right Ctrl and right
// Alt carry the E0 prefix), the Windows keys as Super. Nothing for reports that carry no key (the overrun
// code 0xFF) and for the Shift that Windows fakes around navigation keys (with E0).
std::optional<Decoded> decode(const RAWKEYBOARD& raw) {
  using platform::KeySide;
  const bool e0 = (raw.Flags & RI_KEY_E0) != 0;
  switch (raw.VKey) {
    case 0:
    case 0xFF:
      return std::nullopt;
    case VK_CONTROL:
    case VK_LCONTROL:
    case VK_RCONTROL:
      return Decoded{platform::kKeyControl, e0 || raw.VKey == VK_RCONTROL ? KeySide::Right : KeySide::Left};
    case VK_MENU:
    case VK_LMENU:
    case VK_RMENU:
      return Decoded{platform::kKeyAlt, e0 || raw.VKey == VK_RMENU ? KeySide::Right : KeySide::Left};
    case VK_SHIFT:
    case VK_LSHIFT:
    case VK_RSHIFT:
      if (e0) return std::nullopt;
      return Decoded{platform::kKeyShift, raw.MakeCode == kRightShiftMakeCode || raw.VKey == VK_RSHIFT
                                              ? KeySide::Right
                                              : KeySide::Left};
    case VK_LWIN:
      return Decoded{platform::kKeySuper, KeySide::Left};
    case VK_RWIN:
      return Decoded{platform::kKeySuper, KeySide::Right};
    default:
      return Decoded{raw.VKey, KeySide::Any};
  }
}

// The virtual key that user32's key state keeps for a key and side; 0 for "either Windows key".
int virtualKey(int key, platform::KeySide side) {
  using platform::KeySide;
  const bool left = side == KeySide::Left, right = side == KeySide::Right;
  switch (key) {
    case platform::kKeyControl:
      return left ? VK_LCONTROL : right ? VK_RCONTROL : VK_CONTROL;
    case platform::kKeyAlt:
      return left ? VK_LMENU : right ? VK_RMENU : VK_MENU;
    case platform::kKeyShift:
      return left ? VK_LSHIFT : right ? VK_RSHIFT : VK_SHIFT;
    case platform::kKeySuper:
      return left ? VK_LWIN : right ? VK_RWIN : 0;
    default:
      return key;
  }
}

bool downNow(int virtualKeyCode) { return (GetAsyncKeyState(virtualKeyCode) & 0x8000) != 0; }

}  // namespace

std::vector<platform::KeyEvent> pollKeyState(platform::KeyPoller& poller) {
  std::array<platform::PolledKey, platform::kPolledKeys.size()> now{};
  for (std::size_t i = 0; i < now.size(); ++i) {
    const auto [key, side] = platform::kPolledKeys[i];
    const SHORT state = GetAsyncKeyState(virtualKey(key, side));
    now[i] = {(state & 0x8000) != 0, key == platform::kKeyS && (state & 1) != 0};
  }
  return poller.changes(now);
}

RawKeyboardWatch::RawKeyboardWatch(bool pollOnly)
    : pollOnly_(pollOnly),
      window_([this](UINT msg, WPARAM wParam, LPARAM lParam) { return onMessage(msg, wParam, lParam); }) {}

RawKeyboardWatch::~RawKeyboardWatch() { stop(); }

bool RawKeyboardWatch::start(Handler onKey) {
  stop();
  if (!window_.hwnd()) return false;
  repeats_.clear();
  poller_.clear();
  raw_ = !pollOnly_ && registerKeyboard(RIDEV_INPUTSINK, window_.hwnd());
  if (!raw_) {
    // The keys held now count from their next press, and an S pressed long before (its pressed-since bit
    // still set) is not taken for one pressed now.
    pollKeyState(poller_);
    polling_ = SetTimer(window_.hwnd(), kPollTimer, kPollEveryMs, nullptr) != 0;
    if (!polling_) return false;
  }
  onKey_ = std::move(onKey);
  return true;
}

void RawKeyboardWatch::stop() {
  onKey_ = nullptr;
  // Removing takes no target window.
  if (std::exchange(raw_, false)) registerKeyboard(RIDEV_REMOVE, nullptr);
  if (std::exchange(polling_, false)) KillTimer(window_.hwnd(), kPollTimer);
}

bool RawKeyboardWatch::isDown(int key, platform::KeySide side) {
  const int code = virtualKey(key, side);
  return code != 0 ? downNow(code) : downNow(VK_LWIN) || downNow(VK_RWIN);
}

bool RawKeyboardWatch::onMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INPUT) {
    rawInput(lParam);
    return false;  // DefWindowProc frees the input
  }
  if (msg == WM_TIMER && wParam == kPollTimer) {
    poll();
    return true;
  }
  return false;
}

void RawKeyboardWatch::rawInput(LPARAM lParam) {
  RAWINPUT input{};
  UINT size = sizeof input;
  if (!onKey_ ||
      GetRawInputData(reinterpret_cast<HRAWINPUT>(lParam), RID_INPUT, &input, &size,
                      sizeof(RAWINPUTHEADER)) == static_cast<UINT>(-1) ||
      input.header.dwType != RIM_TYPEKEYBOARD) {
    return;
  }
  const std::optional<Decoded> key = decode(input.data.keyboard);
  if (!key) return;
  const bool down = (input.data.keyboard.Flags & RI_KEY_BREAK) == 0;
  report(repeats_.event(key->key, key->side, down, nowMs()));
}

void RawKeyboardWatch::poll() {
  for (const platform::KeyEvent& event : pollKeyState(poller_)) report(event);
}

void RawKeyboardWatch::report(const platform::KeyEvent& event) {
  if (!onKey_) return;
  // A copy: the handler may stop the watch, which lets go of it.
  const Handler onKey = onKey_;
  onKey(event);
}

}  // namespace win32
