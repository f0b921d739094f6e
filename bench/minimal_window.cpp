// minimal_window: the smallest program that does what Vask F5 does at start-up as far as the window manager
// can see: it registers a class and shows a 416x217 borderless tool window, then runs a message loop until
// WM_CLOSE. Built and linked the way VaskF5.exe is, it is the baseline of the start-up and memory figures.
//
// Built with VASK_BENCH_PROFILE (as minimal_profile.exe) it also prints its start-up step by step, in the
// form of startup_profile (startup_steps.h), and closes itself once its window is shown.

#include "bench_window.h"

#ifdef VASK_BENCH_PROFILE
#include "startup_steps.h"
#endif

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
#ifdef VASK_BENCH_PROFILE
  bench::Steps steps;
#endif
  if (!support::registerClass(L"VaskBenchMinimal")) return 1;
  HWND hwnd = support::makeWindow(
      L"VaskBenchMinimal", L"minimal",
      {.exStyle = WS_EX_TOOLWINDOW, .style = WS_POPUP, .width = 416, .height = 217, .show = SW_HIDE});
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

  return support::runMessageLoop();
}
