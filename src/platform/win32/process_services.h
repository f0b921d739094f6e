// Single instance, the modal message box, quitting, and starting with the user's session.
#pragma once

#include <windows.h>

#include <string>

#include "platform/platform.h"
#include "platform/win32/handles.h"

namespace win32 {

class ProcessServices final : public platform::ProcessServices {
 public:
  // Takes the program's named mutex at once; it is held for the whole life of the process.
  ProcessServices();

  bool anotherCopyRuns() override { return anotherCopy_; }
  void showMessage(std::string_view text) override;
  // Asks the message loop to end; the window closes as the program returns from it.
  void quit() override;
  bool quitting() const { return quitting_; }
  // The value "VaskF5" of the current user's Run key, holding this program's quoted path.
  bool startsWithSession() override;
  void setStartsWithSession(bool on) override;

  // The window that owns message boxes, once it exists.
  HWND owner = nullptr;

 private:
  UniqueHandle mutex_;
  bool anotherCopy_ = false;
  bool quitting_ = false;
  std::wstring path_;  // this program's file
};

}  // namespace win32
