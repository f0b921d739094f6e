// probe: answers questions about windows from the outside, for the end-to-end tests under Wine.
//
// A console program: one command per run, the answer on stdout (UTF-8), exit code 0 on success, 1 when the
// window or condition was not found, 2 on a usage error. Window handles are printed and read as 32-bit signed
// decimals (HandleToLong / LongToHandle), the form Vask F5 itself uses. A class or title given as "*" matches
// any. Processes are named by their image name (VaskF5.exe): Windows process ids under Wine are not the Linux
// ones.

#include <windows.h>
// After windows.h, whose types it uses.
#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr UINT kMarkMessage = WM_APP + 1;  // the fake browser logs it as MARK

const wchar_t* const kUsage =
    L"usage: probe <command> ...\n"
    L"  find <class|*> [title|*]          top-level windows front to back\n"
    L"  wait | gone <class|*> <title|*> <ms>  until a matching visible window exists (printed) / none "
    L"exists\n"
    L"  list                              every top-level window: hwnd pid visible class \"title\"\n"
    L"  foreground | pids <name.exe>      GetForegroundWindow / the processes of that image name\n"
    L"  dialogs | close-dialogs <name.exe>  #32770 dialogs of those processes / press OK on each, print how "
    L"many\n"
    L"  reg-read <subkey> <value>         HKCU value: '<TYPE> <data>' (text as UTF-8, other types in hex)\n"
    L"  send <hold ms> <+|-><vk>[e] ...   SendInput: + presses, - lets go, e marks an extended key (right "
    L"Alt)\n"
    L"  children <hwnd>                   child windows: hwnd class \"text\"\n"
    L"  alpha | exstyle | topmost | iconic | visible | rect | text | gettext | xid <hwnd>\n"
    L"                                    layered alpha or 'none', GWL_EXSTYLE, 1/0, x y w h client-w "
    L"client-h,\n"
    L"                                    stored text, WM_GETTEXT (an edit's contents), X11 window id\n"
    L"  pin | raise | activate | mark | close <hwnd>   topmost, to the top, SetForegroundWindow, post\n"
    L"                                    WM_APP+1 or WM_CLOSE\n"
    L"  post <hwnd> <msg> <wparam> <lparam>   PostMessage (numbers decimal or 0x hex)\n";

int say(const std::wstring& text, bool found = true) {
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                        nullptr, nullptr);
  std::string utf8(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), bytes, nullptr,
                      nullptr);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  return found ? 0 : 1;
}

int usage() {
  std::fputws(kUsage, stderr);
  return 2;
}

std::wstring handleText(HWND hwnd) { return std::to_wstring(HandleToLong(hwnd)); }

bool parseNumber(const wchar_t* text, long long& out) {
  wchar_t* end = nullptr;
  out = std::wcstoll(text, &end, 0);
  return end && end != text && *end == L'\0';
}

const wchar_t* orAny(const wchar_t* text) { return std::wcscmp(text, L"*") != 0 ? text : nullptr; }

std::vector<HWND> findAll(const wchar_t* cls, const wchar_t* title) {
  std::vector<HWND> found;
  // Far more than any test opens; the cap only guards against a list that changes while it is walked.
  for (HWND after = nullptr; found.size() < 4096;) {
    after = FindWindowExW(GetDesktopWindow(), after, cls, title);
    if (!after) break;
    found.push_back(after);
  }
  return found;
}

std::wstring textOf(HWND hwnd) {
  wchar_t text[4096] = {};
  InternalGetWindowText(hwnd, text, 4096);  // never sends a message
  return text;
}

std::wstring describe(HWND hwnd) {
  wchar_t cls[256] = {};
  GetClassNameW(hwnd, cls, 256);
  return std::wstring(cls) + L" \"" + textOf(hwnd) + L"\"";
}

DWORD windowPid(HWND hwnd) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  return pid;
}

std::vector<DWORD> pidsOfImage(const wchar_t* image) {
  std::vector<DWORD> pids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return pids;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (_wcsicmp(entry.szExeFile, image) == 0) pids.push_back(entry.th32ProcessID);
  }
  CloseHandle(snapshot);
  return pids;
}

int lines(const std::vector<std::wstring>& items) {
  std::wstring out;
  for (const auto& item : items) out += item + L"\n";
  return say(out, !items.empty());
}

