// tick_cost: how long one poll of the polling save-key watcher (the fallback) takes on the real user32, with
// no key pressed.
//
//   tick_cost.exe [--reps N] [--paced-ticks M]
//
// Each figure is timed one tick at a time with QueryPerformanceCounter:
//   raw-no-window  the bare poll, GetAsyncKeyState for every virtual key from 17 to 128 (112 queries), back
//   to
//                  back, on a thread that has never had a window;
//   raw            the same on a thread that shows a window, as the program's one thread does;
//   watcher        hotkey::Watcher::watchTimerProc of the program itself on win32::WindowManager, back to
//   back,
//                  on that thread;
//   paced          the same watcher tick run from a 1 ms window timer, the way the program runs it;
//   paced-worker   the same watcher tick run from a 1 ms thread timer on a second thread that owns no window.
// The two raw figures differ by what the window system does inside every GetAsyncKeyState call on a thread
// that has windows; paced-worker shows what the program's poll would cost on a thread of its own without
// windows. The paced runs also give the timer's real period (the interval between its ticks).
//
// Output, one line each:
//   frequency <counter ticks per second>
//   <raw-no-window|raw|watcher|paced|paced-worker> <samples> <median µs> <p95 µs> <mean µs> <max µs>
//   period <samples> <median µs> <p95 µs>
//   period-worker <samples> <median µs> <p95 µs>
//   keys <lowest key the watcher saw last, 0 when none was pressed>

#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <numeric>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "platform/win32/keyboard_watch.h"
#include "platform/win32/window_manager.h"
#include "refresh/hotkey.h"

namespace {

constexpr UINT_PTR kTimerId = 1;

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

void rawPoll() {
  int found = 0;
  for (int code = 17; code <= 128; ++code) {
    if (GetAsyncKeyState(code) != 0) {
      found = code;
      break;
    }
  }
  g_sink = found;
}

// Ticks of a thread timer on a thread that never creates a window; each tick runs the watcher and is timed.
struct WorkerJob {
  hotkey::Watcher* watcher = nullptr;
  int ticks = 0;
  std::vector<double> micros;
  std::vector<double> intervals;
};

DWORD WINAPI workerMain(void* parameter) {
  auto* job = static_cast<WorkerJob*>(parameter);
  const double scale = microsPerCount();
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // gives the thread its message queue
  const UINT_PTR timer = SetTimer(nullptr, 0, 1, nullptr);
  long long lastTick = 0;
  while (static_cast<int>(job->micros.size()) < job->ticks && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message != WM_TIMER || msg.hwnd != nullptr || msg.wParam != timer) continue;
    const long long start = bench::counterNow();
    job->watcher->watchTimerProc();
    const long long end = bench::counterNow();
    job->micros.push_back(static_cast<double>(end - start) * scale);
    if (lastTick != 0) job->intervals.push_back(static_cast<double>(start - lastTick) * scale);
    lastTick = start;
  }
  KillTimer(nullptr, timer);
  return 0;
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

  // A short warm-up before each run, so that none pays for first use.
  for (int i = 0; i < 1000; ++i) rawPoll();
  report("raw-no-window", timeEach(reps, rawPoll));

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

  win32::WindowManager wm;
  // Never started, so each tick is the polling watcher's: the key state asked key by key.
  win32::RawKeyboardWatch keyboard;
  hotkey::Watcher watcher(keyboard, wm, [] { bench::out("fired\n"); });
  for (int i = 0; i < 1000; ++i) rawPoll();
  report("raw", timeEach(reps, rawPoll));
  report("watcher", timeEach(reps, [&watcher] { watcher.watchTimerProc(); }));

  SetTimer(window, kTimerId, 1, nullptr);
  const double scale = microsPerCount();
  std::vector<double> paced;
  std::vector<double> intervals;
  long long lastTick = 0;
  while (static_cast<int>(paced.size()) < pacedTicks && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_TIMER && msg.hwnd == window && msg.wParam == kTimerId) {
      const long long start = bench::counterNow();
      watcher.watchTimerProc();
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
  const double periodMedian = bench::percentile(intervals, 50);
  const double periodP95 = bench::percentile(intervals, 95);
  bench::out("period %zu %.3f %.3f\n", intervals.size(), periodMedian, periodP95);

  WorkerJob job;
  job.watcher = &watcher;
  job.ticks = pacedTicks;
  HANDLE worker = CreateThread(nullptr, 0, workerMain, &job, 0, nullptr);
  if (!worker) return 4;
  WaitForSingleObject(worker, INFINITE);
  CloseHandle(worker);
  report("paced-worker", job.micros);
  const double workerMedian = bench::percentile(job.intervals, 50);
  const double workerP95 = bench::percentile(job.intervals, 95);
  bench::out("period-worker %zu %.3f %.3f\n", job.intervals.size(), workerMedian, workerP95);
  bench::out("keys %s\n", watcher.curKey().c_str());
  return 0;
}
