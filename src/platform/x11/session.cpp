#include "platform/x11/session.h"

#include <cstdlib>
#include <string_view>

#include "platform/x11/connection.h"

namespace x11 {

namespace {

std::string_view environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace

DisplayCheck checkDisplay() {
  if (!Connection()) {
    std::string display(environment("DISPLAY"));
    return {false,
            "Vask F5 needs an X11 display and could not open one" +
                (display.empty() ? std::string(" (DISPLAY is not set).") : " (DISPLAY=" + display + ").") +
                " Start it in an X11 session, or in a Wayland session that runs XWayland."};
  }
  if (!environment("WAYLAND_DISPLAY").empty() || environment("XDG_SESSION_TYPE") == "wayland") {
    return {true,
            "This is a Wayland session. Vask F5 serves X11 windows only: Ctrl+S is seen only when typed into "
            "X11 (XWayland) programs, and only browsers running under X11 can be refreshed, made translucent "
            "or kept on top. Browsers running natively on Wayland cannot be reached."};
  }
  return {true, {}};
}

}  // namespace x11