int waitFor(const wchar_t* cls, const wchar_t* title, long long ms, bool untilGone) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(ms);
  for (;;) {
    const std::vector<HWND> found = findAll(orAny(cls), orAny(title));
    if (untilGone && found.empty()) return 0;
    for (HWND hwnd : found) {
      if (!untilGone && IsWindowVisible(hwnd)) return say(handleText(hwnd) + L"\n");
    }
    if (GetTickCount64() >= deadline) return 1;
    Sleep(20);
  }
}

int dialogs(const wchar_t* image, bool close) {
  std::vector<std::wstring> found;
  const std::vector<DWORD> pids = pidsOfImage(image);
  for (HWND hwnd : findAll(L"#32770", nullptr)) {
    for (DWORD pid : pids) {
      if (windowPid(hwnd) != pid) continue;
      // What pressing the OK button does; a message box with one OK button returns IDOK.
      if (close) PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      found.push_back(handleText(hwnd));
    }
  }
  if (close) return say(std::to_wstring(found.size()) + L"\n", !found.empty());
  return lines(found);
}

// Keys as the system's own keyboard input, one at a time: what a physical keyboard (and its driver's AltGr,
// left Ctrl then right Alt) delivers, which the X server cannot always play.
int send(int argc, wchar_t** argv) {
  long long hold = 0;
  if (argc < 4 || !parseNumber(argv[2], hold)) return usage();
  for (int i = 3; i < argc; ++i) {
    std::wstring step = argv[i];
    const bool extended = step.ends_with(L'e');
    if (extended) step.pop_back();
    long long vk = 0;
    if (step.size() < 2 || (step[0] != L'+' && step[0] != L'-') || !parseNumber(step.c_str() + 1, vk)) {
      return usage();
    }
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = static_cast<WORD>(vk);
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC));
    input.ki.dwFlags = (step[0] == L'-' ? KEYEVENTF_KEYUP : 0) | (extended ? KEYEVENTF_EXTENDEDKEY : 0);
    if (SendInput(1, &input, sizeof input) != 1) return 1;
    Sleep(static_cast<DWORD>(hold));
  }
  return 0;
}

int regRead(const wchar_t* subkey, const wchar_t* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, subkey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return 1;
  DWORD type = 0;
  DWORD size = 0;
  LONG status = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
  std::vector<BYTE> data(size + 2, 0);
  if (status == ERROR_SUCCESS) status = RegQueryValueExW(key, name, nullptr, &type, data.data(), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return 1;
  if (type == REG_SZ) {
    std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return say(L"REG_SZ " + text + L"\n");
  }
  std::wstring out = type == REG_DWORD      ? L"REG_DWORD "
                     : type == REG_BINARY   ? L"REG_BINARY "
                     : type == REG_MULTI_SZ ? L"REG_MULTI_SZ "
                                            : L"REG_OTHER ";
  for (DWORD i = 0; i < size; ++i) {
    wchar_t byte[4];
    std::swprintf(byte, 4, L"%02x", data[i]);
    out += byte;
  }
  return say(out + L"\n");
}

int aboutWindow(const std::wstring& command, HWND hwnd) {
  const LONG ex = GetWindowLongA(hwnd, GWL_EXSTYLE);
  auto yesNo = [](bool value) { return say(value ? L"1\n" : L"0\n"); };
  auto setPos = [hwnd](HWND after) {
    return SetWindowPos(hwnd, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE) ? 0 : 1;
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
    std::vector<std::wstring> out;
    for (HWND child : children) out.push_back(handleText(child) + L" " + describe(child));
    return lines(out);
  }
  if (command == L"alpha") {
    BYTE alpha = 0;
    DWORD flags = 0;
    COLORREF key = 0;
    const bool layered =
        (ex & WS_EX_LAYERED) && GetLayeredWindowAttributes(hwnd, &key, &alpha, &flags) && (flags & LWA_ALPHA);
    return say(layered ? std::to_wstring(alpha) + L"\n" : L"none\n");
  }
  if (command == L"exstyle") {
    wchar_t text[16];
    std::swprintf(text, 16, L"0x%lx\n", static_cast<unsigned long>(ex));
    return say(text);
  }
  if (command == L"topmost") return yesNo(ex & WS_EX_TOPMOST);
  if (command == L"iconic") return yesNo(IsIconic(hwnd));
  if (command == L"visible") return yesNo(IsWindowVisible(hwnd));
  if (command == L"rect") {
    RECT w{};
    RECT c{};
    if (!GetWindowRect(hwnd, &w) || !GetClientRect(hwnd, &c)) return 1;
    return say(std::to_wstring(w.left) + L" " + std::to_wstring(w.top) + L" " +
               std::to_wstring(w.right - w.left) + L" " + std::to_wstring(w.bottom - w.top) + L" " +
               std::to_wstring(c.right) + L" " + std::to_wstring(c.bottom) + L"\n");
  }
  if (command == L"text") return say(textOf(hwnd) + L"\n");
  if (command == L"gettext") {
    wchar_t buffer[8192] = {};
    DWORD_PTR copied = 0;
    // Gives up on a window that does not answer: that is what the tests want to find out.
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, 8192, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 2000,
                             &copied)) {
      return 1;
    }
    return say(std::wstring(buffer) + L"\n");
  }
  if (command == L"xid") {
    // winex11 keeps each top-level window's X window as this property, which lives in the wine server.
    const HANDLE xid = GetPropA(hwnd, "__wine_x11_whole_window");
    return xid ? say(std::to_wstring(reinterpret_cast<ULONG_PTR>(xid)) + L"\n") : 1;
  }
  if (command == L"pin") return setPos(HWND_TOPMOST);
  if (command == L"raise") return setPos(HWND_TOP);
  if (command == L"activate") return SetForegroundWindow(hwnd) ? 0 : 1;
  if (command == L"mark") return PostMessageW(hwnd, kMarkMessage, 0, 0) ? 0 : 1;
  if (command == L"close") return PostMessageW(hwnd, WM_CLOSE, 0, 0) ? 0 : 1;
  return usage();
}

