// tick_cost: what one tick of the key poller costs on the real user32 with no key pressed. The poller runs
// where raw input cannot be registered (and in VaskF5Polling.exe, the measuring baseline): each tick it reads
// the keys of the save chord from the key state and turns them into key events.
//
//   tick_cost.exe [--reps N] [--paced-ticks M]
//
// Each figure is timed one tick at a time with QueryPerformanceCounter:
//   raw     the bare reads of user32's key state, one per polled key, back to back, on a thread with a window
//           (as the program's one thread has);
//   poller  the program's own tick (win32::pollKeyState), back to back, on that thread;
//   paced   the same tick run from the window's 10 ms timer, the way the program runs it; this also gives the
//           timer's real period.
//
// Output, one line each:
//   frequency <counter ticks per second>
//   <raw|poller|paced> <samples> <median µs> <p95 µs> <mean µs> <max µs>
//   period <samples> <median µs> <p95 µs>
//   events <key events the poller reported; 0 when no key was pressed>

#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <numeric>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "platform/key_events.h"
#include "platform/win32/keyboard_watch.h"

namespace {

constexpr UINT_PTR kTimerId = 1;
constexpr UINT kPollEveryMs = 10;  // as the program asks

void report(const char* name, std::vector<double> micros) {
  const double mean = micros.empty() ? 0.0
                                     : std::accumulate(micros.begin(), micros.end(), 0.0) /
                                           static_cast<double>(micros.size());
  const double median = bench::percentile(micros, 50);
  const double p95 = bench::percentile(micros, 95);
  const double max = micros.empty() ? 0.0 : micros.back();
  bench::out("%s %zu %.3f %.3f %.3f %.3f\n", name, micros.size(), median, p95, mean, max);
}

double microsPerCount() { return 1e6 / static_cast<double>(bench::counterFrequency()); }

// Runs `tick` `reps` times and returns the duration of each run in microseconds.
template <typename Tick>
std::vector<double> timeEach(int reps, Tick tick) {
  const double scale = microsPerCount();
  std::vector<double> micros;
  micros.reserve(static_cast<size_t>(reps));
  for (int i = 0; i < reps; ++i) {
    const long long start = bench::counterNow();
    tick();
    micros.push_back(static_cast<double>(bench::counterNow() - start) * scale);
  }
  return micros;
}

volatile int g_sink = 0;

// The same number of key-state reads as the poller makes; the keys themselves do not change the cost.
void rawReads() {
  int down = 0;
  for (std::size_t i = 0; i < platform::kPolledKeys.size(); ++i)
    down += GetAsyncKeyState(VK_LCONTROL + (i % 4)) != 0;
  g_sink = down;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int reps = 100000;
  int pacedTicks = 1000;
  for (int i = 1; i < argc; i += 2) {
    const std::wstring arg = argv[i];
    if (arg == L"--reps" && i + 1 < argc) {
      reps = std::wcstol(argv[i + 1], nullptr, 10);
    } else if (arg == L"--paced-ticks" && i + 1 < argc) {
      pacedTicks = std::wcstol(argv[i + 1], nullptr, 10);
    } else {
      std::fputs("usage: tick_cost [--reps N] [--paced-ticks M]\n", stderr);
      return 2;
    }
  }
  bench::out("frequency %lld\n", bench::counterFrequency());

  support::registerClass(L"VaskBenchTickCost", DefWindowProcW);
  HWND window = support::makeWindow(L"VaskBenchTickCost", L"tick cost",
                                    {.exStyle = WS_EX_TOOLWINDOW,
                                     .style = WS_POPUP,
                                     .x = 0,
                                     .y = 600,
                                     .width = 64,
                                     .height = 64,
                                     .show = SW_SHOWNOACTIVATE});
  if (!window) return 3;
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);

  // A short warm-up before each run, so that none pays for first use.
  platform::KeyPoller poller;
  std::size_t events = 0;
  for (int i = 0; i < 1000; ++i) rawReads();
  report("raw", timeEach(reps, rawReads));
  for (int i = 0; i < 1000; ++i) events += win32::pollKeyState(poller).size();
  report("poller", timeEach(reps, [&] { events += win32::pollKeyState(poller).size(); }));

  SetTimer(window, kTimerId, kPollEveryMs, nullptr);
  const double scale = microsPerCount();
  std::vector<double> paced;
  std::vector<double> intervals;
  long long lastTick = 0;
  while (static_cast<int>(paced.size()) < pacedTicks && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_TIMER && msg.hwnd == window && msg.wParam == kTimerId) {
      const long long start = bench::counterNow();
      events += win32::pollKeyState(poller).size();
      const long long end = bench::counterNow();
      paced.push_back(static_cast<double>(end - start) * scale);
      if (lastTick != 0) intervals.push_back(static_cast<double>(start - lastTick) * scale);
      lastTick = start;
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  KillTimer(window, kTimerId);
  DestroyWindow(window);

  report("paced", paced);
  bench::out("period %zu %.3f %.3f\n", intervals.size(), bench::percentile(intervals, 50),
             bench::percentile(intervals, 95));
  bench::out("events %zu\n", events);
  return 0;
}
