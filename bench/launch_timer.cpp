// launch_timer: how long programs take from process start to a visible window, and how much memory they hold.
//
//   launch_timer.exe [--runs N] [--warmup W] [--settle-ms 300] --program NAME EXE CLASS [--program ...]
//
// Every round starts each program once, one after the other (the order turns round each round, so neither
// always goes first). One start: the clock is read, CreateProcess starts the program, and FindWindow polls for a
// visible top-level window of CLASS owned by that process; the time when it is found is the start-up time. After
// --settle-ms the process's memory counters are read (PeakWorkingSetSize is the peak resident set, which Wine
// reads from the Linux process), then the window gets WM_CLOSE and the program must exit before the next start;
// a program allows only one copy of itself, so overlapping starts would measure nothing.
//
// Output, one line per start (the first W rounds are marked warm-up):
//   start <round> <warmup 0|1> <name> <visible ms> <exit ms> <peak working set bytes> <private bytes> <exit code>
// A start that never showed its window prints -1 for the time.

#include <windows.h>
#include <psapi.h>

#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "bench_clock.h"

namespace {

struct Program {
  std::wstring name;
  std::wstring exe;
  std::wstring windowClass;
};

constexpr DWORD kShowTimeoutMs = 30000;
constexpr DWORD kExitTimeoutMs = 15000;

HWND visibleWindowOf(const std::wstring& cls, DWORD pid) {
  HWND after = nullptr;
  while ((after = FindWindowExW(nullptr, after, cls.c_str(), nullptr)) != nullptr) {
    DWORD owner = 0;
    GetWindowThreadProcessId(after, &owner);
    if (owner == pid && IsWindowVisible(after)) return after;
  }
  return nullptr;
}

std::string narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

void startOnce(const Program& program, int round, bool warmup, DWORD settleMs) {
  std::wstring commandLine = L"\"" + program.exe + L"\"";
  std::wstring folder = program.exe.substr(0, program.exe.find_last_of(L"\\/") + 1);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};

  const unsigned long long start = bench::microsecondsNow();
  if (!CreateProcessW(program.exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
    bench::out("start %d %d %s -1 -1 0 0 -%lu\n", round, warmup ? 1 : 0, narrow(program.name).c_str(),
               GetLastError());
    return;
  }
  HWND window = nullptr;
  long long visibleUs = -1;
  while (bench::microsecondsNow() - start < 1000ULL * kShowTimeoutMs) {
    window = visibleWindowOf(program.windowClass, process.dwProcessId);
    if (window) {
      visibleUs = static_cast<long long>(bench::microsecondsNow() - start);
      break;
    }
    if (WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0) break;
  }

  Sleep(settleMs);
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(process.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);

  const unsigned long long closing = bench::microsecondsNow();
  if (window) PostMessageW(window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process.hProcess, kExitTimeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 99);
    WaitForSingleObject(process.hProcess, kExitTimeoutMs);
  }
  const unsigned long long exited = bench::microsecondsNow();
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);

  bench::out("start %d %d %s %.3f %.3f %llu %llu %lu\n", round, warmup ? 1 : 0, narrow(program.name).c_str(),
             visibleUs < 0 ? -1.0 : static_cast<double>(visibleUs) / 1000.0,
             static_cast<double>(exited - closing) / 1000.0,
             static_cast<unsigned long long>(memory.PeakWorkingSetSize),
             static_cast<unsigned long long>(memory.PrivateUsage), code);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int runs = 20;
  int warmup = 1;
  DWORD settleMs = 300;
  std::vector<Program> programs;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--program" && i + 3 < argc) {
      programs.push_back({argv[i + 1], argv[i + 2], argv[i + 3]});
      i += 3;
    } else if (arg == L"--runs" && i + 1 < argc) {
      runs = std::wcstol(argv[++i], nullptr, 10);
    } else if (arg == L"--warmup" && i + 1 < argc) {
      warmup = std::wcstol(argv[++i], nullptr, 10);
    } else if (arg == L"--settle-ms" && i + 1 < argc) {
      settleMs = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10));
    } else {
      programs.clear();
      break;
    }
  }
  if (programs.empty()) {
    std::fputs("usage: launch_timer [--runs N] [--warmup W] [--settle-ms MS] --program NAME EXE CLASS ...\n",
               stderr);
    return 2;
  }

  for (int round = 0; round < warmup + runs; ++round) {
    const bool reverse = round % 2 == 1;
    for (size_t k = 0; k < programs.size(); ++k) {
      const Program& program = programs[reverse ? programs.size() - 1 - k : k];
      startOnce(program, round, round < warmup, settleMs);
    }
  }
  bench::out("done\n");
  return 0;
}
