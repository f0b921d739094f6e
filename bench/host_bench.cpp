// Micro-benchmarks of the portable code on the host, against the fake platform of the unit tests.
//
// They time the program's own logic (a key event through the save-chord watcher, the key poller's comparison
// of two looks, the lookups and the posting of one refresh); the fake answers from a small map, so the cost
// of the real user32 calls is not in these figures. The Windows program tick_cost measures the poller on the
// real user32 under Wine.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "platform/key_events.h"
#include "refresh/dispatch.h"
#include "refresh/save_chord.h"
#include "support/fake_platform.h"

namespace {

// One key event through the save-chord watcher: a letter pressed or let go, no Ctrl held.
void SaveChordKeyEvent(benchmark::State& state) {
  fake::Platform p;
  int saves = 0;
  refresh::SaveChordWatcher watcher(p.keyboard, [&saves] { ++saves; });
  watcher.start();
  bool down = false;
  for (auto _ : state) {
    down = !down;
    if (down) {
      p.keyboard.press('A');
    } else {
      p.keyboard.release('A');
    }
  }
  if (!watcher.running() || saves != 0) state.SkipWithError("the watcher stopped, or a letter saved");
}
BENCHMARK(SaveChordKeyEvent);

// The portable half of one poller tick with nothing pressed: two looks compared.
void PollerChangesIdle(benchmark::State& state) {
  platform::KeyPoller poller;
  const std::array<platform::PolledKey, platform::kPolledKeys.size()> idle{};
  std::size_t events = 0;
  for (auto _ : state) {
    events += poller.changes(idle).size();
    benchmark::DoNotOptimize(events);
  }
  if (events != 0) state.SkipWithError("an event although no key is pressed");
}
BENCHMARK(PollerChangesIdle);

// One refresh: the ticked tiles' browsers looked up in one walk of the desktop, and each refreshed by its
// engine's route.
void RefreshDispatch(benchmark::State& state, std::vector<std::vector<platform::Browser>> tiles) {
  fake::Platform p;
  // A few unrelated windows, then the browsers, Chrome with an owned popup above its frame and an editor of
  // its class in front, so each lookup reads processes and styles as on a real desktop.
  for (int i = 0; i < 8; ++i) p.wm.createWindow("Shell_TrayWnd" + std::to_string(i));
  const win32::Hwnd chrome = p.wm.openBrowser(platform::Browser::Chrome);
  p.wm.createWindow("Chrome_WidgetWin_1", {.process = p.wm.window(chrome)->process, .owner = chrome});
  p.wm.openProgram("C:\\VS Code\\Code.exe", "Chrome_WidgetWin_1");
  for (platform::Browser browser : {platform::Browser::InternetExplorer, platform::Browser::Firefox,
                                    platform::Browser::Opera, platform::Browser::Edge}) {
    p.wm.openBrowser(browser);
  }
  std::optional<platform::WindowId> last;
  for (auto _ : state) {
    last = refresh::refreshTicked(p.desktop, tiles);
    benchmark::DoNotOptimize(last);
    // The fake keeps every posted message; empty the queues so that memory stays flat.
    for (const fake::Window& window : p.wm.windows()) p.wm.window(window.hwnd)->queue.clear();
  }
  if (!last || !*last) state.SkipWithError("nothing was refreshed");
}
BENCHMARK_CAPTURE(RefreshDispatch, chrome_only,
                  std::vector<std::vector<platform::Browser>>{{platform::Browser::Chrome}});
BENCHMARK_CAPTURE(RefreshDispatch, four_tiles,
                  std::vector<std::vector<platform::Browser>>{
                      {platform::Browser::InternetExplorer},
                      {platform::Browser::Chrome, platform::Browser::Edge},
                      {platform::Browser::Firefox},
                      {platform::Browser::Opera}});

}  // namespace

BENCHMARK_MAIN();
