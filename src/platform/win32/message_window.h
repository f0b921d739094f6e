// A window that is never seen and only receives messages (HWND_MESSAGE): what the timers, the keyboard watch
// and the watch for shown windows hang their user32 timers and raw input on, apart from the form's windows.
#pragma once

#include <windows.h>

#include <functional>

#include "platform/win32/handles.h"

namespace win32 {

class MessageWindow {
 public:
  // Receives every message; true when it handled it, false to leave it to DefWindowProc.
  using Handler = std::function<bool(UINT msg, WPARAM wParam, LPARAM lParam)>;

  explicit MessageWindow(Handler handler);
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  // Null when the window could not be made; the services that need it then do without.
  HWND hwnd() const { return window_.get(); }

 private:
  static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;

  Handler handler_;
  UniqueWindow window_;
};

}  // namespace win32
