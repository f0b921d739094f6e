// keypoller: another program on the desktop that polls one key's state every millisecond, as games, hotkey and
// macro tools and screen recorders do, and so takes that key's shared "pressed since the last query" bit.
//
//   keypoller.exe --log PATH [--vk CODE]
//
// Default key S (83). The log gets "ready" once polling has begun, then "took <state in hex>" each time a query
// found the pressed-since bit set, that is each time this program took the bit from everyone else. Runs until it
// is stopped.

#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    const wchar_t* logPath = nullptr;
    int vk = 'S';
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::wcscmp(argv[i], L"--log") == 0) {
            logPath = argv[i + 1];
        } else if (std::wcscmp(argv[i], L"--vk") == 0) {
            vk = static_cast<int>(std::wcstol(argv[i + 1], nullptr, 10));
        }
    }
    if (!logPath) {
        std::fputs("usage: keypoller --log PATH [--vk CODE]\n", stderr);
        return 2;
    }
    // Binary mode: the tests read the lines without carriage returns.
    FILE* log = _wfopen(logPath, L"ab");
    if (!log) return 3;
    GetAsyncKeyState(vk);
    std::fputs("ready\n", log);
    std::fflush(log);
    for (;;) {
        const SHORT state = GetAsyncKeyState(vk);
        if (state & 1) {
            std::fprintf(log, "took 0x%04x\n", static_cast<unsigned>(static_cast<unsigned short>(state)));
            std::fflush(log);
        }
        Sleep(1);
    }
}
