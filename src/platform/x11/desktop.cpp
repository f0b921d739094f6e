#include "platform/x11/desktop.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <memory>
#include <type_traits>

namespace x11 {

namespace {

// WM_STATE values (ICCCM 4.1.3.1).
constexpr unsigned long kNormalState = 1;
constexpr unsigned long kIconicState = 3;

// _NET_WM_STATE client message actions.
constexpr long kStateRemove = 0;
constexpr long kStateAdd = 1;
constexpr long kSourceApplication = 1;

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

// Children of a window, bottom to top, freed by the caller's vector.
std::vector<Window> childrenOf(Display* display, Window window, Window* parent = nullptr) {
  Window root = None;
  Window parentWindow = None;
  Window* children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display, window, &root, &parentWindow, &children, &count)) return {};
  std::vector<Window> list(children, children + count);
  if (children != nullptr) XFree(children);
  if (parent != nullptr) *parent = parentWindow;
  return list;
}

// The root's child that holds the window: the window manager's frame around it, or the window itself.
Window topLevelAncestor(Display* display, Window window, Window root) {
  for (int depth = 0; depth < 64 && window != None; ++depth) {
    Window parent = None;
    childrenOf(display, window, &parent);
    if (parent == root || parent == None) return window;
    window = parent;
  }
  return None;
}

std::string thisHost() {
  std::array<char, 256> name{};
  if (gethostname(name.data(), name.size() - 1) != 0) return {};
  return name.data();
}

// The second string of WM_CLASS ("instance\0class\0").
std::string classOf(const std::string& wmClass) {
  auto end = wmClass.find('\0');
  if (end == std::string::npos) return {};
  std::string rest = wmClass.substr(end + 1);
  return rest.substr(0, rest.find('\0'));
}

}  // namespace

Desktop::Desktop() : host_(thisHost()) {}

Desktop::~Desktop() {
  for (auto& [window, hold] : holds_) hold.again = false;
  while (!holds_.empty()) endHold(holds_.begin()->first);
}

bool Desktop::windowManagerRuns() const {
  Display* display = connection_.get();
  Atom check = connection_.atom("_NET_SUPPORTING_WM_CHECK");
  auto fromRoot = readCardinals(display, connection_.root(), check, XA_WINDOW);
  if (fromRoot.empty()) return false;
  // A window manager that has gone leaves the root's property behind but not its own window.
  auto fromItself = readCardinals(display, fromRoot.front(), check, XA_WINDOW);
  return !fromItself.empty() && fromItself.front() == fromRoot.front();
}

std::vector<Window> Desktop::clientsFrontToBack() const {
  Display* display = connection_.get();
  std::vector<Window> clients;
  if (windowManagerRuns()) {
    for (const char* list : {"_NET_CLIENT_LIST_STACKING", "_NET_CLIENT_LIST"}) {
      auto items = readCardinals(display, connection_.root(), connection_.atom(list), XA_WINDOW);
      if (!items.empty()) {
        clients.assign(items.begin(), items.end());
        break;
      }
    }
  } else {
    clients = childrenOf(display, connection_.root());
  }
  std::ranges::reverse(clients);  // both lists run bottom to top
  return clients;
}

bool Desktop::isTopLevelClient(Window window, bool managedByWindowManager) const {
  Display* display = connection_.get();
  if (managedByWindowManager) {
    // Normal or minimised; withdrawn windows are gone from the user's desktop.
    Atom wmState = connection_.atom("WM_STATE");
    auto state = readCardinals(display, window, wmState, wmState);
    if (state.empty() || (state.front() != kNormalState && state.front() != kIconicState)) return false;
  } else {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) return false;
    if (attributes.map_state != IsViewable || attributes.override_redirect) return false;
  }
  Window owner = None;
  if (XGetTransientForHint(display, window, &owner)) return false;
  auto types = readCardinals(display, window, connection_.atom("_NET_WM_WINDOW_TYPE"), XA_ATOM);
  return types.empty() || types.front() == connection_.atom("_NET_WM_WINDOW_TYPE_NORMAL");
}

const BrowserProgram* Desktop::identify(Window window) const {
  Display* display = connection_.get();
  // A process id means something only on the machine that made the window.
  auto machine = readText(display, window, XA_WM_CLIENT_MACHINE);
  if (!machine || machine->substr(0, machine->find('\0')) != host_) return nullptr;
  auto wmClass = readText(display, window, XA_WM_CLASS);
  if (!wmClass) return nullptr;
  auto pid = readCardinals(display, window, connection_.atom("_NET_WM_PID"), XA_CARDINAL);
  if (pid.empty()) return nullptr;
  // A process that cannot be read (gone, another user's, another process namespace) is skipped, not guessed.
  auto executable = executableName(static_cast<long>(pid.front()));
  if (!executable) return nullptr;
  return findBrowserProgram(classOf(*wmClass), *executable);
}