int run(int argc, wchar_t** argv) {
  if (argc < 2) return usage();
  const std::wstring command = argv[1];
  if (command == L"list") {
    std::vector<std::wstring> out;
    for (HWND hwnd : findAll(nullptr, nullptr)) {
      out.push_back(handleText(hwnd) + L" " + std::to_wstring(windowPid(hwnd)) +
                    (IsWindowVisible(hwnd) ? L" 1 " : L" 0 ") + describe(hwnd));
    }
    lines(out);
    return 0;
  }
  if (command == L"foreground") return say(handleText(GetForegroundWindow()) + L"\n");
  if (command == L"send") return send(argc, argv);
  if (argc < 3) return usage();
  if (command == L"find") {
    std::vector<std::wstring> out;
    for (HWND hwnd : findAll(orAny(argv[2]), argc > 3 ? orAny(argv[3]) : nullptr))
      out.push_back(handleText(hwnd));
    return lines(out);
  }
  if (command == L"pids") {
    std::vector<std::wstring> out;
    for (DWORD pid : pidsOfImage(argv[2])) out.push_back(std::to_wstring(pid));
    return lines(out);
  }
  if (command == L"dialogs" || command == L"close-dialogs")
    return dialogs(argv[2], command == L"close-dialogs");
  long long number = 0;
  if ((command == L"wait" || command == L"gone") && argc == 5 && parseNumber(argv[4], number)) {
    return waitFor(argv[2], argv[3], number, command == L"gone");
  }
  if (command == L"reg-read" && argc == 4) return regRead(argv[2], argv[3]);
  if (!parseNumber(argv[2], number)) return usage();
  HWND hwnd = static_cast<HWND>(LongToHandle(static_cast<long>(number)));
  if (command == L"post") {
    long long message = 0, wParam = 0, lParam = 0;
    if (argc != 6 || !parseNumber(argv[3], message) || !parseNumber(argv[4], wParam) ||
        !parseNumber(argv[5], lParam)) {
      return usage();
    }
    return PostMessageW(hwnd, static_cast<UINT>(message), static_cast<WPARAM>(wParam),
                        static_cast<LPARAM>(lParam))
               ? 0
               : 1;
  }
  if (!IsWindow(hwnd)) {
    std::fwprintf(stderr, L"probe: no such window: %ls\n", argv[2]);
    return 1;
  }
  return aboutWindow(command, hwnd);
}

}  // namespace

int wmain(int argc, wchar_t** argv) { return run(argc, argv); }
