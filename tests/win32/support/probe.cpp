// probe: answers questions about windows from the outside, for the end-to-end tests under Wine.
//
// A console program: one command per run, results on stdout (UTF-8), exit code 0 on success, 1 when the
// window or condition was not found, 2 on a usage error. Window handles are printed and read as 32-bit signed
// decimals (HandleToLong / LongToHandle), the same form Vask F5 itself uses. A class or title given as "*"
// matches any. Processes are named by their image name (VaskF5.exe): Windows process ids under Wine are not
// the Linux ones.
//
// Run without arguments for the list of commands.

#include <windows.h>
// After windows.h, whose types it uses.
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr UINT kMarkMessage = WM_APP + 1;
constexpr DWORD kPollMs = 20;

const wchar_t* const kUsage =
    L"usage: probe <command> ...\n"
    L"  find <class|*> [title|*]          top-level windows front to back, one hwnd per line\n"
    L"  wait <class|*> <title|*> <ms>     until a matching visible top-level window exists; prints it\n"
    L"  gone <class|*> <title|*> <ms>     until no matching top-level window exists\n"
    L"  list                              every top-level window: hwnd pid visible class \"title\"\n"
    L"  children <hwnd>                   child windows: hwnd class \"text\"\n"
    L"  alpha <hwnd>                      layered alpha, or 'none'\n"
    L"  exstyle <hwnd>                    GWL_EXSTYLE in hex\n"
    L"  topmost | iconic | visible <hwnd> 1 or 0\n"
    L"  rect <hwnd>                       x y w h client-w client-h\n"
    L"  pin | raise <hwnd>                SetWindowPos TOPMOST / TOP, no move, size or activation\n"
    L"  pids <name.exe>                   Windows process ids of the processes with that image name\n"
    L"  text <hwnd>                       window text (never sends a message)\n"
    L"  gettext <hwnd>                    WM_GETTEXT with a timeout (reads an edit control's contents)\n"
    L"  xid <hwnd>                        X11 window id of a top-level window\n"
    L"  foreground                        GetForegroundWindow\n"
    L"  activate <hwnd>                   SetForegroundWindow (Wine lets any process do it)\n"
    L"  post <hwnd> <msg> <wparam> <lparam>   PostMessage (numbers decimal or 0x hex)\n"
    L"  mark <hwnd>                       posts WM_APP+1, which the fake browser logs as MARK\n"
    L"  close <hwnd>                      posts WM_CLOSE\n"
    L"  dialogs <name.exe>                #32770 dialogs of the processes of that name, front to back\n"
    L"  close-dialogs <name.exe>          posts IDOK to each of those dialogs; prints how many\n"
    L"  reg-read <subkey> <value>         HKCU value: '<TYPE> <data>' (text as UTF-8, other types in hex)\n"
    L"  send <hold ms> <+|-><vk>[e] ...   SendInput: + presses, - lets go, e marks an extended key (right "
    L"Alt);\n"
    L"                                    waits the hold after each\n";

void writeOut(const std::wstring& text) {
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                        nullptr, nullptr);
  std::string utf8(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), bytes, nullptr,
                      nullptr);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

void writeErr(const std::wstring& text) {
  const std::string narrow(text.begin(), text.end());
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), narrow.data(), static_cast<DWORD>(narrow.size()), &written,
            nullptr);
}

std::wstring number(long long value) { return std::to_wstring(value); }

std::wstring hex(unsigned long long value) {
  wchar_t buffer[32];
  std::swprintf(buffer, 32, L"0x%llx", value);
  return buffer;
}

std::wstring handleText(HWND hwnd) { return number(HandleToLong(hwnd)); }

bool parseNumber(const wchar_t* text, long long& out) {
  wchar_t* end = nullptr;
  out = std::wcstoll(text, &end, 0);
  return end && end != text && *end == L'\0';
}

bool parseWindow(const wchar_t* text, HWND& out) {
  long long value = 0;
  if (!parseNumber(text, value)) return false;
  out = static_cast<HWND>(LongToHandle(static_cast<long>(value)));
  return true;
}

const wchar_t* orNull(const wchar_t* text) { return (text && std::wcscmp(text, L"*") != 0) ? text : nullptr; }

std::vector<HWND> findAll(const wchar_t* cls, const wchar_t* title) {
  std::vector<HWND> found;
  HWND after = nullptr;
  // A handful of hundreds is far more than any test opens; the cap only guards against a changing list.
  for (int i = 0; i < 4096; ++i) {
    after = FindWindowExW(GetDesktopWindow(), after, cls, title);
    if (!after) break;
    found.push_back(after);
  }
  return found;
}

std::wstring className(HWND hwnd) {
  wchar_t buffer[256] = {};
  GetClassNameW(hwnd, buffer, 256);
  return buffer;
}

