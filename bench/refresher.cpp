// Drives the X11 engine the way the program does, for the race benchmark (x11_race.py), which must switch
// automatic refresh on and off between saves and know when each refresh left: the keyboard watch feeds the
// save-key watcher, and each save chord looks up every ticked browser and delivers its refresh.
// Commands on stdin, one per line:
//   tick chrome firefox ...     the browsers to refresh (ie, chrome, firefox, opera)
//   watch on|off                automatic refresh
//   quit
// It prints "ready" when it takes commands, and "refreshed <ns> KIND=ID ..." for each refresh
// (CLOCK_REALTIME).
#include <glib-unix.h>
#include <glib.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "platform/x11/desktop.h"
#include "platform/x11/keyboard_watch.h"
#include "platform/x11/session.h"
#include "refresh/hotkey.h"

namespace {

using platform::BrowserKind;

const std::map<std::string, BrowserKind> kKinds = {{"ie", BrowserKind::IE},
                                                   {"chrome", BrowserKind::Chrome},
                                                   {"firefox", BrowserKind::Firefox},
                                                   {"opera", BrowserKind::Opera}};

std::string nameOf(BrowserKind kind) {
  for (const auto& [name, value] : kKinds) {
    if (value == kind) return name;
  }
  return "?";
}

// The save-key watcher polls on timers only where key events cannot be had; on X11 they always can (or the
// program cannot run at all), so it is offered none.
class NoTimers final : public platform::Timers {
 public:
  bool SetTimer(platform::Hwnd, std::uintptr_t, std::uint32_t, TimerProc) override { return false; }
  bool KillTimer(platform::Hwnd, std::uintptr_t) override { return false; }
};

long long wallClockNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

class Refresher {
 public:
  explicit Refresher(GMainLoop* loop)
      : loop_(loop), watcher_(keyboard_, noTimers_, [this] { refreshTicked(); }) {}

  bool connected() const { return desktop_.connected(); }

  void command(const std::string& line) {
    std::istringstream words(line);
    std::string verb;
    words >> verb;
    if (verb == "tick") {
      ticked_.clear();
      for (std::string name; words >> name;) {
        if (kKinds.contains(name)) ticked_.insert(kKinds.at(name));
      }
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
      watcher_.start(0);
    } else {
      watcher_.stop(0);
    }
    std::printf("watching %s\n", watcher_.running() ? "on" : "off");
  }

  void refreshTicked() {
    std::string line = "refreshed " + std::to_string(wallClockNs());
    for (BrowserKind kind : platform::kBrowserOrder) {
      if (!ticked_.contains(kind)) continue;
      platform::Hwnd window = desktop_.findBrowserWindow(kind);
      desktop_.deliverRefresh(window);
      line += " " + nameOf(kind) + "=" + std::to_string(window);
    }
    std::printf("%s\n", line.c_str());
  }

  GMainLoop* loop_;
  x11::Desktop desktop_;
  x11::KeyboardWatch keyboard_;
  NoTimers noTimers_;
  hotkey::Watcher watcher_;
  std::set<BrowserKind> ticked_;
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
