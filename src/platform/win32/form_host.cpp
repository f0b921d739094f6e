// The host's top-level window, its life, and the window procedures of all its windows.
#include "platform/win32/form_host.h"

#include <commctrl.h>

#include "platform/win32/native_controls.h"
#include "platform/win32/painting.h"
#include "platform/win32/text.h"
#include "platform/win32/window_manager.h"

namespace win32 {

namespace {

// The creation parameter is bound to the window at WM_NCCREATE, so every later message finds it.
template <typename T>
T* boundTo(HWND hwnd, UINT msg, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* made = static_cast<T*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(made));
    return made;
  }
  return reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

}  // namespace

FormHost::FormHost(HINSTANCE instance, form::Form& form, const form::HostOptions& options)
    : instance_(instance),
      form_(form),
      options_(options),
      windowClass_(widen(options.windowClass)),
      surfaceClass_(widen(options.surfaceClass)),
      pictures_(instance),
      fonts_(options.fontLanguage) {}

FormHost::~FormHost() {
  onClosed = nullptr;
  form_.onControlChanged = nullptr;
  form_.onMenuRequested = nullptr;
  form_.onMoved = nullptr;
  form_.onWindowStateChanged = nullptr;
  form_.onFocusChanged = nullptr;
  form_.onCaptureChanged = nullptr;
  // The windows go first, while everything their last messages touch still exists.
  top_.reset();
}

