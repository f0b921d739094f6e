#include "platform/x11/event_source.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace x11 {

namespace {

struct XlibSource {
  GSource base;
  Display* display;
  GPollFD poll;
  std::function<void()>* onEvents;
};

gboolean prepare(GSource* source, gint* timeout) noexcept {
  *timeout = -1;
  return XPending(reinterpret_cast<XlibSource*>(source)->display) > 0;
}

gboolean check(GSource* source) noexcept {
  auto* self = reinterpret_cast<XlibSource*>(source);
  if ((self->poll.revents & G_IO_IN) != 0) return XPending(self->display) > 0;
  return XQLength(self->display) > 0;
}

gboolean dispatch(GSource* source, GSourceFunc, gpointer) noexcept {
  auto* self = reinterpret_cast<XlibSource*>(source);
  try {
    (*self->onEvents)();
  } catch (...) {
    // A failing handler must not take the main loop down; the next events get their chance.
  }
  return G_SOURCE_CONTINUE;
}

GSourceFuncs kFuncs = {prepare, check, dispatch, nullptr, nullptr, nullptr};

}  // namespace

EventSource::EventSource(Display* display, std::function<void()> onEvents)
    : onEvents_(std::make_unique<std::function<void()>>(std::move(onEvents))) {
  source_ = g_source_new(&kFuncs, sizeof(XlibSource));
  auto* self = reinterpret_cast<XlibSource*>(source_);
  self->display = display;
  self->onEvents = onEvents_.get();
  self->poll.fd = ConnectionNumber(display);
  self->poll.events = G_IO_IN;
  self->poll.revents = 0;
  g_source_add_poll(source_, &self->poll);
  g_source_attach(source_, nullptr);
}

EventSource::~EventSource() {
  if (source_ != nullptr) {
    g_source_destroy(source_);
    g_source_unref(source_);
  }
}

EventSource::EventSource(EventSource&& other) noexcept
    : source_(std::exchange(other.source_, nullptr)), onEvents_(std::move(other.onEvents_)) {}

EventSource& EventSource::operator=(EventSource&& other) noexcept {
  if (this != &other) {
    EventSource gone(std::move(*this));
    source_ = std::exchange(other.source_, nullptr);
    onEvents_ = std::move(other.onEvents_);
  }
  return *this;
}

namespace {

gboolean runOnce(gpointer data) noexcept {
  try {
    // A copy runs, so the callback may destroy the Timeout that owns the original.
    std::function<void()> callback = *static_cast<std::function<void()>*>(data);
    callback();
  } catch (...) {
    // Nothing may cross into GLib.
  }
  return G_SOURCE_REMOVE;
}

}  // namespace

Timeout::Timeout(unsigned delayMs, std::function<void()> callback)
    : callback_(std::make_unique<std::function<void()>>(std::move(callback))) {
  id_ = g_timeout_add(delayMs, runOnce, callback_.get());
}

Timeout::~Timeout() { cancel(); }

Timeout::Timeout(Timeout&& other) noexcept
    : id_(std::exchange(other.id_, 0)), callback_(std::move(other.callback_)) {}

Timeout& Timeout::operator=(Timeout&& other) noexcept {
  if (this != &other) {
    cancel();
    id_ = std::exchange(other.id_, 0);
    callback_ = std::move(other.callback_);
  }
  return *this;
}

namespace {

struct TimeoutTimer final : platform::Timer {
  Timeout timeout;
};

}  // namespace

std::unique_ptr<platform::Timer> MainLoopTimers::once(std::chrono::milliseconds delay,
                                                      std::function<void()> callback) {
  auto timer = std::make_unique<TimeoutTimer>();
  timer->timeout =
      Timeout(static_cast<unsigned>(std::max<std::int64_t>(delay.count(), 0)), std::move(callback));
  return timer;
}

void Timeout::cancel() {
  // A source that has already run and removed itself must not be removed again.
  if (id_ != 0) {
    GSource* source = g_main_context_find_source_by_id(nullptr, id_);
    if (source != nullptr && !g_source_is_destroyed(source)) g_source_remove(id_);
  }
  id_ = 0;
}

}  // namespace x11
