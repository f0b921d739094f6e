// The engine's lookups: which top-level windows are browser frames, front to back, the visible desktop
// first; and the two window properties the settings panel sets.
#include "platform/x11/desktop.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <algorithm>
#include <array>

namespace x11 {

namespace {

// WM_STATE values (ICCCM 4.1.3.1).
constexpr unsigned long kNormalState = 1;
constexpr unsigned long kIconicState = 3;
// _NET_WM_DESKTOP of a window shown on every desktop.
constexpr unsigned long kAllDesktops = 0xFFFFFFFF;
// How deep a reparenting window manager nests the client inside its frame.
constexpr int kFrameDepth = 2;

// _NET_WM_STATE client message actions.
constexpr long kStateRemove = 0;
constexpr long kStateAdd = 1;
constexpr long kSourceApplication = 1;

std::string hostName() {
  std::array<char, 256> name{};
  if (gethostname(name.data(), name.size() - 1) != 0) return {};
  return name.data();
}

// The n-th string of a list property such as WM_CLASS ("instance\0class\0").
std::string_view nthString(std::string_view list, int n) {
  for (; n > 0; --n) {
    const std::size_t end = list.find('\0');
    if (end == std::string_view::npos) return {};
    list.remove_prefix(end + 1);
  }
  return list.substr(0, list.find('\0'));
}

bool sameBrowser(const platform::BrowserFrame& frame, platform::Browser browser) {
  return frame.browser == browser;
}

bool holds(const std::vector<platform::BrowserFrame>& frames, platform::Browser browser) {
  return std::ranges::any_of(frames, [&](const auto& frame) { return sameBrowser(frame, browser); });
}

}  // namespace

Desktop::Desktop() : hostAtStart_(hostName()) {}

bool Desktop::windowManagerRuns() const {
  Display* display = connection_.get();
  const Atom check = connection_.atom("_NET_SUPPORTING_WM_CHECK");
  const auto fromRoot = readCardinals(display, connection_.root(), check, XA_WINDOW);
  if (fromRoot.empty()) return false;
  // A window manager that has gone leaves the root's property behind but not its own window.
  const auto fromItself = readCardinals(display, fromRoot.front(), check, XA_WINDOW);
  return !fromItself.empty() && fromItself.front() == fromRoot.front();
}

std::vector<Desktop::Candidate> Desktop::clientsFrontToBack() const {
  Display* display = connection_.get();
  std::vector<Candidate> clients;
  if (windowManagerRuns()) {
    for (const char* list : {"_NET_CLIENT_LIST_STACKING", "_NET_CLIENT_LIST"}) {
      const auto items = readCardinals(display, connection_.root(), connection_.atom(list), XA_WINDOW);
      for (auto it = items.rbegin(); it != items.rend(); ++it) clients.push_back({*it, true});
      if (!items.empty()) return clients;
    }
  }
  // Without a window manager's lists the root's children, bottom to top, are the top-level windows themselves
  // (a bare server) or a reparenting manager's frames (twm), each holding a client marked with WM_STATE. A
  // minimised client's frame is unmapped there, so it is not seen.
  const std::vector<Window> children = childrenOf(display, connection_.root());
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, *it, &attributes) || attributes.map_state != IsViewable ||
        attributes.override_redirect) {
      continue;
    }
    const Window client = clientInside(*it, kFrameDepth);
    clients.push_back(client != None ? Candidate{client, true} : Candidate{*it, false});
  }
  return clients;
}

// The window itself or the first window inside it that a window manager marked as its client.
Window Desktop::clientInside(Window frame, int depth) const {
  const Atom wmState = connection_.atom("WM_STATE");
  if (!readCardinals(connection_.get(), frame, wmState, wmState).empty()) return frame;
  if (depth == 0) return None;
  const std::vector<Window> children = childrenOf(connection_.get(), frame);
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    if (const Window client = clientInside(*it, depth - 1); client != None) return client;
  }
  return None;
}

