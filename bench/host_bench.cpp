// Micro-benchmarks of the portable code on the host, against the fake window manager of the unit tests.
//
// They time the program's own logic (the save-chord watcher per key event, the poller's step, the lookup and
// the posting of a refresh); the fake answers from a small map, so the cost of the real user32 calls is not
// in these figures. The Windows program tick_cost measures the keyboard path on the real user32 under Wine.

#include <benchmark/benchmark.h>

#include <string>

#include "platform/key_events.h"
#include "refresh/dispatch.h"
#include "refresh/save_chord.h"
#include "support/fake_platform.h"

namespace {

// One key event through the watcher: a letter pressed or let go while nothing else is held.
void WatcherKeyEvent(benchmark::State& state) {
  fake::Clock clock;
  fake::Keyboard keyboard(clock);
  refresh::SaveChordWatcher watcher(keyboard, [] {});
  watcher.start();
  bool down = false;
  for (auto _ : state) {
    down = !down;
    if (down) {
      keyboard.press('A');
    } else {
      keyboard.release('A');
    }
  }
}
BENCHMARK(WatcherKeyEvent);

// One step of the poller, where key events cannot be had: seven keys read, nothing changed.
void PollerStep(benchmark::State& state) {
  platform::KeyPoller poller;
  std::array<platform::PolledKey, platform::kPolledKeys.size()> now{};
  now[0].down = true;
  for (auto _ : state) benchmark::DoNotOptimize(poller.changes(now).size());
}
BENCHMARK(PollerStep);

// One refresh: the ticked tiles' browsers are looked up in one walk of the desktop and each is posted its
// engine's request.
void RefreshDispatch(benchmark::State& state, std::vector<std::vector<platform::Browser>> tiles) {
  fake::WindowManager wm;
  win32::User32Desktop desktop(wm);
  // A few unrelated windows, then the browsers, Chrome with an owned popup above its frame and an editor of
  // its class in front, so each lookup reads processes and styles as on a real desktop.
  for (int i = 0; i < 8; ++i) wm.createWindow("Shell_TrayWnd" + std::to_string(i));
  std::vector<fake::Hwnd> frames;
  for (platform::Browser b : {platform::Browser::InternetExplorer, platform::Browser::Chrome,
                              platform::Browser::Firefox, platform::Browser::Opera}) {
    frames.push_back(wm.openBrowser(b));
  }
  wm.createWindow("Chrome_WidgetWin_1", {.process = wm.window(frames[1])->process, .owner = frames[1]});
  wm.createWindow("Chrome_WidgetWin_1", {.process = wm.startProcess("C:\\VS Code\\Code.exe")});
  for (auto _ : state) {
    benchmark::DoNotOptimize(refresh::refreshTicked(desktop, tiles));
    // The fake keeps every posted message; empty the queues so that memory stays flat.
    for (fake::Hwnd hwnd : frames) wm.window(hwnd)->queue.clear();
  }
}
BENCHMARK_CAPTURE(RefreshDispatch, chrome_only, {{platform::Browser::Chrome}});
BENCHMARK_CAPTURE(RefreshDispatch, all_four,
                  {{platform::Browser::InternetExplorer},
                   {platform::Browser::Chrome},
                   {platform::Browser::Firefox},
                   {platform::Browser::Opera}});

}  // namespace

BENCHMARK_MAIN();
