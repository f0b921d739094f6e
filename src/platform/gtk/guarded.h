// Runs a C callback's body so that no exception unwinds through GTK's or GLib's C code.
#pragma once

namespace gtk {

template <typename F>
auto guarded(F&& body, decltype(body()) fallback) noexcept -> decltype(body()) {
  try {
    return body();
  } catch (...) {
    return fallback;
  }
}

}  // namespace gtk
