// probe: answers questions about windows from the outside, for the end-to-end tests under Wine.
//
//   find <class|*> [title|*]           top-level windows front to back: hwnd visible class "title"
//   children <hwnd>                    child windows, the same way
//   foreground                         GetForegroundWindow
//   reg-read <subkey> <value>          HKCU value: "<type number> <data in hex>"
//   key-security <subkey> <SDDL>       replaces the DACL of a key under HKCU
//   poll-s <log>                       polls S every millisecond until stopped
//   send <hold ms> <+|-><vk>[e] ...    SendInput: + presses, - lets go, e marks an extended key
//   alpha | exstyle | topmost | iconic | visible | rect | gettext | xid <hwnd>
//   pin | raise | activate <hwnd>      topmost, to the top, SetForegroundWindow
//   post <hwnd> <msg> <wparam> <lparam>
//
// Answers go to stdout as UTF-8 with exit code 0, also when nothing was found; a failure is told on stderr
// with exit code 1. Handles are 32-bit signed decimals (HandleToLong), the form Vask F5 itself uses.

#include <windows.h>
// After windows.h, whose types it uses.
#include <sddl.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

int say(const std::wstring& text) {
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                        nullptr, nullptr);
  std::string utf8(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), bytes, nullptr,
                      nullptr);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  return 0;
}

int fail(const wchar_t* what) {
  std::fwprintf(stderr, L"probe: %ls\n", what);
  return 1;
}

int succeeded(BOOL ok) { return ok ? 0 : fail(L"the call failed"); }

long long number(const wchar_t* text) { return std::wcstoll(text, nullptr, 0); }

const wchar_t* orAny(const wchar_t* text) { return std::wcscmp(text, L"*") != 0 ? text : nullptr; }

std::vector<HWND> findAll(const wchar_t* cls, const wchar_t* title) {
  std::vector<HWND> found;
  // Far more than any test opens; the cap only guards against a list that changes while it is walked.
  for (HWND after = nullptr;
       found.size() < 4096 && (after = FindWindowExW(GetDesktopWindow(), after, cls, title));)
    found.push_back(after);
  return found;
}

int describe(const std::vector<HWND>& windows) {
  std::wstring out;
  for (HWND hwnd : windows) {
    wchar_t cls[256] = {}, text[4096] = {};
    GetClassNameW(hwnd, cls, 256);
    InternalGetWindowText(hwnd, text, 4096);  // never sends a message
    out += std::to_wstring(HandleToLong(hwnd)) + (IsWindowVisible(hwnd) ? L" 1 " : L" 0 ") + cls + L" \"" +
           text + L"\"\n";
  }
  return say(out);
}

// Keys as the system's own keyboard input, one at a time: what a physical keyboard (and its driver's AltGr,
// left Ctrl then right Alt) delivers, which the X server cannot always play.
int send(int argc, wchar_t** argv) {
  for (int i = 3; i < argc; ++i) {
    std::wstring step = argv[i];
    const bool extended = step.ends_with(L'e');  // after the hex digits, so taken off before they are read
    if (extended) step.pop_back();
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = static_cast<WORD>(number(step.c_str() + 1));
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(input.ki.wVk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = (step[0] == L'-' ? KEYEVENTF_KEYUP : 0) | (extended ? KEYEVENTF_EXTENDEDKEY : 0);
    if (SendInput(1, &input, sizeof input) != 1) return fail(L"SendInput failed");
    Sleep(static_cast<DWORD>(number(argv[2])));
  }
  return 0;
}

int regRead(const wchar_t* subkey, const wchar_t* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, subkey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return 0;  // absent
  DWORD type = 0, size = 0;
  LONG status = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
  std::vector<BYTE> data(size + 2, 0);
  if (status == ERROR_SUCCESS) status = RegQueryValueExW(key, name, nullptr, &type, data.data(), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return 0;
  std::wstring out = std::to_wstring(type) + L" ";  // every type in hex, text too: exactly as stored
  for (DWORD i = 0; i < size; ++i) {
    wchar_t byte[4];
    std::swprintf(byte, 4, L"%02x", data[i]);
    out += byte;
  }
  return say(out + L"\n");
}

// Another program on the desktop that polls S every millisecond, as games, hotkey and macro tools and screen
// recorders do, and so takes S's shared "pressed since the last query" bit: logs "took" each time it did.
int pollS(const wchar_t* path) {
  FILE* log = _wfopen(path, L"ab");  // binary: no carriage returns
  if (!log) return fail(L"cannot open the log");
  GetAsyncKeyState('S');
  std::fputs("ready\n", log);
  for (;; Sleep(1)) {
    std::fflush(log);
    if (GetAsyncKeyState('S') & 1) std::fputs("took\n", log);
  }
}

// Wine checks a key's security against the caller, but none of the tools that come with it sets one (reg and
// regedit have no option for it, regini is a stub): so the tests make a key that refuses writes or reads.
int setKeySecurity(const wchar_t* subkey, const wchar_t* sddl) {
  HKEY key = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, subkey, 0, WRITE_DAC, &key) != ERROR_SUCCESS)
    return fail(L"no such key");
  const bool done =
      ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, nullptr) &&
      RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd) == ERROR_SUCCESS;
  LocalFree(sd);
  RegCloseKey(key);
  return succeeded(done);
}

