// The keyboard of the whole desktop, as raw input: every key press and release reaches the main window as
// WM_INPUT, also while another program has the focus (RIDEV_INPUTSINK). Nothing is hooked, and no key is
// consumed or delayed for anyone; without RIDEV_NOLEGACY the window still gets its ordinary key messages.
#pragma once

#include <windows.h>

#include "platform/platform.h"

namespace win32 {

class RawKeyboardWatch final : public platform::KeyboardWatch {
 public:
  RawKeyboardWatch() = default;
  RawKeyboardWatch(const RawKeyboardWatch&) = delete;
  RawKeyboardWatch& operator=(const RawKeyboardWatch&) = delete;
  ~RawKeyboardWatch() override;

  // The window that receives WM_INPUT; set before watching starts.
  HWND target = nullptr;

  bool startWatching(KeyHandler onKey) override;
  void stopWatching() override;
  bool isKeyDown(int virtualKey) override;
  std::int16_t GetAsyncKeyState(int virtualKey) override;

  // Decodes one WM_INPUT and passes a keyboard event on. The window procedure still hands the message to
  // DefWindowProc, which frees the input.
  void onRawInput(LPARAM lParam);

 private:
  KeyHandler onKey_;
};

}  // namespace win32
