// typepad: a plain window with an edit control to type into during the end-to-end tests. Wine's notepad
// answers Ctrl+S with a Save dialog; this window has no menu, so the save chord reaches the key state and
// nothing else happens. At 600,400, clear of the corner where Vask F5 appears and of the fake browsers.

#include "common.h"

namespace {

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND edit = GetWindow(hwnd, GW_CHILD);
  switch (message) {
    case WM_CREATE:
      return CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOVSCROLL, 0, 0,
                             400, 300, hwnd, nullptr, GetModuleHandleW(nullptr), nullptr)
                 ? 0
                 : -1;
    case WM_SIZE:
      MoveWindow(edit, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      return 0;
    case WM_SETFOCUS:
      SetFocus(edit);
      return 0;
    default:
      return support::quitOnDestroy(hwnd, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  if (!support::registerClass(L"VaskTypepad", windowProc)) return 3;
  if (!support::makeWindow(L"VaskTypepad", L"typepad", {.x = 600, .y = 400})) return 4;
  return support::runMessageLoop();
}
