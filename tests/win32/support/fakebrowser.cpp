// fakebrowser: stands in for a browser under Wine.
//
//   fakebrowser.exe LOG READY X Y [--structure] [--hang] CLASS COUNT [CLASS COUNT]...
//
// --hang stops reading messages once the windows are ready, as a hung browser does.
//
// Registers the given window classes ("IEFrame", "Chrome_WidgetWin_1", ...), opens visible top-level frames
// of them one after another (so the last one made is the frontmost) and logs every activate / key message
// *posted* to them: "<microseconds> <hwnd> <ACTIVATE|KEYDOWN|KEYUP|MARK> <wParam> <lParam>", the last two in
// hex. MARK is WM_APP+1, which the tests post themselves as a "you have seen everything before this" marker.
// All windows live on one thread, so messages one sender posts to several of them are logged in posting
// order. The tests run copies of it under the browsers' program names (chrome.exe, ...) and under
// look-alikes' (Code.exe, ...).
//
// --structure adds the other top-level windows the real browsers make. For each Chrome frame a visible and a
// hidden popup owned by it, directly above it, and once a hidden unowned helper window in front of everything
// of the class; for each Firefox frame a visible owned popup, and once a floating video (always on top,
// without a minimise box) in front of everything.
//
// The ready file gets "<hwnd> <class> <role>" per window in creation order (role frame, popup, hidden-popup,
// utility or pip), written once every window is shown, under a temporary name first so no reader sees half of
// it.

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "common.h"

namespace {

constexpr UINT kMarkMessage = WM_APP + 1;
constexpr int kWidth = 200, kHeight = 150, kStagger = 24;

struct Made {
  HWND hwnd;
  std::wstring cls;
  const char* role;
};

std::vector<Made> g_made;
int g_liveFrames = 0;

const char* messageName(UINT message) {
  return message == WM_ACTIVATE    ? "ACTIVATE"
         : message == WM_KEYDOWN   ? "KEYDOWN"
         : message == WM_KEYUP     ? "KEYUP"
         : message == kMarkMessage ? "MARK"
                                   : nullptr;
}

// Opened for each line and written with one WriteFile at its end: the tests may read it at any moment, and no
// line is ever half written or left in a buffer.
void logLine(const std::wstring& path, const MSG& msg, const char* name) {
  char line[160];
  const int length = std::snprintf(
      line, sizeof line, "%llu %ld %s 0x%llx 0x%llx\n", support::microsecondsNow(), HandleToLong(msg.hwnd),
      name, static_cast<unsigned long long>(msg.wParam), static_cast<unsigned long long>(msg.lParam));
  HANDLE file =
      CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
  CloseHandle(file);
}

bool writeReady(const std::wstring& path) {
  const std::wstring temporary = path + L".tmp";
  FILE* file = _wfopen(temporary.c_str(), L"wb");
  if (!file) return false;
  for (const Made& made : g_made)
    std::fprintf(file, "%ld %ls %s\n", HandleToLong(made.hwnd), made.cls.c_str(), made.role);
  std::fclose(file);
  return MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  // The program lives as long as one of its frames does; popups and helper windows go with it.
  if (message == WM_DESTROY) {
    for (const Made& made : g_made) {
      if (made.hwnd == hwnd && std::string(made.role) == "frame" && --g_liveFrames == 0) PostQuitMessage(0);
    }
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Shown without activation: the tests keep the keyboard focus where they put it.
bool make(const std::wstring& cls, const char* role, const wchar_t* title, support::WindowSpec spec) {
  spec.show = spec.show == SW_HIDE ? SW_HIDE : SW_SHOWNOACTIVATE;
  HWND hwnd = support::makeWindow(cls.c_str(), title, spec);
  if (hwnd) g_made.push_back({hwnd, cls, role});
  return hwnd != nullptr;
}

// The windows of one class, with the real browser's other windows around them when `structure` is set.
bool makeClass(const std::wstring& cls, int count, int x, int y, bool structure) {
  const bool chrome = structure && cls == L"Chrome_WidgetWin_1";
  const bool firefox = structure && cls == L"MozillaWindowClass";
  for (int i = 0; i < count; ++i, x += kStagger, y += kStagger) {
    const std::wstring title = L"fake " + cls + L" " + std::to_wstring(g_made.size());
    if (!make(cls, "frame", title.c_str(), {.x = x, .y = y, .width = kWidth, .height = kHeight}))
      return false;
    const HWND frame = g_made.back().hwnd;
    ++g_liveFrames;
    // Owned popups sit directly above their owner: a status bubble over the frame's bottom left.
    const support::WindowSpec bubble{
        .style = WS_POPUP, .x = x + 8, .y = y + kHeight - 30, .width = 80, .height = 20, .owner = frame};
    if ((chrome || firefox) && !make(cls, "popup", L"", bubble)) return false;
    if (chrome && !make(cls, "hidden-popup", L"", {.style = WS_POPUP, .owner = frame, .show = SW_HIDE}))
      return false;
  }
  if (chrome && !make(cls, "utility", L"", {.style = WS_POPUP, .show = SW_HIDE})) return false;
  return !firefox || make(cls, "pip", L"Picture-in-Picture",
                          {.exStyle = WS_EX_TOPMOST,
                           .style = WS_POPUP | WS_THICKFRAME,
                           .x = x + 300,
                           .y = y + 300,
                           .width = 160,
                           .height = 90});
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc < 7) return 2;
  const std::wstring log = argv[1], ready = argv[2];
  const int x = std::wcstol(argv[3], nullptr, 10), y = std::wcstol(argv[4], nullptr, 10);
  bool structure = false, hang = false;
  int i = 5;
  for (; i < argc && argv[i][0] == L'-'; ++i) {
    structure = structure || std::wcscmp(argv[i], L"--structure") == 0;
    hang = hang || std::wcscmp(argv[i], L"--hang") == 0;
  }
  std::vector<std::pair<std::wstring, int>> classes;
  for (; i + 1 < argc; i += 2) classes.emplace_back(argv[i], std::wcstol(argv[i + 1], nullptr, 10));
  if (classes.empty()) return 2;

  for (const auto& [cls, count] : classes) {
    if (!support::registerClass(cls.c_str(), windowProc)) return 3;
    if (!makeClass(cls, count, x + kStagger * static_cast<int>(g_made.size()),
                   y + kStagger * static_cast<int>(g_made.size()), structure)) {
      return 4;
    }
  }
  if (!writeReady(ready)) return 5;
  // A browser that stopped pumping messages: posts still queue up, nothing is ever read.
  while (hang) Sleep(INFINITE);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    // Only posted (and hardware) messages come out of GetMessage; the WM_ACTIVATE that a real activation
    // *sends* goes straight to the window procedure and is not logged. Logged messages are swallowed, not
    // dispatched: DefWindowProc would answer a posted WM_ACTIVATE by taking the focus and spoil the next
    // chord typed.
    if (const char* name = messageName(msg.message); name && msg.hwnd) {
      logLine(log, msg, name);
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