std::wstring storedText(HWND hwnd) {
  wchar_t buffer[4096] = {};
  InternalGetWindowText(hwnd, buffer, 4096);
  return buffer;
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

std::vector<HWND> dialogsOf(const std::vector<DWORD>& pids) {
  std::vector<HWND> dialogs;
  for (HWND hwnd : findAll(L"#32770", nullptr)) {
    for (DWORD pid : pids) {
      if (windowPid(hwnd) == pid) dialogs.push_back(hwnd);
    }
  }
  return dialogs;
}

int usage() {
  writeErr(kUsage);
  return 2;
}

int noWindow(const wchar_t* text) {
  writeErr(std::wstring(L"probe: no such window: ") + text + L"\n");
  return 1;
}

int yesNo(bool value) {
  writeOut(value ? L"1\n" : L"0\n");
  return 0;
}

int commandFind(int argc, wchar_t** argv) {
  if (argc < 3) return usage();
  const std::vector<HWND> found = findAll(orNull(argv[2]), argc > 3 ? orNull(argv[3]) : nullptr);
  std::wstring out;
  for (HWND hwnd : found) out += handleText(hwnd) + L"\n";
  writeOut(out);
  return found.empty() ? 1 : 0;
}

int commandWait(int argc, wchar_t** argv, bool untilGone) {
  long long timeout = 0;
  if (argc < 5 || !parseNumber(argv[4], timeout)) return usage();
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout);
  for (;;) {
    const std::vector<HWND> found = findAll(orNull(argv[2]), orNull(argv[3]));
    if (untilGone) {
      if (found.empty()) return 0;
    } else {
      for (HWND hwnd : found) {
        if (IsWindowVisible(hwnd)) {
          writeOut(handleText(hwnd) + L"\n");
          return 0;
        }
      }
    }
    if (GetTickCount64() >= deadline) return 1;
    Sleep(kPollMs);
  }
}

int commandList() {
  std::wstring out;
  for (HWND hwnd : findAll(nullptr, nullptr)) {
    out += handleText(hwnd) + L" " + number(windowPid(hwnd)) + L" " +
           (IsWindowVisible(hwnd) ? L"1 " : L"0 ") + className(hwnd) + L" \"" + storedText(hwnd) + L"\"\n";
  }
  writeOut(out);
  return 0;
}

int commandChildren(HWND parent) {
  std::vector<HWND> children;
  EnumChildWindows(
      parent,
      [](HWND hwnd, LPARAM list) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&children));
  std::wstring out;
  for (HWND hwnd : children)
    out += handleText(hwnd) + L" " + className(hwnd) + L" \"" + storedText(hwnd) + L"\"\n";
  writeOut(out);
  return children.empty() ? 1 : 0;
}

int commandAlpha(HWND hwnd) {
  BYTE alpha = 0;
  DWORD flags = 0;
  COLORREF key = 0;
  const LONG ex = GetWindowLongA(hwnd, GWL_EXSTYLE);
  if ((ex & WS_EX_LAYERED) && GetLayeredWindowAttributes(hwnd, &key, &alpha, &flags) && (flags & LWA_ALPHA)) {
    writeOut(number(alpha) + L"\n");
  } else {
    writeOut(L"none\n");
  }
  return 0;
}

int commandRect(HWND hwnd) {
  RECT window{};
  RECT client{};
  if (!GetWindowRect(hwnd, &window) || !GetClientRect(hwnd, &client)) return 1;
  writeOut(number(window.left) + L" " + number(window.top) + L" " + number(window.right - window.left) +
           L" " + number(window.bottom - window.top) + L" " + number(client.right) + L" " +
           number(client.bottom) + L"\n");
  return 0;
}

int commandSetPos(HWND hwnd, HWND insertAfter) {
  const BOOL ok = SetWindowPos(hwnd, insertAfter, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return ok ? 0 : 1;
}

int commandGetText(HWND hwnd) {
  wchar_t buffer[8192] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, 8192, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 2000,
                           &copied)) {
    return 1;
  }
  writeOut(std::wstring(buffer) + L"\n");
  return 0;
}

int commandXid(HWND hwnd) {
  // winex11 keeps the X window of every top-level window as this property; properties live in the wine
  // server, so another process can read them.
  const HANDLE xid = GetPropA(hwnd, "__wine_x11_whole_window");
  if (!xid) return 1;
  writeOut(number(static_cast<long long>(reinterpret_cast<ULONG_PTR>(xid))) + L"\n");
  return 0;
}

int commandPost(int argc, wchar_t** argv) {
  HWND hwnd = nullptr;
  long long message = 0;
  long long wParam = 0;
  long long lParam = 0;
  if (argc < 6 || !parseWindow(argv[2], hwnd) || !parseNumber(argv[3], message) ||
      !parseNumber(argv[4], wParam) || !parseNumber(argv[5], lParam)) {
    return usage();
  }
  return PostMessageW(hwnd, static_cast<UINT>(message), static_cast<WPARAM>(wParam),
                      static_cast<LPARAM>(lParam))
             ? 0
             : 1;
}

