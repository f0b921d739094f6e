// The platform's timers on user32: each is a window timer of a message-only window, killed when it has run
// or when its Timer object is destroyed.
#pragma once

#include <windows.h>

#include <map>

#include "platform/platform.h"
#include "platform/win32/message_window.h"

namespace win32 {

// Outlives every Timer it hands out.
class WindowTimers final : public platform::Timers {
 public:
  std::unique_ptr<platform::Timer> once(std::chrono::milliseconds delay,
                                        std::function<void()> callback) override;

 private:
  class Pending;
  void cancel(UINT_PTR id);
  void ring(UINT_PTR id);

  HWND window();

  std::map<UINT_PTR, std::function<void()>> callbacks_;
  UINT_PTR nextId_ = 1;
  // Made with the first timer, which most runs never set. Last: destroyed first, while the callbacks exist.
  std::unique_ptr<MessageWindow> window_;
};

}  // namespace win32
