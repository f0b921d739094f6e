// probe: answers questions about windows from outside, and acts as another program would, for the Wine tests.
//
//   find <class|*>                      top-level windows front to back: hwnd visible class "title"
//   children <hwnd>                     child windows, the same way
//   foreground | reg-read <subkey> <value> ("<type> <data in hex>") | key-security <subkey> <SDDL>
//   poll-s <log>                        polls S every millisecond, as games and macro tools do, logging
//   "took"
//                                       each time it took S's shared pressed-since bit
//   send <hold ms> <+|-><vk>[e]...      SendInput: + presses, - lets go, e marks an extended key
//   alpha | exstyle | iconic | rect | gettext | xid | pin | raise | activate <hwnd>
//   place <hwnd> <x> <y> <w> <h>        moves a window, on top of its band, without activating it
//   post <hwnd> <msg> <wparam> <lparam>
//
// Answers go to stdout with exit code 0; a failure exits with 1. Handles are HandleToLong's decimals.
#include <windows.h>
// After windows.h, whose types it uses.
#include <sddl.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

long long number(const wchar_t* text) { return std::wcstoll(text, nullptr, 0); }

int say(const wchar_t* text) {  // as UTF-8
  char utf8[8192] = {};
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8 - 1, nullptr, nullptr);
  return std::printf("%s\n", utf8) < 0;
}

int describe(const std::vector<HWND>& windows) {
  for (HWND hwnd : windows) {
    wchar_t cls[256] = {}, text[1024] = {}, line[1400];
    GetClassNameW(hwnd, cls, 256);
    InternalGetWindowText(hwnd, text, 1024);  // never sends a message
    std::swprintf(line, 1400, L"%ld %d %ls \"%ls\"", HandleToLong(hwnd), IsWindowVisible(hwnd) ? 1 : 0, cls, text);
    say(line);
  }
  return 0;
}

BOOL CALLBACK addChild(HWND child, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
  return TRUE;
}

// Keys as the system's own keyboard input: what a driver delivers (AltGr as left Ctrl then right Alt), which
// the X server cannot always play.
int send(int argc, wchar_t** argv) {
  for (int i = 3; i < argc; ++i) {
    std::wstring step = argv[i];
    const bool extended = step.ends_with(L'e');
    if (extended) step.pop_back();
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = static_cast<WORD>(number(step.c_str() + 1));
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(input.ki.wVk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = (step[0] == L'-' ? KEYEVENTF_KEYUP : 0) | (extended ? KEYEVENTF_EXTENDEDKEY : 0);
    if (SendInput(1, &input, sizeof input) != 1) return 1;
    Sleep(static_cast<DWORD>(number(argv[2])));
  }
  return 0;
}

int regRead(const wchar_t* subkey, const wchar_t* name) {
  DWORD type = 0, size = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, subkey, name, RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, &size))
    return 0;
  std::vector<BYTE> data(size + 2, 0);
  size = static_cast<DWORD>(data.size());
  if (RegGetValueW(HKEY_CURRENT_USER, subkey, name, RRF_RT_ANY | RRF_NOEXPAND, &type, data.data(), &size))
    return 0;
  std::printf("%lu ", type);  // every type in hex, text too: exactly as stored
  for (DWORD i = 0; i < size; ++i) std::printf("%02x", data[i]);
  return std::printf("\n") < 0;
}

// No tool that comes with Wine sets a key's security, so the tests make a key that refuses reads or writes
// here.
int setKeySecurity(const wchar_t* subkey, const wchar_t* sddl) {
  HKEY key = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, subkey, 0, WRITE_DAC, &key) != ERROR_SUCCESS) return 1;
  const bool done =
      ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, nullptr) &&
      RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd) == ERROR_SUCCESS;
  LocalFree(sd);
  RegCloseKey(key);
  return done ? 0 : 1;
}

