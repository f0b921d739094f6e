#include "platform/win32/process_services.h"

#include "platform/win32/registry_store.h"
#include "platform/win32/text.h"

namespace win32 {

namespace {

// Local to the user's session: each signed-in user may run one copy.
constexpr wchar_t kMutexName[] = L"Local\\VaskF5.SingleInstance";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRunValue[] = L"VaskF5";
// A command line is at most 32767 characters.
constexpr std::size_t kLongestCommand = 32767;

std::wstring unquoted(std::wstring_view text) {
  if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"') text = text.substr(1, text.size() - 2);
  return std::wstring(text);
}

std::wstring programPath() {
  std::wstring path(kLongestCommand + 1, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length < path.size() ? length : 0);
  return path;
}

}  // namespace

ProcessServices::ProcessServices() : mutex_(CreateMutexW(nullptr, TRUE, kMutexName)) {
  // Read before any other call can reset it. A copy running elevated owns a mutex that this one may not open:
  // it exists all the same.
  const DWORD error = GetLastError();
  anotherCopy_ = mutex_ ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
  path_ = programPath();
}

void ProcessServices::showMessage(std::string_view text) {
  MessageBoxW(owner, widen(text).c_str(), L"Vask F5", MB_OK | MB_TOPMOST);
}

void ProcessServices::quit() {
  quitting_ = true;
  PostQuitMessage(0);
}

// Paths compare without regard to case, as Windows' file names do; the value may or may not be quoted.
bool ProcessServices::startsWithSession() {
  const std::optional<std::wstring> command = readRegistryText(kRunKey, kRunValue, kLongestCommand);
  if (!command || path_.empty()) return false;
  const std::wstring named = unquoted(*command);
  return CompareStringOrdinal(named.c_str(), static_cast<int>(named.size()), path_.c_str(),
                              static_cast<int>(path_.size()), TRUE) == CSTR_EQUAL;
}

void ProcessServices::setStartsWithSession(bool on) {
  if (!on) {
    deleteRegistryValue(kRunKey, kRunValue);
  } else if (!path_.empty()) {
    // Quoted, so that a path with spaces is one program.
    writeRegistryText(kRunKey, kRunValue, L"\"" + path_ + L"\"");
  }
}

}  // namespace win32
