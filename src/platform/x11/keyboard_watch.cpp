#include "platform/x11/keyboard_watch.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XInput2.h>

#include <array>

namespace x11 {

KeyboardWatch::KeyboardWatch() {
  if (!connection_) return;
  Display* display = connection_.get();
  int event = 0;
  int error = 0;
  // From XInput 2.1 on, raw events reach the root window whatever program has the focus, also while another
  // program holds a grab (an open menu); 2.0 would lose those.
  int major = 2;
  int minor = 2;
  if (!XQueryExtension(display, "XInputExtension", &xiOpcode_, &event, &error) ||
      XIQueryVersion(display, &major, &minor) != Success) {
    xiOpcode_ = -1;
  }
  int xkbOpcode = 0;
  int xkbError = 0;
  major = XkbMajorVersion;
  minor = XkbMinorVersion;
  if (XkbQueryExtension(display, &xkbOpcode, &xkbEventBase_, &xkbError, &major, &minor)) {
    XkbSelectEvents(display, XkbUseCoreKbd, XkbMapNotifyMask | XkbNewKeyboardNotifyMask,
                    XkbMapNotifyMask | XkbNewKeyboardNotifyMask);
  } else {
    xkbEventBase_ = -1;
  }
  keys_.load(display);
}

bool KeyboardWatch::startWatching(KeyHandler onKey) {
  if (!connection_ || xiOpcode_ < 0) return false;
  onKey_ = std::move(onKey);
  keys_.load(connection_.get());  // the layout may have changed while nothing was watching
  selectRawKeys(true);
  if (!source_) source_.emplace(connection_.get(), [this] { readEvents(); });
  return true;
}

void KeyboardWatch::stopWatching() {
  if (!connection_ || xiOpcode_ < 0) return;
  selectRawKeys(false);
  source_.reset();
  onKey_ = nullptr;
}

bool KeyboardWatch::isKeyDown(int virtualKey) {
  if (!connection_) return false;
  std::array<char, 32> pressed{};
  XQueryKeymap(connection_.get(), pressed.data());
  for (unsigned keycode : keys_.keycodesOf(virtualKey)) {
    if ((pressed[keycode / 8] & (1 << (keycode % 8))) != 0) return true;
  }
  return false;
}

std::int16_t KeyboardWatch::GetAsyncKeyState(int virtualKey) {
  return isKeyDown(virtualKey) ? static_cast<std::int16_t>(0x8000) : 0;
}

void KeyboardWatch::selectRawKeys(bool on) {
  std::array<unsigned char, XIMaskLen(XI_LASTEVENT)> bits{};
  if (on) {
    XISetMask(bits.data(), XI_RawKeyPress);
    XISetMask(bits.data(), XI_RawKeyRelease);
  }
  // Master devices only: each key then arrives once, not again from the physical keyboard behind it.
  XIEventMask mask{XIAllMasterDevices, static_cast<int>(bits.size()), bits.data()};
  XISelectEvents(connection_.get(), connection_.root(), &mask, 1);
  XFlush(connection_.get());
}

void KeyboardWatch::readEvents() {
  Display* display = connection_.get();
  while (XPending(display) > 0) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type == MappingNotify) {
      XRefreshKeyboardMapping(&event.xmapping);
      keys_.load(display);
      continue;
    }
    if (xkbEventBase_ >= 0 && event.type == xkbEventBase_) {
      keys_.load(display);
      continue;
    }
    XGenericEventCookie* cookie = &event.xcookie;
    if (cookie->type != GenericEvent || cookie->extension != xiOpcode_ || !XGetEventData(display, cookie)) {
      continue;
    }
    if (cookie->evtype == XI_RawKeyPress || cookie->evtype == XI_RawKeyRelease) {
      const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
      KeyMeaning meaning = keys_.meaningOf(static_cast<unsigned>(raw->detail));
      platform::KeyEvent key{meaning.virtualKey, cookie->evtype == XI_RawKeyPress, meaning.altGr};
      XFreeEventData(display, cookie);
      // Keys without a virtual-key code (media keys and the like) play no part in any gesture.
      if (onKey_ && key.virtualKey != 0) onKey_(key);
      continue;
    }
    XFreeEventData(display, cookie);
  }
}

}  // namespace x11