int pollS(const wchar_t* path) {
  FILE* log = _wfopen(path, L"ab");
  if (!log) return 1;
  GetAsyncKeyState('S');
  for (std::fputs("ready\n", log);; Sleep(1)) {
    std::fflush(log);
    if (GetAsyncKeyState('S') & 1) std::fputs("took\n", log);
  }
}

int aboutWindow(const std::wstring& command, HWND hwnd, int argc, wchar_t** argv) {
  const LONG ex = GetWindowLongW(hwnd, GWL_EXSTYLE);
  const auto setPos = [hwnd](HWND after) {
    return !SetWindowPos(hwnd, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  };
  RECT w{}, c{};
  BYTE alpha = 0;
  DWORD flags = 0;
  wchar_t text[4096] = {};
  DWORD_PTR copied = 0;
  if (command == L"children") {
    std::vector<HWND> children;
    EnumChildWindows(hwnd, addChild, reinterpret_cast<LPARAM>(&children));
    return describe(children);
  }
  if (command == L"alpha") {
    const bool set = (ex & WS_EX_LAYERED) && GetLayeredWindowAttributes(hwnd, nullptr, &alpha, &flags) &&
                     (flags & LWA_ALPHA);
    return set ? std::printf("%d\n", alpha) < 0 : std::printf("none\n") < 0;
  }
  if (command == L"exstyle") return std::printf("%lu\n", static_cast<unsigned long>(ex)) < 0;
  if (command == L"iconic") return std::printf("%d\n", IsIconic(hwnd) ? 1 : 0) < 0;
  if (command == L"rect" && GetWindowRect(hwnd, &w) && GetClientRect(hwnd, &c))
    return std::printf("%ld %ld %ld %ld %ld %ld\n", w.left, w.top, w.right - w.left, w.bottom - w.top,
                       c.right, c.bottom) < 0;
  // Gives up on a window that does not answer: that is what the tests want to find out.
  if (command == L"gettext" && SendMessageTimeoutW(hwnd, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text),
                                                   SMTO_ABORTIFHUNG, 2000, &copied))
    return say(text);
  // winex11 keeps each top-level window's X window as this property.
  if (command == L"xid")
    return std::printf("%llu\n",
                       reinterpret_cast<unsigned long long>(GetPropA(hwnd, "__wine_x11_whole_window"))) < 0;
  if (command == L"pin") return setPos(HWND_TOPMOST);
  if (command == L"raise") return setPos(HWND_TOP);
  if (command == L"activate") return !SetForegroundWindow(hwnd);
  if (command == L"place" && argc == 7)
    return !SetWindowPos(hwnd, HWND_TOP, number(argv[3]), number(argv[4]), number(argv[5]), number(argv[6]),
                         SWP_NOACTIVATE);
  if (command == L"post" && argc == 6)
    return !PostMessageW(hwnd, static_cast<UINT>(number(argv[3])), number(argv[4]), number(argv[5]));
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"foreground") return std::printf("%ld\n", HandleToLong(GetForegroundWindow())) < 0;
  if (argc < 3) return 1;
  if (command == L"find") {
    std::vector<HWND> found;
    const wchar_t* cls = std::wcscmp(argv[2], L"*") ? argv[2] : nullptr;
    for (HWND after = nullptr; found.size() < 4096 && (after = FindWindowExW(nullptr, after, cls, nullptr));)
      found.push_back(after);
    return describe(found);
  }
  if (command == L"send") return send(argc, argv);
  if (command == L"reg-read" && argc == 4) return regRead(argv[2], argv[3]);
  if (command == L"key-security" && argc == 4) return setKeySecurity(argv[2], argv[3]);
  if (command == L"poll-s") return pollS(argv[2]);
  HWND hwnd = static_cast<HWND>(LongToHandle(static_cast<LONG>(number(argv[2]))));
  // A message can be posted to a window that is going away; every other question needs the window.
  return command != L"post" && !IsWindow(hwnd) ? 1 : aboutWindow(command, hwnd, argc, argv);
}
