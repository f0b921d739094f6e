// probe: answers questions about windows from outside, and acts as another program would, for the Wine tests.
//
//   windows <hwnd|0>                   its child windows (0: the top-level ones), front to back:
//                                      hwnd visible class "title"
//   window <hwnd>                      left top width height iconic exstyle alpha (-1: none) X-window
//   foreground | key-security <subkey> <SDDL>
//   pad                                an editor: an edit control alone in a window at 600,400, its text what
//                                      was typed
//   poll-s <log>                       polls S every millisecond, as games and macro tools do, logging "took"
//                                      each time it took S's shared pressed-since bit
//   send <hold ms> <+|-><vk>[e]...     SendInput: + presses, - lets go, e marks an extended key
//   gettext | activate <hwnd>
//   place <hwnd> <x> <y> <w> <h>       moves a window to the top of its band without activating it
//   post <hwnd> <msg> <wparam> <lparam>
//
// Answers go to stdout as UTF-8 with exit code 0; a failure exits with 1. Handles are HandleToLong's
// decimals.
#include <windows.h>
// After windows.h, whose types it uses.
#include <sddl.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

long long number(const wchar_t* text) { return std::wcstoll(text, nullptr, 0); }

bool say(const std::wstring& text) {
  std::string utf8(text.size() * 3, '\0');
  utf8.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(),
                                  static_cast<int>(utf8.size()), nullptr, nullptr));
  return std::printf("%s\n", utf8.c_str()) >= 0;
}

BOOL CALLBACK list(HWND hwnd, LPARAM listing) {
  wchar_t cls[256] = {}, title[1024] = {};
  GetClassNameW(hwnd, cls, 256);
  InternalGetWindowText(hwnd, title, 1024);  // never sends a message
  *reinterpret_cast<std::wstring*>(listing) += std::to_wstring(HandleToLong(hwnd)) +
                                               (IsWindowVisible(hwnd) ? L" 1 " : L" 0 ") + cls + L" \"" +
                                               title + L"\"\n";
  return TRUE;
}

// Keys as the system's own keyboard input: what a driver delivers (AltGr as left Ctrl then right Alt), which
// the X server cannot always play.
bool send(int argc, wchar_t** argv) {
  for (int i = 3; i < argc; ++i) {
    std::wstring step = argv[i];
    const bool extended = step.ends_with(L'e');  // taken off before the hex digits are read
    if (extended) step.pop_back();
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = static_cast<WORD>(std::wcstol(step.c_str() + 1, nullptr, 16));
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(input.ki.wVk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = (step[0] == L'-' ? KEYEVENTF_KEYUP : 0) | (extended ? KEYEVENTF_EXTENDEDKEY : 0);
    if (SendInput(1, &input, sizeof input) != 1) return false;
    Sleep(static_cast<DWORD>(number(argv[2])));
  }
  return true;
}

// No tool that comes with Wine sets a key's security, so the tests make a key that refuses reads or writes
// here.
bool setKeySecurity(const wchar_t* subkey, const wchar_t* sddl) {
  HKEY key = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, subkey, 0, WRITE_DAC, &key) != ERROR_SUCCESS) return false;
  const bool done =
      ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, nullptr) &&
      RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd) == ERROR_SUCCESS;
  LocalFree(sd);
  RegCloseKey(key);
  return done;
}

bool pollS(const wchar_t* path) {
  FILE* log = _wfopen(path, L"ab");
  for (GetAsyncKeyState('S'), std::fputs("ready\n", log);; Sleep(1), std::fflush(log))
    if (GetAsyncKeyState('S') & 1) std::fputs("took\n", log);
}

bool aboutWindow(const std::wstring& command, HWND hwnd, int argc, wchar_t** argv) {
  if (RECT w{}; command == L"window" && GetWindowRect(hwnd, &w)) {
    const LONG ex = GetWindowLongW(hwnd, GWL_EXSTYLE);
    BYTE alpha = 0;
    DWORD flags = 0;
    const bool faded = (ex & WS_EX_LAYERED) && GetLayeredWindowAttributes(hwnd, nullptr, &alpha, &flags) &&
                       (flags & LWA_ALPHA);
    // winex11 keeps each top-level window's X window as this property.
    const auto xid = reinterpret_cast<ULONG_PTR>(GetPropA(hwnd, "__wine_x11_whole_window"));
    return std::printf("%ld %ld %ld %ld %d %lu %d %llu\n", w.left, w.top, w.right - w.left, w.bottom - w.top,
                       IsIconic(hwnd) ? 1 : 0, static_cast<unsigned long>(ex), faded ? alpha : -1,
                       static_cast<unsigned long long>(xid)) > 0;
  }
  // Gives up on a window that does not answer: that is what the tests want to find out.
  if (wchar_t text[4096] = {}; command == L"gettext")
    return SendMessageTimeoutW(hwnd, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                               nullptr) &&
           say(text);
  if (command == L"activate") return SetForegroundWindow(hwnd);
  if (command == L"place" && argc == 7)
    return SetWindowPos(hwnd, HWND_TOP, number(argv[3]), number(argv[4]), number(argv[5]), number(argv[6]),
                        SWP_NOACTIVATE);
  return command == L"post" && argc == 6 &&
         PostMessageW(hwnd, number(argv[3]), number(argv[4]), number(argv[5]));
}

bool run(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"foreground") return say(std::to_wstring(HandleToLong(GetForegroundWindow())));
  if (command == L"pad") {  // an editor to type into: an edit control alone, whose Ctrl+S saves nothing
    HWND pad = CreateWindowExW(0, L"EDIT", L"", WS_OVERLAPPEDWINDOW | ES_MULTILINE | WS_VISIBLE, 600, 400,
                               400, 300, nullptr, nullptr, nullptr, nullptr);
    for (MSG msg; IsWindow(pad) && GetMessageW(&msg, nullptr, 0, 0) > 0; DispatchMessageW(&msg))
      TranslateMessage(&msg);
    return true;
  }
  if (argc < 3) return false;
  HWND hwnd = static_cast<HWND>(LongToHandle(static_cast<LONG>(number(argv[2]))));
  if (std::wstring listing; command == L"windows") {
    hwnd ? EnumChildWindows(hwnd, list, reinterpret_cast<LPARAM>(&listing))
         : EnumWindows(list, reinterpret_cast<LPARAM>(&listing));
    return say(listing);
  }
  if (command == L"send") return send(argc, argv);
  if (command == L"key-security" && argc == 4) return setKeySecurity(argv[2], argv[3]);
  if (command == L"poll-s") return pollS(argv[2]);
  // A message can be posted to a window that is going away; every other question needs the window.
  return (command == L"post" || IsWindow(hwnd)) && aboutWindow(command, hwnd, argc, argv);
}

}  // namespace

int wmain(int argc, wchar_t** argv) { return run(argc, argv) ? 0 : 1; }
