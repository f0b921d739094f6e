#include "platform/win32/window_manager.h"

#include <dwmapi.h>

#include <algorithm>
#include <array>

#include "platform/win32/handles.h"
#include "platform/win32/text.h"

namespace win32 {

namespace {

constexpr UINT_PTR kLookTimer = 1;
constexpr UINT kLookEveryMs = 100;
// A window restored from the taskbar, brought to the foreground, shown, or uncloaked as the user switches to
// its virtual desktop.
constexpr std::array<DWORD, 4> kShownEvents = {EVENT_SYSTEM_MINIMIZEEND, EVENT_SYSTEM_FOREGROUND,
                                               EVENT_OBJECT_SHOW, EVENT_OBJECT_UNCLOAKED};

// user32 hands a window-event callback no context of ours. Events of an out-of-context hook arrive on the
// thread that set it, so the watching window manager is that thread's.
thread_local WindowManager* tWatching = nullptr;

}  // namespace

WindowManager::~WindowManager() { stopWatching(); }

Hwnd WindowManager::GetDesktopWindow() { return fromHwnd(::GetDesktopWindow()); }

Hwnd WindowManager::FindWindowExA(Hwnd parent, Hwnd childAfter, const char* className) {
  return fromHwnd(::FindWindowExA(toHwnd(parent), toHwnd(childAfter), className, nullptr));
}

std::string WindowManager::GetClassNameA(Hwnd hwnd) {
  // 256 is the longest class name Windows registers.
  std::array<char, 257> name{};
  const int length = ::GetClassNameA(toHwnd(hwnd), name.data(), static_cast<int>(name.size()));
  return std::string(name.data(), static_cast<std::size_t>(std::max(length, 0)));
}

bool WindowManager::PostMessageA(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
  return ::PostMessageA(toHwnd(hwnd), msg, wParam, lParam) != FALSE;
}

std::int32_t WindowManager::GetWindowLongA(Hwnd hwnd, int index) {
  return ::GetWindowLongA(toHwnd(hwnd), index);
}

std::int32_t WindowManager::SetWindowLongA(Hwnd hwnd, int index, std::int32_t value) {
  return ::SetWindowLongA(toHwnd(hwnd), index, value);
}

bool WindowManager::SetLayeredWindowAttributes(Hwnd hwnd, std::uint32_t colorKey, std::uint8_t alpha,
                                               std::uint32_t flags) {
  return ::SetLayeredWindowAttributes(toHwnd(hwnd), colorKey, alpha, flags) != FALSE;
}

bool WindowManager::SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int x, int y, int cx, int cy,
                                 std::uint32_t flags) {
  return ::SetWindowPos(toHwnd(hwnd), toHwnd(insertAfter), x, y, cx, cy, flags) != FALSE;
}

std::uint32_t WindowManager::GetWindowThreadProcessId(Hwnd hwnd) {
  DWORD process = 0;
  if (::GetWindowThreadProcessId(toHwnd(hwnd), &process) == 0) return 0;
  return process;
}

bool WindowManager::IsWindow(Hwnd hwnd) { return ::IsWindow(toHwnd(hwnd)) != FALSE; }

bool WindowManager::IsWindowVisible(Hwnd hwnd) { return ::IsWindowVisible(toHwnd(hwnd)) != FALSE; }

bool WindowManager::IsIconic(Hwnd hwnd) { return ::IsIconic(toHwnd(hwnd)) != FALSE; }

Hwnd WindowManager::GetWindow(Hwnd hwnd, std::uint32_t cmd) {
  return fromHwnd(::GetWindow(toHwnd(hwnd), cmd));
}

std::optional<std::string> WindowManager::QueryFullProcessImageNameW(std::uint32_t processId) {
  // The least access that reads the image name: granted for other users' and elevated processes' windows
  // where more is refused, and still refused for protected ones.
  const UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process) return std::nullopt;
  // Paths may be longer than MAX_PATH; 32767 is the longest a Windows path can be.
  std::wstring path(32768, L'\0');
  auto size = static_cast<DWORD>(path.size());
  if (::QueryFullProcessImageNameW(process.get(), 0, path.data(), &size) == FALSE) return std::nullopt;
  path.resize(size);
  return narrow(path);
}

bool WindowManager::isCloaked(Hwnd hwnd) {
  DWORD cloaked = 0;
  return SUCCEEDED(DwmGetWindowAttribute(toHwnd(hwnd), DWMWA_CLOAKED, &cloaked, sizeof cloaked)) &&
         cloaked != 0;
}

void WindowManager::watchShownWindows(std::function<void()> onShown) {
  onShown_ = std::move(onShown);
  if (!onShown_) {
    stopWatching();
    return;
  }
  if (tWatching == this) return;
  tWatching = this;
  for (DWORD event : kShownEvents) {
    if (HWINEVENTHOOK hook = SetWinEventHook(event, event, nullptr, &WindowManager::onWinEvent, 0, 0,
                                             WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS)) {
      hooks_.push_back(hook);
    }
  }
  if (!window_) {
    window_ = std::make_unique<MessageWindow>([this](UINT msg, WPARAM wParam, LPARAM) {
      if (msg != WM_TIMER || wParam != kLookTimer) return false;
      report();
      return true;
    });
  }
  SetTimer(window_->hwnd(), kLookTimer, kLookEveryMs, nullptr);
}

void WindowManager::stopWatching() {
  if (tWatching != this) return;
  tWatching = nullptr;
  for (HWINEVENTHOOK hook : hooks_) UnhookWinEvent(hook);
  hooks_.clear();
  KillTimer(window_->hwnd(), kLookTimer);
}

void CALLBACK WindowManager::onWinEvent(HWINEVENTHOOK, DWORD, HWND hwnd, LONG object, LONG child, DWORD,
                                        DWORD) noexcept {
  if (object != OBJID_WINDOW || child != CHILDID_SELF || !hwnd || !tWatching) return;
  if (GetAncestor(hwnd, GA_PARENT) != ::GetDesktopWindow()) return;  // top-level windows only
  try {
    tWatching->report();
  } catch (...) {
    // Nothing may unwind through user32; the next event or look tries again.
  }
}

void WindowManager::report() {
  if (!onShown_) return;
  // A copy: the callback may stop the watch, which lets go of it.
  const std::function<void()> onShown = onShown_;
  onShown();
}

}  // namespace win32