int aboutWindow(const std::wstring& command, HWND hwnd, int argc, wchar_t** argv) {
  const LONG ex = GetWindowLongA(hwnd, GWL_EXSTYLE);
  auto yesNo = [](bool value) { return say(value ? L"1\n" : L"0\n"); };
  auto setPos = [hwnd](HWND after) {
    return succeeded(SetWindowPos(hwnd, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE));
  };
  if (command == L"children") {
    std::vector<HWND> children;
    EnumChildWindows(
        hwnd,
        [](HWND child, LPARAM list) -> BOOL {
          reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&children));
    return describe(children);
  }
  if (command == L"alpha") {
    BYTE alpha = 0;
    DWORD flags = 0;
    const bool layered = (ex & WS_EX_LAYERED) && GetLayeredWindowAttributes(hwnd, nullptr, &alpha, &flags) &&
                         (flags & LWA_ALPHA);
    return say(layered ? std::to_wstring(alpha) + L"\n" : L"none\n");
  }
  if (command == L"exstyle") return say(std::to_wstring(static_cast<unsigned long>(ex)) + L"\n");
  if (command == L"topmost") return yesNo(ex & WS_EX_TOPMOST);
  if (command == L"iconic") return yesNo(IsIconic(hwnd));
  if (command == L"visible") return yesNo(IsWindowVisible(hwnd));
  if (command == L"rect") {
    RECT w{}, c{};
    if (!GetWindowRect(hwnd, &w) || !GetClientRect(hwnd, &c)) return fail(L"no rectangle");
    return say(std::to_wstring(w.left) + L" " + std::to_wstring(w.top) + L" " +
               std::to_wstring(w.right - w.left) + L" " + std::to_wstring(w.bottom - w.top) + L" " +
               std::to_wstring(c.right) + L" " + std::to_wstring(c.bottom) + L"\n");
  }
  if (command == L"gettext") {
    wchar_t buffer[8192] = {};
    DWORD_PTR copied = 0;
    // Gives up on a window that does not answer: that is what the tests want to find out.
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, 8192, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 2000,
                             &copied)) {
      return fail(L"the window does not answer");
    }
    return say(std::wstring(buffer) + L"\n");
  }
  if (command == L"xid") {
    // winex11 keeps each top-level window's X window as this property, which lives in the wine server; none
    // yet prints nothing.
    const HANDLE xid = GetPropA(hwnd, "__wine_x11_whole_window");
    return say(xid ? std::to_wstring(reinterpret_cast<ULONG_PTR>(xid)) + L"\n" : L"");
  }
  if (command == L"pin") return setPos(HWND_TOPMOST);
  if (command == L"raise") return setPos(HWND_TOP);
  if (command == L"activate") {
    SetForegroundWindow(hwnd);  // the caller waits for the outcome
    return 0;
  }
  if (command == L"post" && argc == 6) {
    return succeeded(PostMessageW(hwnd, static_cast<UINT>(number(argv[3])),
                                  static_cast<WPARAM>(number(argv[4])),
                                  static_cast<LPARAM>(number(argv[5]))));
  }
  return fail(L"unknown command");
}

int run(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"foreground") return say(std::to_wstring(HandleToLong(GetForegroundWindow())) + L"\n");
  if (argc < 3) return fail(L"missing arguments");
  if (command == L"find") return describe(findAll(orAny(argv[2]), argc > 3 ? orAny(argv[3]) : nullptr));
  if (command == L"send") return send(argc, argv);
  if (command == L"reg-read" && argc == 4) return regRead(argv[2], argv[3]);
  if (command == L"key-security" && argc == 4) return setKeySecurity(argv[2], argv[3]);
  if (command == L"poll-s") return pollS(argv[2]);
  HWND hwnd = static_cast<HWND>(LongToHandle(static_cast<long>(number(argv[2]))));
  // A message can be posted to a window that is going away; every other question needs the window.
  if (command != L"post" && !IsWindow(hwnd)) return fail(L"no such window");
  return aboutWindow(command, hwnd, argc, argv);
}

}  // namespace

int wmain(int argc, wchar_t** argv) { return run(argc, argv); }
