#include "platform/x11/keyboard_watch.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XInput2.h>

namespace x11 {

namespace {

bool isDownIn(const Keymap& keymap, unsigned keycode) {
  return keycode < keymap.size() * 8 && (keymap[keycode / 8] & (1 << (keycode % 8))) != 0;
}

}  // namespace

std::vector<platform::KeyEvent> KeymapPoller::tick() {
  const Keymap keymap = readKeymap_();
  std::array<platform::PolledKey, platform::kPolledKeys.size()> now{};
  for (std::size_t i = 0; i < now.size(); ++i) {
    const auto [key, side] = platform::kPolledKeys[i];
    for (unsigned keycode : keys_.keycodesOf(key, side))
      now[i].down = now[i].down || isDownIn(keymap, keycode);
  }
  return poller_.changes(now);
}

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

bool KeyboardWatch::start(Handler onKey) {
  if (!connection_) return false;
  onKey_ = std::move(onKey);
  keys_.load(connection_.get());  // the layout may have changed while nothing was watching
  repeats_.clear();
  poller_.clear();
  if (!source_) source_.emplace(connection_.get(), [this] { readEvents(); });
  if (xiOpcode_ >= 0) {
    selectRawKeys(true);
  } else {
    pollTimer_ = Timeout(kPollMs, [this] { poll(); });
  }
  return true;
}

void KeyboardWatch::stop() {
  if (!connection_) return;
  if (xiOpcode_ >= 0) selectRawKeys(false);
  pollTimer_ = Timeout();
  source_.reset();
  onKey_ = nullptr;
}

Keymap KeyboardWatch::readKeymap() {
  Keymap keymap{};
  XQueryKeymap(connection_.get(), keymap.data());
  return keymap;
}

bool KeyboardWatch::isDown(int key, platform::KeySide side) {
  if (!connection_) return false;
  const Keymap keymap = readKeymap();
  for (unsigned keycode : keys_.keycodesOf(key, side)) {
    if (isDownIn(keymap, keycode)) return true;
  }
  return false;
}

void KeyboardWatch::poll() {
  pollTimer_ = Timeout(kPollMs, [this] { poll(); });
  for (const platform::KeyEvent& event : poller_.tick()) {
    if (onKey_) onKey_(event);
  }
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
    const bool press = cookie->evtype == XI_RawKeyPress;
    if (press || cookie->evtype == XI_RawKeyRelease) {
      const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
      const KeyMeaning meaning = keys_.meaningOf(static_cast<unsigned>(raw->detail));
      XFreeEventData(display, cookie);
      // Keys the program has no code for (media keys and the like) play no part in any gesture.
      if (meaning.key == 0) continue;
      const platform::KeyEvent key = repeats_.event(meaning.key, meaning.side, press, nowMs());
      if (onKey_) onKey_(key);
      continue;
    }
    XFreeEventData(display, cookie);
  }
}

}  // namespace x11
