#include "platform/x11/connection.h"

#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <system_error>

namespace x11 {

namespace {

// Xlib's error handler is one per process and GTK installs its own, so ours only swallows errors on the
// connections opened here and hands every other one on. Static because Xlib calls it as a plain C function.
struct ErrorRouting {
  std::set<Display*> ours;
  XErrorHandler previous = nullptr;
};

ErrorRouting& routing() {
  static ErrorRouting instance;
  return instance;
}

int routeError(Display* display, XErrorEvent* error) noexcept {
  if (routing().ours.contains(display)) return 0;
  XErrorHandler previous = routing().previous;
  return previous != nullptr ? previous(display, error) : 0;
}

void adopt(Display* display) {
  if (routing().ours.empty()) {
    XErrorHandler before = XSetErrorHandler(routeError);
    if (before != routeError) routing().previous = before;
  }
  routing().ours.insert(display);
}

void release(Display* display) { routing().ours.erase(display); }

struct XFreeDeleter {
  void operator()(unsigned char* data) const {
    if (data != nullptr) XFree(data);
  }
};
using XData = std::unique_ptr<unsigned char, XFreeDeleter>;

struct RawProperty {
  XData data;
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
};

RawProperty readRaw(Display* display, Window window, Atom property) {
  RawProperty raw;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  // 1 << 20 longs is far more than any property read here holds.
  if (XGetWindowProperty(display, window, property, 0, 1L << 20, False, AnyPropertyType, &raw.type,
                         &raw.format, &raw.count, &after, &data) != Success) {
    return {};
  }
  raw.data.reset(data);
  return raw;
}

}  // namespace

void DisplayCloser::operator()(Display* display) const {
  release(display);
  XCloseDisplay(display);
}

Connection::Connection(const char* name) : display_(XOpenDisplay(name)) {
  if (display_) adopt(display_.get());
}

std::vector<unsigned long> readCardinals(Display* display, Window window, Atom property, Atom type) {
  RawProperty raw = readRaw(display, window, property);
  if (!raw.data || raw.type != type || raw.format != 32) return {};
  // Format-32 items come as longs in Xlib, whatever the width of long.
  const auto* items = reinterpret_cast<const unsigned long*>(raw.data.get());
  return {items, items + raw.count};
}

std::optional<std::string> readText(Display* display, Window window, Atom property) {
  RawProperty raw = readRaw(display, window, property);
  if (!raw.data || raw.format != 8) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(raw.data.get()), raw.count);
}

void writeCardinals(Display* display, Window window, Atom property, Atom type,
                    const std::vector<unsigned long>& items) {
  XChangeProperty(display, window, property, type, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(items.data()), static_cast<int>(items.size()));
}

std::vector<Window> childrenOf(Display* display, Window window, Window* parent) {
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

std::optional<std::string> executableName(long pid) {
  if (pid <= 0) return std::nullopt;
  std::error_code error;
  auto target = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", error);
  if (error) return std::nullopt;
  // A replaced executable reads as "NAME (deleted)"; the process is still that program.
  std::string name = target.filename().string();
  constexpr std::string_view kDeleted = " (deleted)";
  if (name.ends_with(kDeleted)) name.resize(name.size() - kDeleted.size());
  return name;
}

}  // namespace x11
