#include "platform/win32/keyboard_watch.h"

namespace win32 {

namespace {
constexpr USHORT kGenericDesktopPage = 0x01;
constexpr USHORT kKeyboardUsage = 0x06;

bool registerKeyboard(DWORD flags, HWND target) {
  RAWINPUTDEVICE device{};
  device.usUsagePage = kGenericDesktopPage;
  device.usUsage = kKeyboardUsage;
  device.dwFlags = flags;
  device.hwndTarget = target;
  return RegisterRawInputDevices(&device, 1, sizeof device) != FALSE;
}
// What one raw keyboard report means: the generic code for a left or right modifier, and right Alt (reported
// with the E0 prefix) as AltGr. False for reports that carry no key (the overrun code 0xFF).
bool decodeRawKey(const RAWKEYBOARD& raw, platform::KeyEvent& event) {
  int vk = raw.VKey;
  if (vk == 0 || vk >= 0xFF) return false;
  switch (vk) {
    case VK_LSHIFT:
    case VK_RSHIFT:
      vk = VK_SHIFT;
      break;
    case VK_LCONTROL:
    case VK_RCONTROL:
      vk = VK_CONTROL;
      break;
    case VK_LMENU:
    case VK_RMENU:
      vk = VK_MENU;
      break;
    default:
      break;
  }
  const bool extended = (raw.Flags & RI_KEY_E0) != 0;
  event.virtualKey = vk;
  event.down = (raw.Flags & RI_KEY_BREAK) == 0;
  // On layouts with AltGr, Windows reports it as left Ctrl followed by right Alt; right Alt is the one with
  // E0.
  event.altGr = vk == VK_MENU && (extended || raw.VKey == VK_RMENU);
  return true;
}
}  // namespace

RawKeyboardWatch::~RawKeyboardWatch() { stopWatching(); }

bool RawKeyboardWatch::startWatching(KeyHandler onKey) {
  if (!target || !registerKeyboard(RIDEV_INPUTSINK, target)) return false;
  onKey_ = std::move(onKey);
  return true;
}

void RawKeyboardWatch::stopWatching() {
  if (!onKey_) return;
  onKey_ = nullptr;
  // Removing takes no target window.
  registerKeyboard(RIDEV_REMOVE, nullptr);
}

bool RawKeyboardWatch::isKeyDown(int virtualKey) {
  // The down bit only: the low "pressed since the last query" bit is shared with every other program.
  return (::GetAsyncKeyState(virtualKey) & 0x8000) != 0;
}

std::int16_t RawKeyboardWatch::GetAsyncKeyState(int virtualKey) { return ::GetAsyncKeyState(virtualKey); }

void RawKeyboardWatch::onRawInput(LPARAM lParam) {
  if (!onKey_) return;
  RAWINPUT input{};
  UINT size = sizeof input;
  if (GetRawInputData(reinterpret_cast<HRAWINPUT>(lParam), RID_INPUT, &input, &size,
                      sizeof(RAWINPUTHEADER)) == static_cast<UINT>(-1)) {
    return;
  }
  platform::KeyEvent event;
  if (input.header.dwType != RIM_TYPEKEYBOARD || !decodeRawKey(input.data.keyboard, event)) return;
  // Copy: the handler may stop the watch, which clears it.
  const KeyHandler onKey = onKey_;
  onKey(event);
}

}  // namespace win32