platform::Hwnd Desktop::findBrowserWindow(platform::BrowserKind kind) {
  if (!connection_) return 0;
  bool managed = windowManagerRuns();
  for (Window window : clientsFrontToBack()) {
    if (!isTopLevelClient(window, managed)) continue;
    if (const BrowserProgram* program = identify(window); program != nullptr && program->kind == kind) {
      return static_cast<platform::Hwnd>(window);  // X resource ids use 29 bits
    }
  }
  return 0;
}

void Desktop::deliverRefresh(platform::Hwnd handle) {
  if (!connection_ || handle <= 0) return;
  auto window = static_cast<Window>(handle);
  const BrowserProgram* program = identify(window);
  if (program == nullptr) return;
  if (program->delivery == Delivery::Direct) {
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
  if (hasInputFocus(window)) {
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
  if (!hasInputFocus(window)) sendFocus(window, FocusOut);
  if (hold.unobscured && !compositorRuns() && isFullyCovered(window)) {
    sendVisibility(window, VisibilityFullyObscured);
  }
  if (hold.unhidden && isIconic(window)) changeHiddenMark(window, true);
  XFlush(connection_.get());
  if (hold.again) deliverRefresh(static_cast<platform::Hwnd>(window));
}

bool Desktop::hasInputFocus(Window window) const {
  Display* display = connection_.get();
  Window focus = None;
  int revert = 0;
  XGetInputFocus(display, &focus, &revert);
  for (int depth = 0; depth < 64 && focus != None && focus != PointerRoot; ++depth) {
    if (focus == window) return true;
    Window parent = None;
    childrenOf(display, focus, &parent);
    if (parent == connection_.root()) return false;
    focus = parent;
  }
  return false;
}

bool Desktop::isIconic(Window window) const {
  Atom wmState = connection_.atom("WM_STATE");
  auto state = readCardinals(connection_.get(), window, wmState, wmState);
  return !state.empty() && state.front() == kIconicState;
}

bool Desktop::compositorRuns() const {
  std::string selection = "_NET_WM_CM_S" + std::to_string(DefaultScreen(connection_.get()));
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
  RegionHandle uncovered = rectangleRegion(x, y, attributes.width, attributes.height);
  Window topLevel = topLevelAncestor(display, window, connection_.root());
  auto stack = childrenOf(display, connection_.root());
  auto above = std::ranges::find(stack, topLevel);
  if (above == stack.end()) return false;
  for (++above; above != stack.end(); ++above) {
    XWindowAttributes other;
    if (!XGetWindowAttributes(display, *above, &other) || other.map_state != IsViewable ||
        other.c_class == InputOnly) {
      continue;
    }
    int border = 2 * other.border_width;
    RegionHandle cover = rectangleRegion(other.x, other.y, other.width + border, other.height + border);
    XSubtractRegion(uncovered.get(), cover.get(), uncovered.get());
  }
  return XEmptyRegion(uncovered.get());
}

// Takes the minimised mark off the window's _NET_WM_STATE or puts it back, keeping the other marks. True when
// the property changed.
bool Desktop::changeHiddenMark(Window window, bool hidden) const {
  Display* display = connection_.get();
  Atom property = connection_.atom("_NET_WM_STATE");
  Atom mark = connection_.atom("_NET_WM_STATE_HIDDEN");
  auto states = readCardinals(display, window, property, XA_ATOM);
  bool has = std::ranges::find(states, mark) != states.end();
  if (has == hidden) return false;
  if (hidden) {
    states.push_back(mark);
  } else {
    std::erase(states, mark);
  }
  writeCardinals(display, window, property, XA_ATOM, states);
  return true;
}

void Desktop::setOpacity(platform::Hwnd handle, std::uint8_t alpha) {
  if (!connection_ || handle <= 0) return;
  // The property spans 0..0xffffffff; 0x01010101 per step makes 255 exactly opaque.
  writeCardinals(connection_.get(), static_cast<Window>(handle), connection_.atom("_NET_WM_WINDOW_OPACITY"),
                 XA_CARDINAL, {alpha * 0x01010101UL});
  XFlush(connection_.get());
}

void Desktop::setAbove(platform::Hwnd handle, bool above) {
  if (!connection_ || handle <= 0) return;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = static_cast<Window>(handle);
  event.xclient.message_type = connection_.atom("_NET_WM_STATE");
  event.xclient.format = 32;
  event.xclient.data.l[0] = above ? kStateAdd : kStateRemove;
  event.xclient.data.l[1] = static_cast<long>(connection_.atom("_NET_WM_STATE_ABOVE"));
  event.xclient.data.l[2] = 0;
  event.xclient.data.l[3] = kSourceApplication;
  // The window manager owns the stacking; it acts on this request to the root.
  XSendEvent(connection_.get(), connection_.root(), False, SubstructureRedirectMask | SubstructureNotifyMask,
             &event);
  XFlush(connection_.get());
}

}  // namespace x11