int commandDialogs(const std::vector<DWORD>& pids, bool close) {
  const std::vector<HWND> dialogs = dialogsOf(pids);
  std::wstring out;
  for (HWND dialog : dialogs) {
    if (close) {
      // What pressing the OK button does; a message box with one OK button returns IDOK.
      PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    } else {
      out += handleText(dialog) + L"\n";
    }
  }
  if (close) out = number(static_cast<long long>(dialogs.size())) + L"\n";
  writeOut(out);
  return dialogs.empty() ? 1 : 0;
}

// Keys as the system's own keyboard input, one at a time: what a physical keyboard (and its driver's AltGr,
// left Ctrl then right Alt) delivers, which the X server cannot always play.
int commandSend(int argc, wchar_t** argv) {
  long long hold = 0;
  if (argc < 4 || !parseNumber(argv[2], hold)) return usage();
  for (int i = 3; i < argc; ++i) {
    std::wstring step = argv[i];
    const bool extended = !step.empty() && step.back() == L'e';
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

int commandRegRead(int argc, wchar_t** argv) {
  if (argc < 4) return usage();
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, argv[2], 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return 1;
  DWORD type = 0;
  DWORD size = 0;
  LONG status = RegQueryValueExW(key, argv[3], nullptr, &type, nullptr, &size);
  std::vector<BYTE> data(size + 2, 0);
  if (status == ERROR_SUCCESS) status = RegQueryValueExW(key, argv[3], nullptr, &type, data.data(), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return 1;

  std::wstring out;
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
      std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
      while (!text.empty() && text.back() == L'\0') text.pop_back();
      out = (type == REG_SZ ? L"REG_SZ " : L"REG_EXPAND_SZ ") + text;
      break;
    }
    default: {
      const wchar_t* name = type == REG_DWORD      ? L"REG_DWORD"
                            : type == REG_BINARY   ? L"REG_BINARY"
                            : type == REG_MULTI_SZ ? L"REG_MULTI_SZ"
                            : type == REG_QWORD    ? L"REG_QWORD"
                                                   : L"REG_OTHER";
      out = name;
      out += L" ";
      for (DWORD i = 0; i < size; ++i) {
        wchar_t byte[4];
        std::swprintf(byte, 4, L"%02x", data[i]);
        out += byte;
      }
      break;
    }
  }
  writeOut(out + L"\n");
  return 0;
}

int run(int argc, wchar_t** argv) {
  if (argc < 2) return usage();
  const std::wstring command = argv[1];

  if (command == L"find") return commandFind(argc, argv);
  if (command == L"wait") return commandWait(argc, argv, false);
  if (command == L"gone") return commandWait(argc, argv, true);
  if (command == L"list") return commandList();
  if (command == L"foreground") {
    writeOut(handleText(GetForegroundWindow()) + L"\n");
    return 0;
  }
  if (command == L"reg-read") return commandRegRead(argc, argv);
  if (command == L"send") return commandSend(argc, argv);
  if (command == L"post") return commandPost(argc, argv);
  if (command == L"dialogs" || command == L"close-dialogs") {
    if (argc < 3) return usage();
    return commandDialogs(pidsOfImage(argv[2]), command == L"close-dialogs");
  }
  if (command == L"pids") {
    if (argc < 3) return usage();
    std::wstring out;
    const std::vector<DWORD> pids = pidsOfImage(argv[2]);
    for (DWORD pid : pids) out += number(pid) + L"\n";
    writeOut(out);
    return pids.empty() ? 1 : 0;
  }

  // Everything else takes one window handle.
  HWND hwnd = nullptr;
  if (argc < 3 || !parseWindow(argv[2], hwnd)) return usage();
  if (!IsWindow(hwnd)) return noWindow(argv[2]);

  if (command == L"children") return commandChildren(hwnd);
  if (command == L"alpha") return commandAlpha(hwnd);
  if (command == L"exstyle") {
    writeOut(hex(static_cast<unsigned long>(GetWindowLongA(hwnd, GWL_EXSTYLE))) + L"\n");
    return 0;
  }
  if (command == L"topmost") return yesNo((GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0);
  if (command == L"iconic") return yesNo(IsIconic(hwnd) != FALSE);
  if (command == L"visible") return yesNo(IsWindowVisible(hwnd) != FALSE);
  if (command == L"rect") return commandRect(hwnd);
  if (command == L"pin") return commandSetPos(hwnd, HWND_TOPMOST);
  if (command == L"raise") return commandSetPos(hwnd, HWND_TOP);
  if (command == L"text") {
    writeOut(storedText(hwnd) + L"\n");
    return 0;
  }
  if (command == L"gettext") return commandGetText(hwnd);
  if (command == L"xid") return commandXid(hwnd);
  if (command == L"activate") return SetForegroundWindow(hwnd) ? 0 : 1;
  if (command == L"mark") return PostMessageW(hwnd, kMarkMessage, 0, 0) ? 0 : 1;
  if (command == L"close") return PostMessageW(hwnd, WM_CLOSE, 0, 0) ? 0 : 1;
  return usage();
}

}  // namespace

int wmain(int argc, wchar_t** argv) { return run(argc, argv); }
