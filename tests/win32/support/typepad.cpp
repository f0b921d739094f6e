// typepad: a window to type into during the end-to-end tests, an edit control on its own. Wine's notepad
// answers Ctrl+S with a Save dialog; an edit control has no menu, so the save chord reaches the key state and
// nothing else happens. At 600,400, clear of the corner where Vask F5 appears and of the fake browsers.

#include "common.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // A top-level edit control's text is what was typed into it, so it starts without a title.
  if (!support::makeWindow(L"EDIT", L"", {.style = WS_OVERLAPPEDWINDOW | ES_MULTILINE, .x = 600, .y = 400}))
    return 4;
  return support::runMessageLoop();
}
