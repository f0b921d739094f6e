// What the Windows bench programs share: the clock, output, and a message pump that waits.
//
// The clock is the one the fake browser stamps its log with (bench_window.h), so a time taken
// here and a time read from that log are on one clock.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_window.h"

namespace bench {

using support::microsecondsNow;

// Finer than microseconds, for timing very short operations: counter ticks and their frequency.
inline long long counterNow() {
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  return counter.QuadPart;
}

inline long long counterFrequency() {
  LARGE_INTEGER frequency{};
  QueryPerformanceFrequency(&frequency);
  return frequency.QuadPart;
}

// One line to stdout, written at once and never buffered: the caller may be killed at any moment.
inline void out(const char* format, ...) {
  char line[512];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (length <= 0) return;
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, static_cast<DWORD>(std::min<int>(length, sizeof line - 1)),
            &written, nullptr);
}

// Nearest-rank percentile (the same definition run.py uses); the vector is sorted in place.
inline double percentile(std::vector<double>& values, double p) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  size_t rank = static_cast<size_t>(p / 100.0 * static_cast<double>(values.size()) + 0.999999999);
  rank = std::clamp<size_t>(rank, 1, values.size());
  return values[rank - 1];
}

// Handles this thread's messages until the deadline (in microseconds of microsecondsNow). `onMessage` sees
// each message first and returns true when it consumed it.
template <typename OnMessage>
void pumpUntil(unsigned long long deadline, OnMessage onMessage) {
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (onMessage(msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    const unsigned long long now = microsecondsNow();
    if (now >= deadline) return;
    const DWORD waitMs =
        static_cast<DWORD>(std::min<unsigned long long>((deadline - now + 999) / 1000, 1000));
    MsgWaitForMultipleObjectsEx(0, nullptr, waitMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

}  // namespace bench
