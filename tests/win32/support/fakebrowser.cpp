// fakebrowser: stands in for a browser under Wine.
//
// It registers real browser window classes ("IEFrame", "Chrome_WidgetWin_1", "MozillaWindowClass",
// "OperaWindowClass", or any other name it is given), opens small visible top-level windows of them and writes one
// log line for every activate / key message that is *posted* to one of its windows. The end-to-end tests read that
// log to see which windows Vask F5 refreshed, and in which order. The tests run copies of it under the browsers'
// program names (chrome.exe, firefox.exe, ...) and under look-alikes' names (Code.exe, thunderbird.exe, ...).
//
//   fakebrowser.exe --class NAME [--count N] [--class NAME2 [--count M]]... [--title T] [--log PATH]
//                   [--ready PATH] [--x X --y Y] [--color RRGGBB] [--hang-after-ready] [--structure]
//
// --structure adds the other top-level windows the real browsers make next to their frames. For each Chrome frame:
// a visible and a hidden popup owned by it, directly above it (the status bubble and friends), and once, in front
// of everything of the class, a hidden unowned window. For each Firefox frame: a visible owned popup, and once a
// floating picture-in-picture window (always on top, without a minimise box), in front of everything.
//
// --class may be given several times; all windows then live on one thread, so messages posted to them by one
// sender arrive (and are logged) in posting order. --count applies to the --class just before it (given before any
// --class it sets the default). Windows are created one after another, so the last one created is the frontmost.
//
// Log line: <microseconds> <window index> <hwnd> <name> <wParam> <lParam>, the last two in hex, for ACTIVATE,
// KEYDOWN, KEYUP, SYSKEYDOWN, SYSKEYUP, CHAR, LBUTTONDOWN, LBUTTONUP (client coordinates in lParam) and MARK. The
// index counts all windows of this process in creation order. MARK is WM_APP+1, which the tests post themselves as
// a "you have seen everything before this" marker.
//
// The ready file gets one line per window, "<hwnd> <class> <role>", in creation order, the role being frame,
// popup, hidden-popup, utility or pip; written only after every window exists and is shown (written to a
// temporary name first, then renamed, so a reader never sees half of it).

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr UINT kMarkMessage = WM_APP + 1;
constexpr int kWidth = 200;
constexpr int kHeight = 150;
constexpr int kStagger = 24;
const std::wstring kChrome = L"Chrome_WidgetWin_1";
const std::wstring kFirefox = L"MozillaWindowClass";

struct ClassRequest {
    std::wstring name;
    int count;
};

struct Options {
    std::vector<ClassRequest> classes;
    std::wstring title;
    std::wstring logPath;
    std::wstring readyPath;
    int x = 700;
    int y = 40;
    COLORREF color = RGB(0x3c, 0x78, 0xb4);
    bool colorGiven = false;
    bool hangAfterReady = false;
    bool structure = false;
};

struct Made {
    std::wstring className;
    const char* role;
};

std::vector<HWND> g_windows;
std::vector<Made> g_made;  // parallel to g_windows
int g_liveWindows = 0;
std::wstring g_logPath;

