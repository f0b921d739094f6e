// The Linux program's main loop is GLib's (GTK runs on it): the X connections are watched from it and every
// timer runs on it.
//
// Watches an Xlib connection from the GLib main loop: the handler runs whenever events are waiting, also
// events that Xlib has already read into its queue while answering another request (a plain file-descriptor
// watch would sleep on those until the next byte arrives).
#pragma once

#include <X11/Xlib.h>
#include <glib.h>

#include <functional>
#include <memory>

#include "platform/platform.h"

namespace x11 {

class EventSource {
 public:
  // The handler reads the waiting events itself (XPending / XNextEvent).
  EventSource(Display* display, std::function<void()> onEvents);
  ~EventSource();
  EventSource(EventSource&& other) noexcept;
  EventSource& operator=(EventSource&& other) noexcept;
  EventSource(const EventSource&) = delete;
  EventSource& operator=(const EventSource&) = delete;

 private:
  GSource* source_ = nullptr;
  // Kept apart so the GSource's pointer to it survives a move of this object.
  std::unique_ptr<std::function<void()>> onEvents_;
};

// Runs the callback once after the delay on the GLib main loop; destroying the object before then cancels it.
class Timeout {
 public:
  Timeout() = default;
  Timeout(unsigned delayMs, std::function<void()> callback);
  ~Timeout();
  Timeout(Timeout&& other) noexcept;
  Timeout& operator=(Timeout&& other) noexcept;
  Timeout(const Timeout&) = delete;
  Timeout& operator=(const Timeout&) = delete;

 private:
  void cancel();
  guint id_ = 0;
  std::unique_ptr<std::function<void()>> callback_;
};

// The program's timers, on the GLib main loop.
class MainLoopTimers final : public platform::Timers {
 public:
  std::unique_ptr<platform::Timer> once(std::chrono::milliseconds delay,
                                        std::function<void()> callback) override;
};

}  // namespace x11
