// Drives the X11 engine the way the program does, for the X11 benchmarks (x11_race.py, x11_requests.py),
// which must switch automatic refresh on and off between saves and know when each refresh left and what it
// cost: the keyboard watch feeds the save-chord watcher, and each save chord refreshes every ticked browser's
// frontmost frame through the program's own dispatch.
// Commands on stdin, one per line:
//   tick chrome firefox ...     the browsers to refresh, by their stored tokens (chrome, msedge, ...,
//   iexplore) watch on|off                automatic refresh quit
// It prints "ready" when it takes commands, and for each refresh "refreshed <ns> window=<id> requests=<n>":
// when it left (CLOCK_REALTIME), the last frame refreshed, and how many X requests the chord's lookup and
// deliveries made on the engine's connection (XNextRequest).
#include <glib-unix.h>
#include <glib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "platform/x11/desktop.h"
#include "platform/x11/keyboard_watch.h"
#include "platform/x11/session.h"
#include "refresh/dispatch.h"
#include "refresh/save_chord.h"
#include "settings/stored.h"

namespace {

long long wallClockNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

class Refresher {
 public:
  explicit Refresher(GMainLoop* loop) : loop_(loop), watcher_(keyboard_, [this] { refreshTicked(); }) {}

  bool connected() const { return desktop_.connected(); }

  void command(const std::string& line) {
    std::istringstream words(line);
    std::string verb;
    words >> verb;
    if (verb == "tick") {
      ticked_.clear();
      for (std::string token; words >> token;) {
        const auto* known = std::ranges::find(settings::kBrowserTokens, token);
        if (known != settings::kBrowserTokens.end()) {
          ticked_.push_back(static_cast<platform::Browser>(known - settings::kBrowserTokens.begin()));
        }
      }
      std::printf("ticked %zu\n", ticked_.size());
    } else if (verb == "watch") {
      std::string state;
      words >> state;
      setWatching(state == "on");
    } else if (verb == "quit") {
      g_main_loop_quit(loop_);
    }
  }

 private:
  void setWatching(bool on) {
    if (on) {
      watcher_.start();
    } else {
      watcher_.stop();
    }
    std::printf("watching %s\n", watcher_.running() ? "on" : "off");
  }

  void refreshTicked() {
    const long long at = wallClockNs();
    const unsigned long before = XNextRequest(desktop_.display());
    const std::vector<std::vector<platform::Browser>> tiles{ticked_};
    const auto last = refresh::refreshTicked(desktop_, tiles);
    std::printf("refreshed %lld window=%lld requests=%lu\n", at,
                static_cast<long long>(last ? last->value : 0), XNextRequest(desktop_.display()) - before);
  }

  GMainLoop* loop_;
  x11::Desktop desktop_;
  x11::KeyboardWatch keyboard_;
  refresh::SaveChordWatcher watcher_;
  std::vector<platform::Browser> ticked_;
};

struct Input {
  Refresher* refresher;
  std::string pending;
};

gboolean readInput(gint fd, GIOCondition, gpointer data) noexcept {
  auto* input = static_cast<Input*>(data);
  std::array<char, 4096> buffer{};
  ssize_t count = read(fd, buffer.data(), buffer.size());
  if (count <= 0) {
    input->refresher->command("quit");
    return G_SOURCE_REMOVE;
  }
  input->pending.append(buffer.data(), static_cast<std::size_t>(count));
  for (auto end = input->pending.find('\n'); end != std::string::npos; end = input->pending.find('\n')) {
    std::string line = input->pending.substr(0, end);
    input->pending.erase(0, end + 1);
    input->refresher->command(line);
  }
  return G_SOURCE_CONTINUE;
}

}  // namespace

int main() {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  x11::DisplayCheck check = x11::checkDisplay();
  if (!check.message.empty()) std::fprintf(stderr, "%s\n", check.message.c_str());
  if (!check.usable) return 1;
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  {
    Refresher refresher(loop);
    if (!refresher.connected()) return 1;
    Input input{&refresher, {}};
    g_unix_fd_add(STDIN_FILENO, G_IO_IN, readInput, &input);
    std::printf("ready\n");
    g_main_loop_run(loop);
  }
  g_main_loop_unref(loop);
  return 0;
}
