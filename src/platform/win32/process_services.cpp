#include "platform/win32/process_services.h"

#include "platform/win32/text.h"

namespace win32 {

namespace {
// Local to the user's session: each signed-in user may run one copy.
constexpr wchar_t kMutexName[] = L"Local\\VaskF5.SingleInstance";
}  // namespace

ProcessServices::ProcessServices() : mutex_(CreateMutexW(nullptr, TRUE, kMutexName)) {
  const DWORD error = GetLastError();
  // A copy running elevated owns a mutex that this one may not open: it exists all the same.
  previousInstance_ = mutex_ ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
}

void ProcessServices::MsgBox(std::string_view text) {
  MessageBoxW(owner, widen(text).c_str(), L"Vask F5", MB_OK | MB_TOPMOST);
}

void ProcessServices::End() { ExitProcess(0); }

}  // namespace win32
