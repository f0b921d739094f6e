// An Xlib connection of the program's own, and the few property reads and writes the engine needs.
//
// Every request about another program's window can fail at any moment (the window closes between two calls),
// so a connection made here reports X errors to nobody: a failed read simply yields nothing.
#pragma once

#include <X11/Xlib.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace x11 {

struct DisplayCloser {
  void operator()(Display* display) const;
};

// Owns one Display*; move-only. Empty when the X server could not be reached.
class Connection {
 public:
  // Opens the display named by DISPLAY (or by the argument).
  explicit Connection(const char* name = nullptr);
  Display* get() const { return display_.get(); }
  explicit operator bool() const { return display_ != nullptr; }
  Window root() const { return DefaultRootWindow(display_.get()); }
  Atom atom(const char* name) const { return XInternAtom(display_.get(), name, False); }

 private:
  std::unique_ptr<Display, DisplayCloser> display_;
};

// A property's items, read whole. Empty when the window or the property is missing or of another format.
std::vector<unsigned long> readCardinals(Display* display, Window window, Atom property, Atom type);
// A STRING or UTF8_STRING property as bytes (list properties keep their NUL separators).
std::optional<std::string> readText(Display* display, Window window, Atom property);
void writeCardinals(Display* display, Window window, Atom property, Atom type,
                    const std::vector<unsigned long>& items);

// The children of a window, bottom to top; also its parent when asked. Empty when the window is gone.
std::vector<Window> childrenOf(Display* display, Window window, Window* parent = nullptr);

// The name of the process's executable file (as /proc shows it), or nothing when it cannot be read.
std::optional<std::string> executableName(long pid);

}  // namespace x11
