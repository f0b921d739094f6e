// What the Windows bench programs share besides the clock: plain windows and a message loop; and the clock
// itself, QueryPerformanceCounter in microseconds, which the fake browsers of the Wine tests stamp their logs
// with too.
#pragma once

#include <windows.h>

namespace support {

// In whole microseconds (CLOCK_MONOTONIC_RAW under this Wine).
inline unsigned long long microsecondsNow() {
  LARGE_INTEGER frequency{}, counter{};
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  const auto f = static_cast<unsigned long long>(frequency.QuadPart),
             c = static_cast<unsigned long long>(counter.QuadPart);
  return (c / f) * 1000000ULL + (c % f) * 1000000ULL / f;
}

// The window procedure of a program that ends with its window.
inline LRESULT CALLBACK quitOnDestroy(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) PostQuitMessage(0);
  return message == WM_DESTROY ? 0 : DefWindowProcW(hwnd, message, wParam, lParam);
}

inline bool registerClass(const wchar_t* name, WNDPROC proc = quitOnDestroy) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
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
  if (hwnd && spec.show != SW_HIDE) ShowWindow(hwnd, spec.show);
  if (hwnd && spec.show != SW_HIDE) UpdateWindow(hwnd);
  return hwnd;
}

inline int runMessageLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace support
