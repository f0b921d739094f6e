// chord_driver: types the save chord at a person's speed with SendInput and reads from a fake browser's log
// when the refresh arrived, for the refresh-latency figure.
//
//   chord_driver.exe --log PATH [--count N] [--hold-ms 80] [--gap-ms 250] [--timeout-ms 3000]
//
// Each chord is Ctrl down, S down, S up, Ctrl up, every step held for --hold-ms. The time of the Ctrl release
// is taken right before and right after the SendInput call that makes it; the fake browser logs the time at
// which it took each posted message out of its queue and the time of each reload it performed. Both are
// QueryPerformanceCounter microseconds (bench_clock.h).
//
// While it types, the program's own window is in front and runs a 1 ms SetTimer; the interval between its
// WM_TIMER messages is the window manager's real timer period, the same that paces the program's watcher.
//
// Output, one line each:
//   chord <n> <ctrl up, before µs> <ctrl up, after µs> <activate µs|-1> <reload µs|-1> <reloads> <early
//   reloads> tick <interval µs> done <chords typed>
// "reloads" counts every reload logged between this chord's Ctrl release and the next chord (one is right);
// "early" counts those logged after the chord began but before Ctrl was let go (none is right).

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "bench_clock.h"

namespace {

constexpr UINT_PTR kTimerId = 1;
constexpr WORD kVkS = 'S';

struct LogEvent {
  unsigned long long us = 0;
  std::string name;
  unsigned long long wParam = 0;
};

// Reads the lines added to a growing log since the last call; a line counts only once its newline is there.
class LogTail {
 public:
  explicit LogTail(std::wstring path) : path_(std::move(path)) {}

  std::vector<LogEvent> poll() {
    std::vector<LogEvent> events;
    HANDLE file =
        CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return events;
    LARGE_INTEGER position{};
    position.QuadPart = offset_;
    SetFilePointerEx(file, position, nullptr, FILE_BEGIN);
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
      pending_.append(buffer, got);
      offset_ += got;
    }
    CloseHandle(file);
    size_t start = 0;
    for (size_t end = pending_.find('\n'); end != std::string::npos; end = pending_.find('\n', start)) {
      const std::string line = pending_.substr(start, end - start);
      start = end + 1;
      unsigned long long us = 0;
      long hwnd = 0;
      char name[32] = {};
      unsigned long long wParam = 0;
      unsigned long long lParam = 0;
      if (std::sscanf(line.c_str(), "%llu %ld %31s %llx %llx", &us, &hwnd, name, &wParam, &lParam) == 5) {
        events.push_back({us, name, wParam});
      }
    }
    pending_.erase(0, start);
    return events;
  }

 private:
  std::wstring path_;
  long long offset_ = 0;
  std::string pending_;
};

struct Options {
  std::wstring log;
  int count = 100;
  int holdMs = 80;
  int gapMs = 250;
  int timeoutMs = 3000;
};

bool parse(int argc, wchar_t** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (i + 1 >= argc) return false;
    const wchar_t* value = argv[++i];
    if (arg == L"--log") {
      options.log = value;
    } else if (arg == L"--count") {
      options.count = std::wcstol(value, nullptr, 10);
    } else if (arg == L"--hold-ms") {
      options.holdMs = std::wcstol(value, nullptr, 10);
    } else if (arg == L"--gap-ms") {
      options.gapMs = std::wcstol(value, nullptr, 10);
    } else if (arg == L"--timeout-ms") {
      options.timeoutMs = std::wcstol(value, nullptr, 10);
    } else {
      return false;
    }
  }
  return !options.log.empty() && options.count > 0;
}

void key(WORD vk, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof input);
}

unsigned long long g_lastTick = 0;
std::vector<unsigned long long> g_tickIntervals;

bool recordTimer(const MSG& msg) {
  if (msg.message != WM_TIMER || msg.wParam != kTimerId) return false;
  const unsigned long long now = bench::microsecondsNow();
  if (g_lastTick != 0) g_tickIntervals.push_back(now - g_lastTick);
  g_lastTick = now;
  return true;
}

void pumpFor(int ms) {
  bench::pumpUntil(bench::microsecondsNow() + 1000ULL * static_cast<unsigned>(ms), recordTimer);
}

bool isReload(const LogEvent& e) { return e.name == "RELOAD"; }

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options options;
  if (!parse(argc, argv, options)) {
    std::fputs(
        "usage: chord_driver --log PATH [--count N] [--hold-ms 80] [--gap-ms 250] [--timeout-ms 3000]\n",
        stderr);
    return 2;
  }

  // A window of our own in front, so the typed keys land here and nowhere that would act on them.
  support::registerClass(L"VaskBenchChordDriver");
  HWND window = support::makeWindow(L"VaskBenchChordDriver", L"chord driver",
                                    {.x = 600, .y = 420, .width = 300, .height = 200});
  if (!window) return 3;
  SetForegroundWindow(window);
  SetTimer(window, kTimerId, 1, nullptr);
  pumpFor(300);

  LogTail log(options.log);
  log.poll();  // whatever was logged before we started is not ours

  for (int n = 0; n < options.count; ++n) {
    key(VK_CONTROL, false);
    pumpFor(options.holdMs);
    key(kVkS, false);
    pumpFor(options.holdMs);
    key(kVkS, true);
    pumpFor(options.holdMs);

    int early = 0;
    for (const LogEvent& e : log.poll()) early += isReload(e) ? 1 : 0;
    const unsigned long long before = bench::microsecondsNow();
    key(VK_CONTROL, true);
    const unsigned long long after = bench::microsecondsNow();

    long long activate = -1;
    long long reload = -1;
    int reloads = 0;
    const unsigned long long deadline = after + 1000ULL * static_cast<unsigned>(options.timeoutMs);
    auto take = [&](const std::vector<LogEvent>& events) {
      for (const LogEvent& e : events) {
        if (e.name == "ACTIVATE" && reload < 0) activate = static_cast<long long>(e.us);
        if (isReload(e)) {
          if (reload < 0) reload = static_cast<long long>(e.us);
          ++reloads;
        }
      }
    };
    while (reload < 0 && bench::microsecondsNow() < deadline) {
      take(log.poll());
      if (reload < 0) pumpFor(1);
    }
    // A second refresh from the same chord would show within a few periods: the pause before the next chord
    // catches it.
    pumpFor(options.gapMs);
    take(log.poll());
    bench::out("chord %d %llu %llu %lld %lld %d %d\n", n, before, after, activate, reload, reloads, early);
  }

  KillTimer(window, kTimerId);
  for (unsigned long long interval : g_tickIntervals) bench::out("tick %llu\n", interval);
  bench::out("done %d\n", options.count);
  DestroyWindow(window);
  return 0;
}
