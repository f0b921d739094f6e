// minimal_window: the smallest program that does what Vask F5 does at start-up as far as the window manager can
// see: it registers a class and shows a 416x217 borderless tool window, then runs a message loop until WM_CLOSE.
// Built and linked the way VaskF5.exe is, it is the baseline of the start-up and memory figures.
//
// Built with VASK_BENCH_PROFILE (as minimal_profile.exe) it also prints its start-up step by step, in the form of
// startup_profile (startup_steps.h), and closes itself once its window is shown.

#include <windows.h>

#ifdef VASK_BENCH_PROFILE
#include "startup_steps.h"
#endif

namespace {

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
#ifdef VASK_BENCH_PROFILE
  bench::Steps steps;
#endif
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = windowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"VaskBenchMinimal";
  if (!RegisterClassExW(&wc)) return 1;

  HWND hwnd = CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"minimal", WS_POPUP, CW_USEDEFAULT,
                              CW_USEDEFAULT, 416, 217, nullptr, nullptr, instance, nullptr);
  if (!hwnd) return 2;
#ifdef VASK_BENCH_PROFILE
  steps.done("register-and-create");
#endif
  ShowWindow(hwnd, SW_SHOW);
  UpdateWindow(hwnd);
#ifdef VASK_BENCH_PROFILE
  steps.done("show-and-first-paint");
  PostMessageW(hwnd, WM_CLOSE, 0, 0);
#endif

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
