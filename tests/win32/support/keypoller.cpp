// keypoller: another program on the desktop that polls S every millisecond, as games, hotkey and macro tools
// and screen recorders do, and so takes S's shared "pressed since the last query" bit.
//
//   keypoller.exe LOG
//
// LOG gets "ready" once polling has begun, then "took" each time a query found the bit set, that is each time
// this program took it from everyone else. Runs until it is stopped.

#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
  FILE* log = argc == 2 ? _wfopen(argv[1], L"ab") : nullptr;  // binary: no carriage returns
  if (!log) return 2;
  GetAsyncKeyState('S');
  std::fputs("ready\n", log);
  std::fflush(log);
  for (;;) {
    if (GetAsyncKeyState('S') & 1) {
      std::fputs("took\n", log);
      std::fflush(log);
    }
    Sleep(1);
  }
}