// The cheapest reading first: most windows are no browser's and are told apart by their class alone.
std::optional<platform::Browser> Desktop::identify(const Candidate& candidate,
                                                   std::span<const platform::Browser> browsers) const {
  Display* display = connection_.get();
  const Window window = candidate.window;
  const std::optional<std::string> wmClass = readText(display, window, XA_WM_CLASS);
  if (!wmClass || !anyHasClass(browsers, nthString(*wmClass, 1))) return std::nullopt;
  if (candidate.managed) {
    // Normal or minimised; withdrawn windows are gone from the user's desktop.
    const Atom wmState = connection_.atom("WM_STATE");
    const auto state = readCardinals(display, window, wmState, wmState);
    if (state.empty() || (state.front() != kNormalState && state.front() != kIconicState))
      return std::nullopt;
  }
  Window owner = None;
  if (XGetTransientForHint(display, window, &owner)) return std::nullopt;
  const auto types = readCardinals(display, window, connection_.atom("_NET_WM_WINDOW_TYPE"), XA_ATOM);
  if (!types.empty() && types.front() != connection_.atom("_NET_WM_WINDOW_TYPE_NORMAL")) return std::nullopt;
  // A process id means something only on the machine that made the window.
  const std::optional<std::string> machine = readText(display, window, XA_WM_CLIENT_MACHINE);
  if (!machine || !onThisMachine(std::string(nthString(*machine, 0)))) return std::nullopt;
  const auto pid = readCardinals(display, window, connection_.atom("_NET_WM_PID"), XA_CARDINAL);
  if (pid.empty()) return std::nullopt;
  // A process that cannot be read (gone, another user's, another process namespace) is skipped, not guessed.
  const std::optional<std::string> executable = executableName(static_cast<long>(pid.front()));
  if (!executable) return std::nullopt;
  return browserOf(browsers, nthString(*wmClass, 0), nthString(*wmClass, 1), *executable);
}

// The host may be renamed while the session runs (a new network, say): browsers started before carry the
// old name, those started after the new one.
bool Desktop::onThisMachine(const std::string& machine) const {
  return machine == hostAtStart_ || machine == hostName();
}

bool Desktop::onVisibleDesktop(Window window, std::optional<unsigned long> current) const {
  if (!current) return true;
  const auto desktop =
      readCardinals(connection_.get(), window, connection_.atom("_NET_WM_DESKTOP"), XA_CARDINAL);
  // Xlib hands 32-bit items over sign-extended: only their low 32 bits are the value.
  return desktop.empty() || (desktop.front() & kAllDesktops) == kAllDesktops ||
         (desktop.front() & kAllDesktops) == *current;
}

std::vector<platform::BrowserFrame> Desktop::findFrames(std::span<const platform::Browser> browsers) {
  if (!connection_ || std::ranges::none_of(browsers, [](auto b) { return programOf(b) != nullptr; }))
    return {};
  const auto currentDesktop = readCardinals(connection_.get(), connection_.root(),
                                            connection_.atom("_NET_CURRENT_DESKTOP"), XA_CARDINAL);
  const std::optional<unsigned long> current =
      currentDesktop.empty() ? std::nullopt : std::optional(currentDesktop.front() & kAllDesktops);
  std::vector<platform::BrowserFrame> visible, elsewhere;
  for (const Candidate& candidate : clientsFrontToBack()) {
    const std::optional<platform::Browser> browser = identify(candidate, browsers);
    if (!browser || holds(visible, *browser)) continue;
    const platform::BrowserFrame frame{{static_cast<std::int64_t>(candidate.window)}, *browser};
    if (onVisibleDesktop(candidate.window, current)) {
      // The frontmost frame on the desktop the user sees wins over one in front of it elsewhere.
      std::erase_if(elsewhere, [&](const auto& other) { return sameBrowser(other, *browser); });
      visible.push_back(frame);
    } else if (!holds(elsewhere, *browser)) {
      elsewhere.push_back(frame);
    }
  }
  visible.insert(visible.end(), elsewhere.begin(), elsewhere.end());
  return visible;
}

void Desktop::setOpacity(platform::WindowId window, std::uint8_t alpha) {
  if (!connection_ || !window) return;
  // The property spans 0..0xffffffff; 0x01010101 per step makes 255 exactly opaque.
  writeCardinals(connection_.get(), static_cast<Window>(window.value),
                 connection_.atom("_NET_WM_WINDOW_OPACITY"), XA_CARDINAL, {alpha * 0x01010101UL});
  XFlush(connection_.get());
}

void Desktop::setAbove(platform::WindowId window, bool above) {
  if (!connection_ || !window) return;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = static_cast<Window>(window.value);
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
