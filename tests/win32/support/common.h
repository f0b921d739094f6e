// What the small Windows programs of the tests and the benchmarks share: one clock, and plain windows.
#pragma once

#include <windows.h>

namespace support {

// QueryPerformanceCounter in whole microseconds: the fake browsers stamp their logs with it and the
// benchmarks time with it, so their times are on one clock.
inline unsigned long long microsecondsNow() {
  LARGE_INTEGER frequency{};
  LARGE_INTEGER counter{};
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  const auto f = static_cast<unsigned long long>(frequency.QuadPart);
  const auto c = static_cast<unsigned long long>(counter.QuadPart);
  return (c / f) * 1000000ULL + (c % f) * 1000000ULL / f;
}

// The window procedure of a program that ends with its window.
inline LRESULT CALLBACK quitOnDestroy(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Registers a window class with an arrow cursor; false when it cannot be registered.
inline bool registerClass(const wchar_t* name, WNDPROC proc = quitOnDestroy,
                          HBRUSH background = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1)) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = background;
  wc.lpszClassName = name;
  return RegisterClassExW(&wc) != 0;
}

struct WindowSpec {
  DWORD exStyle = 0;
  DWORD style = WS_OVERLAPPEDWINDOW;
  int x = CW_USEDEFAULT, y = CW_USEDEFAULT, width = 400, height = 300;
  HWND owner = nullptr;
  int show = SW_SHOWNORMAL;  // SW_HIDE leaves it hidden
};

// A top-level window of a registered class, shown as asked and painted once; null when it cannot be made.
inline HWND makeWindow(const wchar_t* cls, const wchar_t* title, const WindowSpec& spec) {
  HWND hwnd = CreateWindowExW(spec.exStyle, cls, title, spec.style, spec.x, spec.y, spec.width, spec.height,
                              spec.owner, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (hwnd && spec.show != SW_HIDE) {
    ShowWindow(hwnd, spec.show);
    UpdateWindow(hwnd);
  }
  return hwnd;
}

// Dispatches this thread's messages until WM_QUIT; returns its exit code.
inline int runMessageLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace support
