// fakebrowser: stands in for a browser under Wine, acting on messages by its engine's rules as read from the
// browsers' own sources, so that a test fails where the real browser would ignore a refresh or jump forward.
//
//   fakebrowser.exe LOG X Y [--structure] [--hang] CLASS COUNT [CLASS COUNT]...
//
// Opens COUNT frames of each class (the last made in front), shown without activation, and logs
// "<microseconds> <hwnd> <WHAT> <wParam hex> <lParam hex>" for each posted or typed ACTIVATE, KEYDOWN,
// APPCOMMAND and MARK (WM_APP+1, the tests' "you have seen everything before this"), each RELOAD it performs
// (wParam: F5's key code or WM_APPCOMMAND) and each RAISE (the frame activated itself for real). One thread
// holds every window, so the log keeps the order of one sender's posts. --structure adds the other top-level
// windows of real browsers: per Chrome frame an owned popup, once a hidden helper; per
// Firefox frame an owned popup, once a floating video (topmost, no minimise box). --hang reads no message
// once ready. Before anything else the log lists each window as "<role>:<class>" (role frame, popup,
// utility or pip), then READY.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

namespace {

enum class Engine { Chromium, Gecko, Legacy };
struct Made {
  HWND hwnd;
  std::wstring cls;
  std::string role;
  Engine engine;
  bool believesActive = false;
};
std::vector<Made> g_made;
std::wstring g_log;
int g_liveFrames = 0;
constexpr std::pair<UINT, const char*> kLogged[] = {
    {WM_ACTIVATE, "ACTIVATE"}, {WM_KEYDOWN, "KEYDOWN"}, {WM_APPCOMMAND, "APPCOMMAND"}, {WM_APP + 1, "MARK"}};

void log(HWND hwnd, const char* what, WPARAM wParam, LPARAM lParam) {
  LARGE_INTEGER frequency, counter;  // QueryPerformanceCounter: the tests' and the benchmarks' clock
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  // Opened for each line and written at once as it closes: a reader never sees half a line or a buffered one.
  FILE* file = _wfopen(g_log.c_str(), L"ab");
  std::fprintf(file, "%.0f %ld %s 0x%llx 0x%llx\n", counter.QuadPart * 1e6 / frequency.QuadPart,
               HandleToLong(hwnd), what, static_cast<unsigned long long>(wParam),
               static_cast<unsigned long long>(lParam));
  std::fclose(file);
}

Made* frameOf(HWND hwnd) {
  const auto it = std::find_if(g_made.begin(), g_made.end(),
                               [&](auto& m) { return m.hwnd == hwnd && m.role == "frame"; });
  return it == g_made.end() ? nullptr : &*it;
}

// ui/aura/native_window_occlusion_tracker_win.cc: a window fully covered by the windows above it is occluded.
bool covered(HWND hwnd) {
  RECT rect, box;
  GetWindowRect(hwnd, &rect);
  HRGN left = CreateRectRgnIndirect(&rect);
  for (HWND above = GetWindow(hwnd, GW_HWNDPREV); above; above = GetWindow(above, GW_HWNDPREV)) {
    if (!IsWindowVisible(above) || IsIconic(above) || !GetWindowRect(above, &rect)) continue;
    HRGN part = CreateRectRgnIndirect(&rect);
    CombineRgn(left, left, part, RGN_DIFF);
    DeleteObject(part);
  }
  const bool none = GetRgnBox(left, &box) == NULLREGION;
  DeleteObject(left);
  return none;
}

// ui/views/win/hwnd_message_handler.cc HWNDMessageHandler::Activate: restored, on top, in the foreground.
void raise(Made& frame) {
  log(frame.hwnd, "RAISE", 0, 0);
  if (IsIconic(frame.hwnd)) ShowWindow(frame.hwnd, SW_RESTORE);
  SetWindowPos(frame.hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetForegroundWindow(frame.hwnd);
  frame.believesActive = true;
}

// What a frame does with a posted or typed message, by its engine.
void act(Made& frame, const MSG& msg) {
  const bool activation = msg.message == WM_ACTIVATE && LOWORD(msg.wParam) != WA_INACTIVE;
  const bool f5 = msg.message == WM_KEYDOWN && msg.wParam == VK_F5;
  const bool command =
      msg.message == WM_APPCOMMAND && GET_APPCOMMAND_LPARAM(msg.lParam) == APPCOMMAND_BROWSER_REFRESH;
  const bool minimised = IsIconic(frame.hwnd);
  switch (frame.engine) {
    case Engine::Chromium:
      // hwnd_message_handler.cc PostProcessActivateMessage: active = state != WA_INACTIVE && !minimized. A
      // minimised root window cannot be activated inside, so ui/views/focus/focus_manager.cc activates the
      // widget for real.
      if (activation && minimised) raise(frame);
      if (msg.message == WM_ACTIVATE && !minimised) frame.believesActive = activation;
      // content/browser/renderer_host/render_widget_host_impl.cc: F5 reaches the accelerators (IDC_RELOAD)
      // only from a page that is not hidden, and a key reaches the page only through the focused view that
      // desktop_native_widget_aura.cc restores on activation.
      if (f5 && frame.believesActive && !minimised && !covered(frame.hwnd))
        log(frame.hwnd, "RELOAD", VK_F5, 0);
      // chrome/browser/ui/views/frame/browser_view.cc: APPCOMMAND_BROWSER_REFRESH is IDC_RELOAD in any state;
      // the reload focuses the tab, which activates a frame that does not believe it is active.
      if (command && !frame.believesActive) raise(frame);
      if (command) log(frame.hwnd, "RELOAD", WM_APPCOMMAND, 0);
      break;
    case Engine::Gecko:
      // widget/windows/nsWindow.cpp: WM_KEYDOWN goes to ProcessKeyDownMessage with no activation check,
      // WM_ACTIVATE only sets sJustGotActivate, a command not from a key is browser.js's "Reload".
      if (f5 || command) log(frame.hwnd, "RELOAD", f5 ? VK_F5 : WM_APPCOMMAND, 0);
      break;
    case Engine::Legacy:  // Internet Explorer, Opera's own engine: F5 once activated
      if (msg.message == WM_ACTIVATE) frame.believesActive = activation;
      if (f5 && frame.believesActive) log(frame.hwnd, "RELOAD", VK_F5, 0);
      break;
  }
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Made* frame = frameOf(hwnd);
  // A real activation or deactivation, sent by the window manager.
  if (message == WM_ACTIVATE && frame)
    frame->believesActive = LOWORD(wParam) != WA_INACTIVE && !HIWORD(wParam);
  if (message == WM_DESTROY && frame && --g_liveFrames == 0) PostQuitMessage(0);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool make(const std::wstring& cls, const char* role, DWORD exStyle, DWORD style, RECT at, HWND owner,
          int show) {
  HWND hwnd = CreateWindowExW(exStyle, cls.c_str(), L"", style, at.left, at.top, at.right, at.bottom, owner,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!hwnd) return false;
  ShowWindow(hwnd, show);
  const Engine engine = cls == L"Chrome_WidgetWin_1"   ? Engine::Chromium
                        : cls == L"MozillaWindowClass" ? Engine::Gecko
                                                       : Engine::Legacy;
  g_made.push_back({hwnd, cls, role, engine});
  return true;
}

bool makeClass(const std::wstring& cls, int count, int x, int y, bool structure) {
  const bool chrome = structure && cls == L"Chrome_WidgetWin_1",
             firefox = structure && cls == L"MozillaWindowClass";
  for (int i = 0; i < count; ++i, x += 24, y += 24, ++g_liveFrames) {
    if (!make(cls, "frame", 0, WS_OVERLAPPEDWINDOW, {x, y, 200, 150}, nullptr, SW_SHOWNOACTIVATE))
      return false;
    if ((chrome || firefox) &&
        !make(cls, "popup", 0, WS_POPUP, {x + 8, y + 120, 80, 20}, g_made.back().hwnd, SW_SHOWNOACTIVATE))
      return false;
  }
  if (chrome && !make(cls, "utility", 0, WS_POPUP, {0, 0, 10, 10}, nullptr, SW_HIDE)) return false;
  return !firefox || make(cls, "pip", WS_EX_TOPMOST, WS_POPUP | WS_THICKFRAME, {x + 300, y + 300, 160, 90},
                          nullptr, SW_SHOWNOACTIVATE);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0, i = 4;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc < 6) return 2;
  g_log = argv[1];
  std::wstring options;
  for (; i < argc && argv[i][0] == L'-'; ++i) options += argv[i];
  for (; i + 1 < argc; i += 2) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = windowProc;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = argv[i];
    const int offset = 24 * static_cast<int>(g_made.size());
    if (!RegisterClassW(&wc) ||
        !makeClass(argv[i], std::wcstol(argv[i + 1], nullptr, 10), std::wcstol(argv[2], nullptr, 10) + offset,
                   std::wcstol(argv[3], nullptr, 10) + offset,
                   options.find(L"--structure") != std::wstring::npos))
      return 3;
  }
  for (const Made& made : g_made)
    log(made.hwnd, (made.role + ":" + std::string(made.cls.begin(), made.cls.end())).c_str(), 0, 0);
  log(nullptr, "READY", 0, 0);
  while (options.find(L"--hang") != std::wstring::npos) Sleep(INFINITE);  // posts queue up, nothing is read

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    // Posted and typed messages come out of GetMessage. They are acted on here and not dispatched:
    // DefWindowProc would answer a posted WM_ACTIVATE by taking the keyboard focus.
    const char* what = nullptr;
    for (const auto& [message, name] : kLogged) what = msg.message == message ? name : what;
    if (what && msg.hwnd) {
      log(msg.hwnd, what, msg.wParam, msg.lParam);
      if (Made* frame = frameOf(msg.hwnd)) act(*frame, msg);
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