unsigned long long microsecondsNow() {
    LARGE_INTEGER frequency{};
    LARGE_INTEGER counter{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    const unsigned long long f = static_cast<unsigned long long>(frequency.QuadPart);
    const unsigned long long c = static_cast<unsigned long long>(counter.QuadPart);
    return (c / f) * 1000000ULL + (c % f) * 1000000ULL / f;
}

const char* messageName(UINT message) {
    switch (message) {
    case WM_ACTIVATE: return "ACTIVATE";
    case WM_KEYDOWN: return "KEYDOWN";
    case WM_KEYUP: return "KEYUP";
    case WM_SYSKEYDOWN: return "SYSKEYDOWN";
    case WM_SYSKEYUP: return "SYSKEYUP";
    case WM_CHAR: return "CHAR";
    case WM_LBUTTONDOWN: return "LBUTTONDOWN";
    case WM_LBUTTONUP: return "LBUTTONUP";
    case kMarkMessage: return "MARK";
    default: return nullptr;
    }
}

int windowIndex(HWND hwnd) {
    for (size_t i = 0; i < g_windows.size(); ++i) {
        if (g_windows[i] == hwnd) return static_cast<int>(i);
    }
    return -1;
}

// The file is opened for each line, written with one WriteFile at its end and closed again: the harness may read
// it at any moment and may even truncate it between cases, and no line is ever half written or lost in a buffer.
void appendLogLine(const MSG& msg, const char* name) {
    if (g_logPath.empty()) return;
    char line[160];
    const int length = std::snprintf(line, sizeof line, "%llu %d %ld %s 0x%llx 0x%llx\n", microsecondsNow(),
                                     windowIndex(msg.hwnd), HandleToLong(msg.hwnd), name,
                                     static_cast<unsigned long long>(msg.wParam),
                                     static_cast<unsigned long long>(msg.lParam));
    if (length <= 0) return;
    HANDLE file = CreateFileW(g_logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    SetFilePointer(file, 0, nullptr, FILE_END);
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
    CloseHandle(file);
}

bool writeReadyFile(const std::wstring& path) {
    const std::wstring temporary = path + L".tmp";
    FILE* file = _wfopen(temporary.c_str(), L"wb");
    if (!file) return false;
    for (size_t i = 0; i < g_windows.size(); ++i) {
        std::fprintf(file, "%ld %ls %s\n", HandleToLong(g_windows[i]), g_made[i].className.c_str(), g_made[i].role);
    }
    std::fclose(file);
    return MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        // The program lives as long as one of its frames does; popups and helper windows go with it.
        if (windowIndex(hwnd) >= 0 && std::strcmp(g_made[windowIndex(hwnd)].role, "frame") == 0 &&
            --g_liveWindows <= 0) {
            PostQuitMessage(0);
        }
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

COLORREF colorFromHex(const wchar_t* text) {
    const unsigned long value = std::wcstoul(text, nullptr, 16);
    return RGB((value >> 16) & 0xff, (value >> 8) & 0xff, value & 0xff);
}

// A colour per class, so that a screenshot tells the fake browsers apart without a legend.
COLORREF defaultColor(const std::wstring& className) {
    if (className == L"IEFrame") return RGB(0x1e, 0x90, 0xff);
    if (className == L"Chrome_WidgetWin_1") return RGB(0x34, 0xa8, 0x53);
    if (className == L"MozillaWindowClass") return RGB(0xff, 0x8c, 0x00);
    if (className == L"OperaWindowClass") return RGB(0xd0, 0x20, 0x30);
    return RGB(0x80, 0x80, 0x80);
}

bool parseOptions(int argc, wchar_t** argv, Options& options) {
    int defaultCount = 1;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--class" && hasValue) {
            options.classes.push_back({argv[++i], defaultCount});
        } else if (arg == L"--count" && hasValue) {
            const int count = std::wcstol(argv[++i], nullptr, 10);
            if (count < 1) return false;
            if (options.classes.empty()) {
                defaultCount = count;
            } else {
                options.classes.back().count = count;
            }
        } else if (arg == L"--title" && hasValue) {
            options.title = argv[++i];
        } else if (arg == L"--log" && hasValue) {
            options.logPath = argv[++i];
        } else if (arg == L"--ready" && hasValue) {
            options.readyPath = argv[++i];
        } else if (arg == L"--x" && hasValue) {
            options.x = std::wcstol(argv[++i], nullptr, 10);
        } else if (arg == L"--y" && hasValue) {
            options.y = std::wcstol(argv[++i], nullptr, 10);
        } else if (arg == L"--color" && hasValue) {
            options.color = colorFromHex(argv[++i]);
            options.colorGiven = true;
        } else if (arg == L"--hang-after-ready") {
            options.hangAfterReady = true;
        } else if (arg == L"--structure") {
            options.structure = true;
        } else {
            return false;
        }
    }
    return !options.classes.empty();
}

HINSTANCE g_instance = nullptr;

// One top-level window of a registered class, remembered with its role; shown without taking the focus.
HWND makeWindow(const std::wstring& className, const char* role, DWORD exStyle, const wchar_t* title, DWORD style,
                int x, int y, int width, int height, HWND owner, bool visible) {
    HWND hwnd = CreateWindowExW(exStyle, className.c_str(), title, style, x, y, width, height, owner, nullptr,
                                g_instance, nullptr);
    if (!hwnd) return nullptr;
    g_windows.push_back(hwnd);
    g_made.push_back({className, role});
    if (visible) {
        // Not activated: the tests keep the keyboard focus where they put it.
        ShowWindow(hwnd, SW_SHOWNOACTIVATE);
        UpdateWindow(hwnd);
    }
    return hwnd;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    Options options;
    if (!argv || !parseOptions(argc, argv, options)) {
        MessageBoxW(nullptr,
                    L"usage: fakebrowser --class NAME [--count N] ... [--title T] [--log PATH] [--ready PATH] "
                    L"[--x X --y Y] [--color RRGGBB] [--hang-after-ready] [--structure]",
                    L"fakebrowser", MB_OK);
        return 2;
    }
    g_logPath = options.logPath;
    g_instance = instance;

    int index = 0;
    for (const ClassRequest& request : options.classes) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = windowProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
        wc.hbrBackground = CreateSolidBrush(options.colorGiven ? options.color : defaultColor(request.name));
        wc.lpszClassName = request.name.c_str();
        if (!RegisterClassExW(&wc)) return 3;

        for (int i = 0; i < request.count; ++i, ++index) {
            wchar_t title[300];
            if (options.title.empty()) {
                std::swprintf(title, 300, L"fake %ls %d", request.name.c_str(), index);
            } else {
                std::swprintf(title, 300, L"%ls", options.title.c_str());
            }
            const int x = options.x + kStagger * index;
            const int y = options.y + kStagger * index;
            HWND frame = makeWindow(request.name, "frame", 0, title, WS_OVERLAPPEDWINDOW, x, y, kWidth, kHeight,
                                    nullptr, true);
            if (!frame) return 4;
            ++g_liveWindows;
            if (!options.structure) continue;
            if (request.name == kChrome) {
                // Owned popups sit directly above their owner: a status bubble over the frame's bottom left.
                if (!makeWindow(request.name, "popup", 0, L"", WS_POPUP, x + 8, y + kHeight - 30, 80, 20, frame,
                                true) ||
                    !makeWindow(request.name, "hidden-popup", 0, L"", WS_POPUP, x + 8, y + 40, 80, 20, frame,
                                false)) {
                    return 4;
                }
            } else if (request.name == kFirefox) {
                if (!makeWindow(request.name, "popup", 0, L"", WS_POPUP, x + 8, y + kHeight - 30, 80, 20, frame,
                                true)) {
                    return 4;
                }
            }
        }
        if (!options.structure) continue;
        // Made last, so in front of every window of the class.
        if (request.name == kChrome &&
            !makeWindow(request.name, "utility", 0, L"", WS_POPUP, 0, 0, 10, 10, nullptr, false)) {
            return 4;
        }
        // The floating video: always on top and without a minimise box, like the real one.
        if (request.name == kFirefox &&
            !makeWindow(request.name, "pip", WS_EX_TOPMOST, L"Picture-in-Picture", WS_POPUP | WS_THICKFRAME,
                        options.x + 300, options.y + 300, 160, 90, nullptr, true)) {
            return 4;
        }
    }

    if (!options.readyPath.empty() && !writeReadyFile(options.readyPath)) return 5;
    if (options.hangAfterReady) {
        // A browser that stopped pumping messages: posts still queue up, nothing is ever read.
        for (;;) Sleep(INFINITE);
    }

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // Only posted (and hardware) messages come out of GetMessage; the WM_ACTIVATE that the window manager
        // *sends* on a real activation goes straight to the window procedure and is not logged.
        if (const char* name = messageName(msg.message); name && windowIndex(msg.hwnd) >= 0) {
            appendLogLine(msg, name);
            // Swallowed rather than dispatched: DefWindowProc would answer a posted WM_ACTIVATE by taking the
            // focus, and a fake browser that steals the keyboard would spoil the next chord typed by a test.
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
