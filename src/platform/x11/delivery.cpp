// The engine's deliveries: F5 sent to a Gecko browser's frame as it is, and to a Chromium frame inside a
// short hold in which it is told, by events that reach it alone, that it is active and shown.
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <memory>
#include <type_traits>

#include "platform/x11/desktop.h"

namespace x11 {

namespace {

constexpr unsigned long kIconicState = 3;
constexpr int kDeepest = 64;  // no window tree nests deeper; a bound against a tree changing under our feet

struct RegionDeleter {
  void operator()(Region region) const { XDestroyRegion(region); }
};
using RegionHandle = std::unique_ptr<std::remove_pointer_t<Region>, RegionDeleter>;

RegionHandle rectangleRegion(int x, int y, int width, int height) {
  RegionHandle region(XCreateRegion());
  XRectangle rect{static_cast<short>(x), static_cast<short>(y), static_cast<unsigned short>(width),
                  static_cast<unsigned short>(height)};
  XUnionRectWithRegion(&rect, region.get(), region.get());
  return region;
}

// The root's child that holds the window: the window manager's frame around it, or the window itself.
Window topLevelAncestor(Display* display, Window window, Window root) {
  for (int depth = 0; depth < kDeepest && window != None; ++depth) {
    Window parent = None;
    childrenOf(display, window, &parent);
    if (parent == root || parent == None) return window;
    window = parent;
  }
  return None;
}

}  // namespace

Desktop::~Desktop() {
  for (auto& [window, hold] : holds_) hold.again = false;
  while (!holds_.empty()) endHold(holds_.begin()->first);
}

void Desktop::refresh(const platform::BrowserFrame& frame) {
  const BrowserProgram* program = programOf(frame.browser);
  if (!connection_ || !frame.window || program == nullptr) return;
  const auto window = static_cast<Window>(frame.window.value);
  if (program->engine == Engine::Gecko) {
    sendF5(window);
  } else {
    deliverWhileActive(window);
  }
  XFlush(connection_.get());
}

void Desktop::sendF5(Window window) const {
  Display* display = connection_.get();
  XEvent event{};
  XKeyEvent& key = event.xkey;
  key.display = display;
  key.window = window;
  key.root = connection_.root();
  key.subwindow = None;
  key.time = CurrentTime;
  key.x = key.y = key.x_root = key.y_root = 1;
  key.state = 0;
  key.keycode = XKeysymToKeycode(display, XK_F5);
  key.same_screen = True;
  // Event mask 0: only the program that made the window receives it, never the window manager.
  for (int type : {KeyPress, KeyRelease}) {
    key.type = type;
    XSendEvent(display, window, False, 0, &event);
  }
}

void Desktop::sendFocus(Window window, int type) const {
  XEvent event{};
  event.xfocus.type = type;
  event.xfocus.display = connection_.get();
  event.xfocus.window = window;
  event.xfocus.mode = NotifyNormal;
  event.xfocus.detail = NotifyNonlinear;
  XSendEvent(connection_.get(), window, False, 0, &event);
}

void Desktop::sendVisibility(Window window, int state) const {
  XEvent event{};
  event.xvisibility.type = VisibilityNotify;
  event.xvisibility.display = connection_.get();
  event.xvisibility.window = window;
  event.xvisibility.state = state;
  XSendEvent(connection_.get(), window, False, 0, &event);
}

// Chromium drops a key unless it believes it is active, its page is visible, and it is still active when
// its renderer hands the key back. So it is told, for a moment and only by events that reach it alone, that
// it has the focus (and, if need be, that it is shown); the real focus, stacking and state never change.
void Desktop::deliverWhileActive(Window window) {
  if (auto held = holds_.find(window); held != holds_.end()) {
    // Its F5 of a moment ago is still being answered; one more follows right after, never overlapping.
    held->second.again = true;
    return;
  }
  if (hasKeyboard(window)) {
    sendF5(window);
    return;
  }
  Hold hold;
  if (isIconic(window)) hold.unhidden = changeHiddenMark(window, false);
  if (!compositorRuns() && isFullyCovered(window)) {
    sendVisibility(window, VisibilityUnobscured);
    hold.unobscured = true;
  }
  sendFocus(window, FocusIn);
  sendF5(window);
  hold.timer = Timeout(kHoldMs, [this, window] { endHold(window); });
  holds_.emplace(window, std::move(hold));
}

void Desktop::endHold(Window window) {
  auto held = holds_.find(window);
  if (held == holds_.end()) return;
  Hold hold = std::move(held->second);
  holds_.erase(held);
  // Put back only what is still so: a Chromium the user has activated meanwhile must not be told it lost the
  // focus (it would then ignore real keys), nor a window uncovered meanwhile that it is covered.
  if (!hasKeyboard(window)) sendFocus(window, FocusOut);
  if (hold.unobscured && !compositorRuns() && isFullyCovered(window)) {
    sendVisibility(window, VisibilityFullyObscured);
  }
  if (hold.unhidden && isIconic(window)) changeHiddenMark(window, true);
  if (hold.again) deliverWhileActive(window);
  XFlush(connection_.get());
}

// Whether the keys typed now go to the window: it (or a window inside it) has the input focus, or the focus
// follows the pointer (PointerRoot: no window manager, or one that lets the focus follow the mouse) and the
// pointer is over it. Such a window is active already and must never be told it lost the focus.
bool Desktop::hasKeyboard(Window window) const {
  Display* display = connection_.get();
  Window focus = None;
  int revert = 0;
  XGetInputFocus(display, &focus, &revert);
  if (focus == PointerRoot) {
    Window at = connection_.root();
    for (int depth = 0; depth < kDeepest; ++depth) {
      Window root = None, child = None;
      int rootX = 0, rootY = 0, x = 0, y = 0;
      unsigned buttons = 0;
      if (!XQueryPointer(display, at, &root, &child, &rootX, &rootY, &x, &y, &buttons) || child == None) {
        return false;
      }
      if (child == window) return true;
      at = child;
    }
    return false;
  }
  for (int depth = 0; depth < kDeepest && focus != None; ++depth) {
    if (focus == window) return true;
    Window parent = None;
    childrenOf(display, focus, &parent);
    if (parent == connection_.root()) return false;
    focus = parent;
  }
  return false;
}

bool Desktop::isIconic(Window window) const {
  const Atom wmState = connection_.atom("WM_STATE");
  const auto state = readCardinals(connection_.get(), window, wmState, wmState);
  return !state.empty() && state.front() == kIconicState;
}

bool Desktop::compositorRuns() const {
  const std::string selection = "_NET_WM_CM_S" + std::to_string(DefaultScreen(connection_.get()));
  return XGetSelectionOwner(connection_.get(), connection_.atom(selection.c_str())) != None;
}

// Whether no pixel of the window can be seen: what makes the X server tell it VisibilityFullyObscured.
bool Desktop::isFullyCovered(Window window) const {
  Display* display = connection_.get();
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable) return false;
  int x = 0;
  int y = 0;
  Window child = None;
  if (!XTranslateCoordinates(display, window, connection_.root(), 0, 0, &x, &y, &child)) return false;
  const RegionHandle uncovered = rectangleRegion(x, y, attributes.width, attributes.height);
  const Window topLevel = topLevelAncestor(display, window, connection_.root());
  const std::vector<Window> stack = childrenOf(display, connection_.root());
  auto above = std::ranges::find(stack, topLevel);
  if (above == stack.end()) return false;
  for (++above; above != stack.end(); ++above) {
    XWindowAttributes other;
    if (!XGetWindowAttributes(display, *above, &other) || other.map_state != IsViewable ||
        other.c_class == InputOnly) {
      continue;
    }
    const int border = 2 * other.border_width;
    const RegionHandle cover = rectangleRegion(other.x, other.y, other.width + border, other.height + border);
    XSubtractRegion(uncovered.get(), cover.get(), uncovered.get());
  }
  return XEmptyRegion(uncovered.get());
}

// Takes the minimised mark off the window's _NET_WM_STATE or puts it back, keeping the other marks. True when
// the property changed.
bool Desktop::changeHiddenMark(Window window, bool hidden) const {
  Display* display = connection_.get();
  const Atom property = connection_.atom("_NET_WM_STATE");
  const Atom mark = connection_.atom("_NET_WM_STATE_HIDDEN");
  auto states = readCardinals(display, window, property, XA_ATOM);
  const bool has = std::ranges::find(states, mark) != states.end();
  if (has == hidden) return false;
  if (hidden) {
    states.push_back(mark);
  } else {
    std::erase(states, mark);
  }
  writeCardinals(display, window, property, XA_ATOM, states);
  return true;
}

}  // namespace x11
