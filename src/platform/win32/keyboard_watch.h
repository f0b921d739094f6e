// The keyboard of the whole desktop as key events. Raw input first: every key press and release reaches a
// message-only window as WM_INPUT, also while another program has the focus (RIDEV_INPUTSINK); nothing is
// hooked, consumed or delayed for anyone. Where raw input cannot be registered, the keys of the save chord
// are polled every timer tick and their changes reported as the same events.
#pragma once

#include <windows.h>

#include <vector>

#include "platform/key_events.h"
#include "platform/platform.h"
#include "platform/win32/message_window.h"

namespace win32 {

// One look at the keys of the save chord in user32's key state, turned into key events by the poller: each
// key's down bit, and for S also its pressed-since bit, so that an S tapped between two looks while Ctrl is
// held is still a save. Another program polling S may take that bit first; raw input does not depend on it.
std::vector<platform::KeyEvent> pollKeyState(platform::KeyPoller& poller);

class RawKeyboardWatch final : public platform::KeyboardWatch {
 public:
  // With `pollOnly`, raw input is never asked for: the measuring baseline of the poller.
  explicit RawKeyboardWatch(bool pollOnly = false);
  RawKeyboardWatch(const RawKeyboardWatch&) = delete;
  RawKeyboardWatch& operator=(const RawKeyboardWatch&) = delete;
  ~RawKeyboardWatch() override;

  bool start(Handler onKey) override;
  void stop() override;
  // The key's down bit only: the "pressed since the last query" bit is shared with every other program.
  bool isDown(int key, platform::KeySide side) override;

 private:
  bool onMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  void rawInput(LPARAM lParam);
  void poll();
  void report(const platform::KeyEvent& event);

  bool pollOnly_;
  bool raw_ = false;
  bool polling_ = false;
  Handler onKey_;
  platform::KeyRepeats repeats_;
  platform::KeyPoller poller_;
  MessageWindow window_;  // last: destroyed first
};

}  // namespace win32
