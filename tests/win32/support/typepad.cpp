// typepad: an editor to type into, an edit control alone in a window at 600,400: Wine's notepad answers
// Ctrl+S with a Save dialog, an edit control with nothing. Its text, the window's, is what was typed.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  HWND pad = CreateWindowExW(0, L"EDIT", L"", WS_OVERLAPPEDWINDOW | ES_MULTILINE, 600, 400, 400, 300, nullptr,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
  ShowWindow(pad, SW_SHOWNORMAL);
  MSG msg;
  while (IsWindow(pad) && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
