#include "platform/win32/message_window.h"

namespace win32 {

namespace {
constexpr wchar_t kClassName[] = L"VaskF5Messages";
}  // namespace

MessageWindow::MessageWindow(Handler handler) : handler_(std::move(handler)) {
  WNDCLASSEXW cls{};
  cls.cbSize = sizeof cls;
  cls.lpfnWndProc = &MessageWindow::proc;
  cls.hInstance = GetModuleHandleW(nullptr);
  cls.lpszClassName = kClassName;
  // A second registration fails harmlessly: every message window of the program shares the class.
  RegisterClassExW(&cls);
  window_.reset(
      CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, cls.hInstance, this));
}

LRESULT CALLBACK MessageWindow::proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  if (msg == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<MessageWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (msg == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  try {
    if (self && self->handler_ && self->handler_(msg, wParam, lParam)) return 0;
  } catch (...) {
    // Nothing may unwind through user32; a message whose handling failed is left to the default.
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace win32
