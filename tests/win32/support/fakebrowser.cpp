// fakebrowser: stands in for a browser under Wine, acting on messages by its engine's rules as read from the
// browsers' own sources, so that a test fails where the real browser would ignore a refresh or jump forward.
//
//   fakebrowser.exe LOG X Y CLASS COUNT [--hang]
//
// Opens COUNT frames of the class (the last made in front), shown without activation, and logs
// "<microseconds> <hwnd> <WHAT> <wParam hex> <lParam hex>" for each posted or typed ACTIVATE, KEYDOWN, KEYUP,
// APPCOMMAND and MARK (WM_APP+1, the tests' "you have seen everything before this"), each RELOAD it performs
// (wParam: F5's key code or WM_APPCOMMAND) and each RAISE (the frame activated itself for real). One thread
// holds every window, so the log keeps the order of one sender's posts. Chromium and Gecko frames come with
// the other top-level windows real browsers make, which the lookup must pass over: per Chrome frame an owned
// popup, once a hidden helper; per Firefox frame an owned popup, once a floating video (topmost, no minimise
// box). --hang reads no message once ready. Before anything else the log lists the frames, front last, then
// READY.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <map>
#include <string>

namespace {

enum class Engine { Chromium, Gecko, Legacy };
std::map<HWND, bool> g_believesActive;  // the frames, and whether each believes it is the active window
FILE* g_log = nullptr;                  // unbuffered: a reader sees each line once it is whole
const wchar_t* g_class = L"";
Engine g_engine = Engine::Legacy;
// The messages logged as they are taken from the queue, and their names in the log.
constexpr UINT kLogged[] = {WM_ACTIVATE, WM_KEYDOWN, WM_KEYUP, WM_APPCOMMAND, WM_APP + 1};
constexpr const char* kLoggedAs[] = {"ACTIVATE", "KEYDOWN", "KEYUP", "APPCOMMAND", "MARK"};

void log(HWND hwnd, const char* what, WPARAM wParam = 0, LPARAM lParam = 0) {
  LARGE_INTEGER frequency, counter;  // QueryPerformanceCounter: the tests' and the benchmarks' clock
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  std::fprintf(g_log, "%.0f %ld %s 0x%llx 0x%llx\n", counter.QuadPart * 1e6 / frequency.QuadPart,
               HandleToLong(hwnd), what, static_cast<UINT64>(wParam), static_cast<UINT64>(lParam));
}

// ui/aura/native_window_occlusion_tracker_win.cc: a window fully covered by the windows above it is occluded
// (here by one of them, as the tests cover a frame).
bool covered(HWND hwnd) {
  RECT rect, above, both;
  GetWindowRect(hwnd, &rect);
  for (HWND w = GetWindow(hwnd, GW_HWNDPREV); w; w = GetWindow(w, GW_HWNDPREV)) {
    if (IsWindowVisible(w) && !IsIconic(w) && GetWindowRect(w, &above) &&
        IntersectRect(&both, &rect, &above) && EqualRect(&both, &rect))
      return true;
  }
  return false;
}

// ui/views/win/hwnd_message_handler.cc HWNDMessageHandler::Activate: restored, on top, in the foreground.
void raise(HWND frame) {
  log(frame, "RAISE");
  if (IsIconic(frame)) ShowWindow(frame, SW_RESTORE);
  SetWindowPos(frame, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetForegroundWindow(frame);
  g_believesActive[frame] = true;
}

// What a frame does with a posted or typed message, by its engine.
void act(HWND frame, const MSG& msg) {
  bool& believesActive = g_believesActive[frame];
  const bool activation = msg.message == WM_ACTIVATE && LOWORD(msg.wParam) != WA_INACTIVE;
  const bool f5 = msg.message == WM_KEYDOWN && msg.wParam == VK_F5;
  const bool command =
      msg.message == WM_APPCOMMAND && GET_APPCOMMAND_LPARAM(msg.lParam) == APPCOMMAND_BROWSER_REFRESH;
  const bool minimised = IsIconic(frame);
  switch (g_engine) {
    case Engine::Chromium:
      // hwnd_message_handler.cc PostProcessActivateMessage: active = state != WA_INACTIVE && !minimized. A
      // minimised root window cannot be activated inside, so ui/views/focus/focus_manager.cc activates the
      // widget for real.
      if (activation && minimised) raise(frame);
      if (msg.message == WM_ACTIVATE && !minimised) believesActive = activation;
      // content/browser/renderer_host/render_widget_host_impl.cc: F5 reaches the accelerators (IDC_RELOAD)
      // only from a page that is not hidden, and a key reaches the page only through the focused view that
      // desktop_native_widget_aura.cc restores on activation.
      if (f5 && believesActive && !minimised && !covered(frame)) log(frame, "RELOAD", VK_F5);
      // chrome/browser/ui/views/frame/browser_view.cc: APPCOMMAND_BROWSER_REFRESH is IDC_RELOAD in any state;
      // the reload focuses the tab, which activates a frame that does not believe it is active.
      if (command && !believesActive) raise(frame);
      if (command) log(frame, "RELOAD", WM_APPCOMMAND);
      break;
    case Engine::Gecko:
      // widget/windows/nsWindow.cpp: WM_KEYDOWN goes to ProcessKeyDownMessage with no activation check,
      // WM_ACTIVATE only sets sJustGotActivate, a command not from a key is browser.js's "Reload".
      if (f5 || command) log(frame, "RELOAD", f5 ? VK_F5 : WM_APPCOMMAND);
      break;
    case Engine::Legacy:  // Internet Explorer, Opera's own engine: F5 once activated
      if (msg.message == WM_ACTIVATE) believesActive = activation;
      if (f5 && believesActive) log(frame, "RELOAD", VK_F5);
      break;
  }
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const bool frame = g_believesActive.contains(hwnd);
  // A real activation or deactivation, sent by the window manager.
  if (message == WM_ACTIVATE && frame)
    g_believesActive[hwnd] = LOWORD(wParam) != WA_INACTIVE && !HIWORD(wParam);
  // The program ends with its last frame.
  if (message == WM_DESTROY && frame && g_believesActive.erase(hwnd) && g_believesActive.empty())
    PostQuitMessage(0);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND make(DWORD exStyle, DWORD style, RECT at, HWND owner, int show) {
  HWND hwnd = CreateWindowExW(exStyle, g_class, L"", style, at.left, at.top, at.right, at.bottom, owner,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
  if (hwnd) ShowWindow(hwnd, show);
  return hwnd;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc < 6) return 2;
  if (!(g_log = _wfopen(argv[1], L"ab"))) return 2;
  std::setvbuf(g_log, nullptr, _IONBF, 0);
  const std::wstring cls = g_class = argv[4];
  g_engine = cls == L"Chrome_WidgetWin_1"   ? Engine::Chromium
             : cls == L"MozillaWindowClass" ? Engine::Gecko
                                            : Engine::Legacy;
  WNDCLASSW wc{};
  wc.lpfnWndProc = windowProc;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = g_class;
  if (!RegisterClassW(&wc)) return 3;
  int x = std::wcstol(argv[2], nullptr, 10), y = std::wcstol(argv[3], nullptr, 10);
  for (int i = std::wcstol(argv[5], nullptr, 10); i > 0; --i, x += 24, y += 24) {
    const HWND frame = make(0, WS_OVERLAPPEDWINDOW, {x, y, 200, 150}, nullptr, SW_SHOWNOACTIVATE);
    if (!frame || (g_engine != Engine::Legacy &&
                   !make(0, WS_POPUP, {x + 8, y + 120, 80, 20}, frame, SW_SHOWNOACTIVATE)))
      return 3;
    g_believesActive[frame] = false;
    log(frame, "FRAME");
  }
  if ((g_engine == Engine::Chromium && !make(0, WS_POPUP, {0, 0, 10, 10}, nullptr, SW_HIDE)) ||
      (g_engine == Engine::Gecko && !make(WS_EX_TOPMOST, WS_POPUP | WS_THICKFRAME,
                                          {x + 300, y + 300, 160, 90}, nullptr, SW_SHOWNOACTIVATE)))
    return 3;
  log(nullptr, "READY");
  while (argc > 6) Sleep(INFINITE);  // --hang: posts queue up, nothing is read

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    // Posted and typed messages come out of GetMessage. They are acted on here and not dispatched:
    // DefWindowProc would answer a posted WM_ACTIVATE by taking the keyboard focus.
    const char* what = nullptr;
    for (int i = 0; i < 5; ++i) what = msg.message == kLogged[i] ? kLoggedAs[i] : what;
    if (what && msg.hwnd) {
      log(msg.hwnd, what, msg.wParam, msg.lParam);
      if (g_believesActive.contains(msg.hwnd)) act(msg.hwnd, msg);
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
