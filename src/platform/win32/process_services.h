// Single instance, the modal message box and the immediate end of the program.
#pragma once

#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/handles.h"

namespace win32 {

class ProcessServices final : public platform::ProcessServices {
 public:
  // Takes the program's named mutex at once; it is held for the whole life of the process.
  ProcessServices();

  bool PrevInstance() override { return previousInstance_; }
  void MsgBox(std::string_view text) override;
  [[noreturn]] void End() override;

  // The window that owns message boxes, once it exists.
  HWND owner = nullptr;

 private:
  UniqueHandle mutex_;
  bool previousInstance_ = false;
};

}  // namespace win32
