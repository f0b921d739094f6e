// Timing a program's start-up step by step, for startup_profile and the minimal window's profiling build.
//
// Output, one line each, times in milliseconds:
//   counter <name of the Linux process whose context switches are counted>
//   step <name> <duration> <since process creation> <wine-server wake-ups>
// The first step, "loader", runs from the creation of the process (GetProcessTimes) to the first line of the
// program's entry point: mapping the executable and its DLLs, the manifest's activation context, the C runtime.
//
// Wine-server wake-ups: the voluntary context switches of the wine server during the step. They are read from
// Linux's /proc/self/status through Wine's Z: drive; the wine server opens files for its clients, so "self" is
// the server. The server sleeps again after each burst of requests it has served, so on an otherwise quiet prefix
// the count follows the number of round trips the step made to it (-1 where it cannot be read). The loader line
// shows none: the count before the program ran is the server's whole history.
//
// Each step is also sent to OutputDebugString, so that a Wine trace (WINEDEBUG=+timestamp,+loaddll,+debugstr)
// shows the steps among the DLL loads and whatever else it traces.
#pragma once

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench_clock.h"

namespace bench {

inline unsigned long long fileTimeMicros(const FILETIME& time) {
  ULARGE_INTEGER value;
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  return value.QuadPart / 10;
}

// A field of /proc/self/status as Wine's file system sees it (see above); false when it cannot be read.
inline bool procSelfStatus(const char* field, char* value, size_t size) {
  HANDLE file = CreateFileW(L"Z:\\proc\\self\\status", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // A newline in front, so that the first line is found like every other.
  char text[4096] = {'\n'};
  DWORD got = 0;
  ReadFile(file, text + 1, sizeof text - 2, &got, nullptr);
  CloseHandle(file);
  char key[64];
  std::snprintf(key, sizeof key, "\n%s:", field);
  const char* found = std::strstr(text, key);
  if (!found) return false;
  found += std::strlen(key);
  while (*found == ' ' || *found == '\t') ++found;
  size_t length = std::strcspn(found, "\n");
  if (length >= size) length = size - 1;
  std::memcpy(value, found, length);
  value[length] = '\0';
  return true;
}

inline long long serverWakeUps() {
  char value[32];
  return procSelfStatus("voluntary_ctxt_switches", value, sizeof value) ? std::strtoll(value, nullptr, 10) : -1;
}

class Steps {
 public:
  Steps() {
    // The wall clock ties the creation time of the process to the performance counter, once.
    FILETIME creation{}, exitTime{}, kernel{}, user{};
    GetProcessTimes(GetCurrentProcess(), &creation, &exitTime, &kernel, &user);
    FILETIME now{};
    GetSystemTimePreciseAsFileTime(&now);
    last_ = microsecondsNow();
    origin_ = last_ - (fileTimeMicros(now) - fileTimeMicros(creation));
    const double loader = static_cast<double>(last_ - origin_) / 1000.0;
    char name[64] = "?";
    procSelfStatus("Name", name, sizeof name);
    wakeUps_ = serverWakeUps();
    out("counter %s\n", name);
    out("step loader %.3f %.3f -1\n", loader, loader);
    OutputDebugStringA("startup step: loader\n");
    skipped_ = microsecondsNow() - last_;
    last_ += skipped_;
  }

  // Ends the step that began when the previous one ended. Reading the count and printing take a little time of
  // their own; it is left out of every step and of the time since creation.
  void done(const char* name) {
    const unsigned long long now = microsecondsNow();
    const long long wakeUps = serverWakeUps();
    out("step %s %.3f %.3f %lld\n", name, static_cast<double>(now - last_) / 1000.0,
        static_cast<double>(now - origin_ - skipped_) / 1000.0,
        wakeUps < 0 || wakeUps_ < 0 ? -1 : wakeUps - wakeUps_);
    char line[96];
    std::snprintf(line, sizeof line, "startup step: %s\n", name);
    OutputDebugStringA(line);
    wakeUps_ = wakeUps;
    last_ = microsecondsNow();
    skipped_ += last_ - now;
  }

 private:
  unsigned long long origin_ = 0;
  unsigned long long last_ = 0;
  unsigned long long skipped_ = 0;
  long long wakeUps_ = 0;
};

}  // namespace bench
