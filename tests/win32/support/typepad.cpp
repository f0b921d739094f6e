// typepad: a plain window to type into during the end-to-end tests.
//
// Wine's notepad answers Ctrl+S with a Save dialog; this window has an edit control and no menu, so the save chord
// reaches the system-wide key state and nothing else happens.
//
//   typepad.exe [--title T] [--x X --y Y] [--popup] [--message TEXT]
//
// Default title "typepad", at 600,400 (clear of the corner where Vask F5 appears), 400x300. --popup makes it a
// borderless, always-on-top tool window without a system menu, shaped like Vask F5's own window, so the tests can
// check what the keyboard (Esc, Alt+F4) does to such a window under this Wine and X server. --message shows a modal
// message box with that text and one OK button before the window is created, the way a program may greet the user
// during its start-up; the tests use it to prove that they can find, read and dismiss such a box.

#include <windows.h>

#include <cwchar>
#include <string>

namespace {

HWND g_edit = nullptr;

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: {
        RECT client{};
        GetClientRect(hwnd, &client);
        g_edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL,
                                 0, 0, client.right, client.bottom, hwnd, nullptr,
                                 reinterpret_cast<CREATESTRUCTW*>(lParam)->hInstance, nullptr);
        return g_edit ? 0 : -1;
    }
    case WM_SIZE:
        if (g_edit) MoveWindow(g_edit, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_SETFOCUS:
        if (g_edit) SetFocus(g_edit);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring title = L"typepad";
    int x = 600;
    int y = 400;
    bool popup = false;
    std::wstring message;
    for (int i = 1; argv && i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--title" && hasValue) {
            title = argv[++i];
        } else if (arg == L"--x" && hasValue) {
            x = std::wcstol(argv[++i], nullptr, 10);
        } else if (arg == L"--y" && hasValue) {
            y = std::wcstol(argv[++i], nullptr, 10);
        } else if (arg == L"--popup") {
            popup = true;
        } else if (arg == L"--message" && hasValue) {
            message = argv[++i];
        } else {
            MessageBoxW(nullptr, L"usage: typepad [--title T] [--x X --y Y] [--popup] [--message TEXT]", L"typepad",
                        MB_OK);
            return 2;
        }
    }

    if (!message.empty()) MessageBoxW(nullptr, message.c_str(), L"typepad", MB_OK);

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"VaskTypepad";
    if (!RegisterClassExW(&wc)) return 3;

    const DWORD style = popup ? WS_POPUP : WS_OVERLAPPEDWINDOW;
    const DWORD exStyle = popup ? (WS_EX_TOOLWINDOW | WS_EX_TOPMOST) : 0;
    HWND hwnd = CreateWindowExW(exStyle, wc.lpszClassName, title.c_str(), style, x, y, 400, 300, nullptr, nullptr,
                                instance, nullptr);
    if (!hwnd) return 4;
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
