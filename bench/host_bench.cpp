// Micro-benchmarks of the portable code on the host, against the fake window manager of the unit tests.
//
// They time the program's own logic (the watcher's tick per key event, the polling fallback's scan loop, the
// lookups and the posting sequence); the fake answers from a small map, so the cost of the real user32 calls is
// not in these figures. The Windows program tick_cost measures the watcher on the real user32 under Wine.

#include <benchmark/benchmark.h>

#include <string>

#include "refresh/dispatch.h"
#include "refresh/hotkey.h"
#include "support/fake_platform.h"

namespace {

// One poll of the polling watcher (the fallback) with nothing pressed: all 112 keys are queried.
void WatcherTickIdle(benchmark::State& state) {
  fake::WindowManager wm;
  fake::Keyboard keyboard(wm);
  keyboard.refuseWatching = true;
  const platform::Hwnd main = wm.createWindow("VaskF5Main");
  int refreshes = 0;
  hotkey::Watcher watcher(keyboard, wm, [&refreshes] { ++refreshes; });
  watcher.start(main);
  for (auto _ : state) {
    watcher.watchTimerProc();
    benchmark::DoNotOptimize(watcher.curKey().data());
  }
  if (refreshes != 0 || watcher.curKey() != "0")
    state.SkipWithError("a key was seen although none is pressed");
  state.counters["queries/tick"] =
      benchmark::Counter(static_cast<double>(wm.keyQueries()), benchmark::Counter::kAvgIterations);
}
BENCHMARK(WatcherTickIdle);

// One poll of the polling watcher while Ctrl is held: the scan stops at the first key.
void WatcherTickCtrlHeld(benchmark::State& state) {
  fake::WindowManager wm;
  fake::Keyboard keyboard(wm);
  keyboard.refuseWatching = true;
  const platform::Hwnd main = wm.createWindow("VaskF5Main");
  hotkey::Watcher watcher(keyboard, wm, [] {});
  watcher.start(main);
  wm.press(platform::kVkControl);
  for (auto _ : state) {
    watcher.watchTimerProc();
    benchmark::DoNotOptimize(watcher.curKey().data());
  }
  if (watcher.curKey() != "17") state.SkipWithError("the held Ctrl was not seen");
}
BENCHMARK(WatcherTickCtrlHeld);

// One key event through the event watcher: the table updated, then one tick over it (a letter pressed or let go).
void WatcherKeyEvent(benchmark::State& state) {
  fake::WindowManager wm;
  fake::Keyboard keyboard(wm);
  const platform::Hwnd main = wm.createWindow("VaskF5Main");
  hotkey::Watcher watcher(keyboard, wm, [] {});
  watcher.start(main);
  bool down = false;
  for (auto _ : state) {
    down = !down;
    if (down) {
      keyboard.press('A');
    } else {
      keyboard.release('A');
    }
    benchmark::DoNotOptimize(watcher.curKey().data());
  }
  if (watcher.polling() || wm.keyQueries() != 0) state.SkipWithError("the event watcher polled");
}
BENCHMARK(WatcherKeyEvent);

// One refresh: the selected browsers are looked up and each is posted activate, F5 down, F5 up.
void RefreshDispatch(benchmark::State& state, refresh::BrowserTicks ticks) {
  fake::WindowManager wm;
  // A few unrelated windows, then the browsers, Chrome with an owned popup above its frame and an editor of
  // its class in front, so each lookup reads processes and styles as on a real desktop.
  for (int i = 0; i < 8; ++i) wm.createWindow("Shell_TrayWnd" + std::to_string(i));
  const platform::Hwnd ie = wm.openBrowser(platform::BrowserKind::IE);
  const platform::Hwnd chrome = wm.openBrowser(platform::BrowserKind::Chrome);
  wm.createWindow("Chrome_WidgetWin_1", {.process = wm.window(chrome)->process, .owner = chrome});
  wm.openProgram("C:\\VS Code\\Code.exe", "Chrome_WidgetWin_1");
  const platform::Hwnd firefox = wm.openBrowser(platform::BrowserKind::Firefox);
  const platform::Hwnd opera = wm.openBrowser(platform::BrowserKind::Opera);
  std::string status;
  for (auto _ : state) {
    refresh::sendF5(wm.desktop, ticks, [&status](std::string_view text) { status.assign(text); });
    benchmark::DoNotOptimize(status.data());
    // The fake keeps every posted message; empty the queues so that memory stays flat.
    for (platform::Hwnd hwnd : {ie, chrome, firefox, opera}) wm.window(hwnd)->queue.clear();
  }
  if (status.empty() || status == "#0") state.SkipWithError("nothing was refreshed");
}
BENCHMARK_CAPTURE(RefreshDispatch, chrome_only, refresh::BrowserTicks{0, 1, 0, 0});
BENCHMARK_CAPTURE(RefreshDispatch, all_four, refresh::BrowserTicks{1, 1, 1, 1});

}  // namespace

BENCHMARK_MAIN();