void FormHost::registerClasses() {
  WNDCLASSEXW top{};
  top.cbSize = sizeof(top);
  top.lpfnWndProc = &FormHost::topProc;
  top.hInstance = instance_;
  top.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  top.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  top.lpszClassName = windowClass_.c_str();
  top.hIcon = static_cast<HICON>(
      LoadImageW(instance_, widen(options_.icon).c_str(), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
  RegisterClassExW(&top);

  WNDCLASSEXW surface{};
  surface.cbSize = sizeof(surface);
  surface.lpfnWndProc = &FormHost::surfaceProc;
  surface.hInstance = instance_;
  surface.lpszClassName = surfaceClass_.c_str();
  RegisterClassExW(&surface);
}

bool FormHost::create() {
  INITCOMMONCONTROLSEX common{sizeof(common), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&common);
  registerClasses();

  // A borderless pop-up with no taskbar button; start-up pins it above other windows. It is made where the
  // form was placed, at that monitor's scale: a pop-up left to the default placement lands in the screen's
  // corner, and moving it after it is shown would be seen.
  const platform::PixelPoint at = form_.position();
  dpi_ = form_.dpi();
  top_.reset(CreateWindowExW(WS_EX_TOOLWINDOW, windowClass_.c_str(), widen(form_.caption()).c_str(),
                             WS_POPUP | WS_MINIMIZEBOX | WS_CLIPCHILDREN, platform::windowCoordinate(at.x),
                             platform::windowCoordinate(at.y), px(form_.clientWidth()), px(form_.clientHeight()),
                             nullptr, nullptr, instance_, this));
  if (!top_) return false;
  form_.window = {fromHwnd(top_.get())};

  hand_ = static_cast<HCURSOR>(LoadImageW(instance_, widen(options_.handPointer).c_str(), IMAGE_CURSOR, 0, 0,
                                          LR_DEFAULTSIZE | LR_SHARED));
  if (!hand_) hand_ = LoadCursorW(nullptr, IDC_HAND);

  for (const auto& control : form_.controls()) createWindows(*control, top_.get());

  applyDpi(platform::Dpi(static_cast<int>(GetDpiForWindow(top_.get()))));
  form_.onControlChanged = [this](form::Control& c, form::Property p) { onControlChanged(c, p); };
  form_.onMenuRequested = [this](const std::vector<form::MenuItem>& items,
                                 std::function<void(std::size_t)> chosen) { showMenu(items, chosen); };
  form_.onMoved = [this] { onMoved(); };
  form_.onWindowStateChanged = [this] { onWindowStateChanged(); };
  form_.onFocusChanged = [this](form::Control& c) { onFocusChanged(c); };
  form_.onCaptureChanged = [this](bool captured) { onCaptureChanged(captured); };
  syncPosition();
  return true;
}

void FormHost::show() {
  ShowWindow(top_.get(), SW_SHOW);
  UpdateWindow(top_.get());
  if (form_.focused()) onFocusChanged(*form_.focused());
}

int FormHost::run() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

void FormHost::paint(const form::Control& surface, HWND hwnd) {
  const PaintScope paintScope(hwnd);
  RECT client;
  GetClientRect(hwnd, &client);
  // Drawn off screen first, so the skin and its labels never flicker.
  UniqueMemoryDc buffer(CreateCompatibleDC(paintScope.dc()));
  UniqueBitmap bitmap(CreateCompatibleBitmap(paintScope.dc(), client.right, client.bottom));
  const SelectedObject selected(buffer.get(), bitmap.get());
  Painter{fonts_, pictures_, options_, dpi_}.surface(buffer.get(), surface, client);
  BitBlt(paintScope.dc(), 0, 0, client.right, client.bottom, buffer.get(), 0, 0, SRCCOPY);
}

// ---- Window procedures ----

LRESULT CALLBACK FormHost::topProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  FormHost* host = boundTo<FormHost>(hwnd, msg, lParam);
  // Until CreateWindowExW has returned, the window is the system's alone.
  if (!host || !host->top_) return DefWindowProcW(hwnd, msg, wParam, lParam);
  if (msg == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  try {
    return host->handleTop(hwnd, msg, wParam, lParam);
  } catch (...) {
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

LRESULT FormHost::handleTop(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_DPICHANGED: {
      applyDpi(platform::Dpi(HIWORD(wParam)));
      // While the user drags the window, the drag keeps it at the grab point: the system's suggestion would
      // move it away from the pointer and back at the next move.
      if (!form_.captured()) {
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(hwnd, nullptr, suggested->left, suggested->top, px(form_.clientWidth()),
                     px(form_.clientHeight()), SWP_NOZORDER | SWP_NOACTIVATE);
      }
      return 0;
    }
    case WM_CANCELMODE:
      form_.captureLost();
      return DefWindowProcW(hwnd, msg, wParam, lParam);
    case WM_MOVE:
      syncPosition();
      return 0;
    case kApplyWindowState:
      applyWindowState();
      return 0;
    case WM_SIZE:
      if (!minimizing_) {
        if (wParam == SIZE_MINIMIZED) form_.setWindowState(form::WindowState::Minimized);
        if (wParam == SIZE_RESTORED) form_.setWindowState(form::WindowState::Normal);
      }
      return 0;
    case WM_SETFOCUS:
      if (form_.focused()) onFocusChanged(*form_.focused());
      return 0;
    case WM_DESTROY:
      if (onClosed) onClosed();
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

LRESULT CALLBACK FormHost::surfaceProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  auto* surface = boundTo<form::Control>(hwnd, msg, lParam);
  const HWND root = GetAncestor(hwnd, GA_ROOT);
  auto* host = reinterpret_cast<FormHost*>(GetWindowLongPtrW(root ? root : hwnd, GWLP_USERDATA));
  if (!host || !surface) return DefWindowProcW(hwnd, msg, wParam, lParam);
  try {
    return host->handleSurface(*surface, hwnd, msg, wParam, lParam);
  } catch (...) {
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

LRESULT FormHost::handleSurface(form::Control& surface, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (mouseInput(hwnd, msg, wParam, lParam)) return 0;
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      paint(surface, hwnd);
      return 0;
    case WM_CAPTURECHANGED:
      captureChanged(hwnd, lParam);
      return 0;
    case WM_CANCELMODE:
      form_.captureLost();
      break;
    case WM_MOUSEHOVER:
      hover();
      return 0;
    case WM_MOUSELEAVE:
      toolTip_.hide();
      hovered_ = nullptr;
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT && setCursor()) return TRUE;
      break;
    case WM_GETDLGCODE:
      return DLGC_WANTALLKEYS;
    case WM_SETFOCUS:
      form_.setFocus(&surface);
      return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
      keyInput(msg, wParam);
      return 0;
    // Keys pressed with Alt come as system keys. The model hears them (Alt with a digit acts as the digit
    // does) and the system still gets them, so Alt+F4 closes the window.
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
      keyInput(msg, wParam);
      break;
    case WM_HSCROLL:
      scrolled(reinterpret_cast<HWND>(lParam), wParam);
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      if (const form::Control* child = controlOf(reinterpret_cast<HWND>(lParam))) {
        const HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, colorOf(child->layout().foreColor));
        SetBkColor(dc, colorOf(child->layout().backColor));
        if (!windowBrush_) windowBrush_.reset(CreateSolidBrush(GetSysColor(COLOR_WINDOW)));
        return reinterpret_cast<LRESULT>(windowBrush_.get());
      }
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK FormHost::nativeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                      DWORD_PTR refData) noexcept {
  auto* host = reinterpret_cast<FormHost*>(refData);
  if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, &FormHost::nativeProc, kNativeSubclassId);
  try {
    if (form::Control* control = host->controlOf(hwnd)) {
      return host->handleNative(*control, hwnd, msg, wParam, lParam);
    }
  } catch (...) {
    // Nothing may unwind through user32.
  }
  return DefSubclassProc(hwnd, msg, wParam, lParam);
}

// A common control keeps its own drawing and, unless the model takes its mouse, its own mouse handling; the
// model hears of its keys, its focus and its loss of the pointer.
LRESULT FormHost::handleNative(form::Control& control, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (nativeKind(control.kind())->mouseToModel && mouseInput(hwnd, msg, wParam, lParam)) return 0;
  switch (msg) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
      keyInput(msg, wParam);
      break;
    case WM_SETFOCUS:
      form_.setFocus(&control);
      break;
    case WM_CAPTURECHANGED:
      captureChanged(hwnd, lParam);
      break;
    case WM_CANCELMODE:
      form_.captureLost();
      break;
    default:
      break;
  }
  return DefSubclassProc(hwnd, msg, wParam, lParam);
}

}  // namespace win32
