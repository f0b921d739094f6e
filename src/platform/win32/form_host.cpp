#include "platform/win32/form_host.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>

#include "platform/win32/text.h"
#include "platform/win32/window_manager.h"

namespace win32 {

namespace {

constexpr wchar_t kSurfaceClass[] = L"VaskF5Surface";
constexpr UINT_PTR kChildSubclassId = 1;
constexpr UINT kApplyWindowState = WM_APP + 1;
// Tool tips speak Chinese; the default tool-tip font may have no CJK glyphs, so they use the program's own
// face.
constexpr form::Font kToolTipFont{"微软雅黑", 9};
// Window coordinates far beyond any screen upset some window managers; a drag is clamped well inside them.
constexpr std::int64_t kMaxCoordinate = 30000;

COLORREF colorOf(const form::Color& color) {
  switch (color.role) {
    case form::Color::Role::Rgb:
      return RGB(color.r, color.g, color.b);
    case form::Color::Role::Window:
      return GetSysColor(COLOR_WINDOW);
    case form::Color::Role::WindowText:
      return GetSysColor(COLOR_WINDOWTEXT);
    case form::Color::Role::ButtonFace:
      return GetSysColor(COLOR_BTNFACE);
    case form::Color::Role::ButtonText:
      return GetSysColor(COLOR_BTNTEXT);
  }
  return 0;
}

FormHost* hostOf(HWND hwnd) {
  const HWND root = GetAncestor(hwnd, GA_ROOT);
  return reinterpret_cast<FormHost*>(GetWindowLongPtrW(root ? root : hwnd, GWLP_USERDATA));
}

int shiftState() {
  return (GetKeyState(VK_SHIFT) < 0 ? 1 : 0) | (GetKeyState(VK_CONTROL) < 0 ? 2 : 0) |
         (GetKeyState(VK_MENU) < 0 ? 4 : 0);
}

int buttonsOf(WPARAM wParam) {
  return ((wParam & MK_LBUTTON) ? 1 : 0) | ((wParam & MK_RBUTTON) ? 2 : 0) | ((wParam & MK_MBUTTON) ? 4 : 0);
}

// The button a press or release message is about: 1 left, 2 right, 4 middle.
int buttonOfMessage(UINT msg) {
  switch (msg) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      return 2;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      return 4;
    default:
      return 1;
  }
}

void fillRect(HDC dc, const RECT& rect, COLORREF color) {
  UniqueBrush brush(CreateSolidBrush(color));
  FillRect(dc, &rect, brush.get());
}

}  // namespace

FormHost::FormHost(HINSTANCE instance, form::Form& form)
    : instance_(instance), form_(form), pictures_(instance) {}

FormHost::~FormHost() {
  form_.onControlChanged = nullptr;
  form_.onMoved = nullptr;
  form_.onWindowStateChanged = nullptr;
  form_.onFocusChanged = nullptr;
}

void FormHost::registerClasses() {
  WNDCLASSEXW top{};
  top.cbSize = sizeof(top);
  top.lpfnWndProc = &FormHost::topProc;
  top.hInstance = instance_;
  top.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  top.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  top.lpszClassName = kWindowClass;
  top.hIcon =
      static_cast<HICON>(LoadImageW(instance_, L"APPICON", IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
  RegisterClassExW(&top);

  WNDCLASSEXW surface{};
  surface.cbSize = sizeof(surface);
  surface.lpfnWndProc = &FormHost::surfaceProc;
  surface.hInstance = instance_;
  surface.lpszClassName = kSurfaceClass;
  RegisterClassExW(&surface);
}

bool FormHost::create() {
  INITCOMMONCONTROLSEX common{sizeof(common), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&common);
  registerClasses();

  // A borderless pop-up with no taskbar button; start-up pins it above other windows.
  top_.reset(CreateWindowExW(WS_EX_TOOLWINDOW, kWindowClass, widen(form_.Caption()).c_str(),
                             WS_POPUP | WS_MINIMIZEBOX | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0,
                             nullptr, nullptr, instance_, nullptr));
  if (!top_) return false;
  SetWindowLongPtrW(top_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  form_.hWnd = fromHwnd(top_.get());

  hand_ =
      static_cast<HCURSOR>(LoadImageW(instance_, L"HAND", IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
  if (!hand_) hand_ = LoadCursorW(nullptr, IDC_HAND);

  dpi_ = GetDpiForWindow(top_.get());
  if (dpi_ == 0) dpi_ = 96;
  for (const auto& control : form_.controls()) createChildren(*control, top_.get());

  applyDpi(dpi_);
  form_.onControlChanged = [this](form::Control& c, form::Property p) { onControlChanged(c, p); };
  form_.onMoved = [this] { onMoved(); };
  form_.onWindowStateChanged = [this] { onWindowStateChanged(); };
  form_.onFocusChanged = [this](form::Control& c) { onFocusChanged(c); };
  syncPosition();
  return true;
}

void FormHost::createChildren(form::Control& control, HWND parent) {
  if (!control.windowed()) return;
  // A hidden frame (the settings panel, the value boxes) gets its windows when it is first shown, if ever: a
  // start-up pays only for what it shows.
  if (control.kind() == form::Kind::Frame && !control.Visible()) return;
  const DWORD visible = control.Visible() ? WS_VISIBLE : 0;
  const std::wstring caption = widen(control.Caption());
  HWND made = nullptr;
  switch (control.kind()) {
    case form::Kind::PictureBox:
    case form::Kind::Frame:
      made = CreateWindowExW(0, kSurfaceClass, caption.c_str(),
                             WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | visible, 0, 0, 0, 0, parent,
                             nullptr, instance_, nullptr);
      break;
    case form::Kind::CheckBox:
      made = CreateWindowExW(
          0, WC_BUTTONW, caption.c_str(),
          WS_CHILD | WS_TABSTOP | BS_AUTOCHECKBOX | (control.spec().flat ? BS_FLAT : 0) | visible, 0, 0, 0, 0,
          parent, nullptr, instance_, nullptr);
      SendMessageW(made, BM_SETCHECK, control.Value() == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
      break;
    case form::Kind::HScrollBar:
      made = CreateWindowExW(0, WC_SCROLLBARW, nullptr, WS_CHILD | WS_TABSTOP | SBS_HORZ | visible, 0, 0, 0,
                             0, parent, nullptr, instance_, nullptr);
      SetScrollRange(made, SB_CTL, control.spec().min, control.spec().max, FALSE);
      SetScrollPos(made, SB_CTL, control.Value(), FALSE);
      break;
    case form::Kind::ListBox:
      made = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTBOXW, nullptr,
                             WS_CHILD | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | visible, 0, 0, 0, 0, parent,
                             nullptr, instance_, nullptr);
      break;
    default:
      return;
  }
  if (!made) return;
  SetWindowLongPtrW(made, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&control));
  windows_[&control] = made;
  if (control.kind() != form::Kind::PictureBox && control.kind() != form::Kind::Frame) {
    SetWindowSubclass(made, &FormHost::childSubclassProc, kChildSubclassId,
                      reinterpret_cast<DWORD_PTR>(this));
  }
  for (const auto& child : control.children()) createChildren(*child, made);
  stackChildren(control);
}

// Child windows take the model's stacking order: the first listed lies on top.
void FormHost::stackChildren(const form::Control& container) {
  HWND after = HWND_TOP;
  for (const auto& child : container.children()) {
    auto it = windows_.find(child.get());
    if (it == windows_.end()) continue;
    SetWindowPos(it->second, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    after = it->second;
  }
}

form::Control* FormHost::controlOf(HWND hwnd) const {
  for (const auto& [control, window] : windows_) {
    if (window == hwnd) return const_cast<form::Control*>(control);
  }
  return nullptr;
}

HFONT FormHost::font(const form::Font& face) {
  if (face.face.empty()) return defaultFont_.get();
  const auto key = std::make_pair(std::string(face.face), static_cast<int>(std::lround(face.points * 100)));
  auto it = fonts_.find(key);
  if (it != fonts_.end()) return it->second.get();
  LOGFONTW lf{};
  lf.lfHeight = -static_cast<LONG>(std::lround(face.points * dpi_ / 72.0));
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = GB2312_CHARSET;
  lf.lfQuality = CLEARTYPE_QUALITY;
  const std::wstring name = widen(face.face);
  name.copy(lf.lfFaceName, LF_FACESIZE - 1);
  return fonts_.emplace(key, UniqueFont(CreateFontIndirectW(&lf))).first->second.get();
}

void FormHost::applyDpi(UINT dpi) {
  dpi_ = dpi;
  fonts_.clear();
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  const UINT systemDpi = GetDpiForSystem();
  metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi_),
                                          static_cast<int>(systemDpi ? systemDpi : 96));
  defaultFont_.reset(CreateFontIndirectW(&metrics.lfMessageFont));

  fitLabels();
  SetWindowPos(top_.get(), nullptr, 0, 0, px(form_.ScaleWidth()), px(form_.ScaleHeight()),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  for (const auto& control : form_.controls()) layoutWindows(*control);
  if (toolTip_) SendMessageW(toolTip_.get(), WM_SETFONT, reinterpret_cast<WPARAM>(font(kToolTipFont)), FALSE);
  InvalidateRect(top_.get(), nullptr, TRUE);
}

// Creates the windows of a frame shown for the first time, in its place in the stacking order, at the current
// dpi.
void FormHost::realize(form::Control& control) {
  HWND parent = top_.get();
  for (const form::Control* c = control.parent(); c; c = c->parent()) {
    auto it = windows_.find(c);
    if (it != windows_.end()) {
      parent = it->second;
      break;
    }
  }
  createChildren(control, parent);
  if (control.parent()) stackChildren(*control.parent());
  layoutWindows(control);
}

void FormHost::layoutWindows(form::Control& control) {
  auto it = windows_.find(&control);
  if (it == windows_.end()) return;
  placeChild(control);
  SendMessageW(it->second, WM_SETFONT, reinterpret_cast<WPARAM>(font(control.spec().font)), FALSE);
  for (const auto& child : control.children()) layoutWindows(*child);
}

void FormHost::placeChild(form::Control& control) {
  auto it = windows_.find(&control);
  if (it == windows_.end()) return;
  SetWindowPos(it->second, nullptr, px(control.Left()), px(control.Top()), px(control.Width()),
               px(control.Height()), SWP_NOZORDER | SWP_NOACTIVATE);
}

// Labels that size themselves take exactly their caption's size in their font; the others grow when a
// substitute font makes their caption wider than laid out, so no text is cut.
void FormHost::fitLabels() {
  const WindowDc windowDc(top_.get());
  const HDC dc = windowDc.get();
  std::function<void(const form::Control&)> fit = [&](const form::Control& container) {
    for (const auto& child : container.children()) {
      fit(*child);
      if (child->kind() != form::Kind::Label || child->Caption().empty()) continue;
      const SelectedObject selected(dc, font(child->spec().font));
      RECT measured{0, 0, 0, 0};
      const std::wstring caption = widen(child->Caption());
      DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &measured,
                DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
      const int width = twips(measured.right) + 15;
      const int height = twips(measured.bottom);
      const form::Rect laid = child->spec().rect;
      if (child->spec().autoSize) {
        child->SetSize(width, height);
      } else {
        child->SetSize(std::max(laid.width, width), laid.height);
      }
    }
  };
  for (const auto& control : form_.controls()) fit(*control);
}

void FormHost::show() {
  ShowWindow(top_.get(), SW_SHOW);
  UpdateWindow(top_.get());
  onFocusChanged(*form_.focused());
}

int FormHost::run() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

// ---- Model to windows ----

void FormHost::invalidate(const form::Control& control) {
  for (const form::Control* c = control.parent(); c; c = c->parent()) {
    auto it = windows_.find(c);
    if (it != windows_.end()) {
      InvalidateRect(it->second, nullptr, FALSE);
      return;
    }
  }
}

void FormHost::onControlChanged(form::Control& control, form::Property property) {
  auto it = windows_.find(&control);
  const HWND window = it == windows_.end() ? nullptr : it->second;
  if (!window) {
    if (property == form::Property::Visible && control.windowed() && control.Visible()) {
      realize(control);
    } else {
      invalidate(control);
    }
    return;
  }
  switch (property) {
    case form::Property::Visible:
      ShowWindow(window, control.Visible() ? SW_SHOWNA : SW_HIDE);
      break;
    case form::Property::Value:
      if (control.kind() == form::Kind::CheckBox) {
        SendMessageW(window, BM_SETCHECK, control.Value() == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
      } else if (control.kind() == form::Kind::HScrollBar) {
        SetScrollPos(window, SB_CTL, control.Value(), TRUE);
      }
      break;
    case form::Property::Caption:
      SetWindowTextW(window, widen(control.Caption()).c_str());
      break;
    case form::Property::Position:
    case form::Property::Size:
      placeChild(control);
      break;
    case form::Property::BackStyle:
      InvalidateRect(window, nullptr, FALSE);
      break;
  }
}

void FormHost::onMoved() {
  auto toPixels = [this](std::int64_t t) {
    return static_cast<int>(std::clamp<std::int64_t>(t * dpi_ / 1440, -kMaxCoordinate, kMaxCoordinate));
  };
  SetWindowPos(top_.get(), nullptr, toPixels(form_.Left()), toPixels(form_.Top()), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormHost::syncPosition() {
  if (IsIconic(top_.get())) return;
  RECT rect;
  GetWindowRect(top_.get(), &rect);
  form_.placedAt(twips(rect.left), twips(rect.top));
}

// Without a taskbar button a minimised window could not be brought back, so it has one exactly while it is
// minimised; clicking that button restores the window, which then drops the button again.
void FormHost::giveTaskbarButton(bool give) {
  const LONG_PTR ex = GetWindowLongPtrW(top_.get(), GWL_EXSTYLE);
  const LONG_PTR wanted =
      give ? (ex & ~WS_EX_TOOLWINDOW) | WS_EX_APPWINDOW : (ex & ~WS_EX_APPWINDOW) | WS_EX_TOOLWINDOW;
  if (wanted == ex) return;
  // The shell looks at these styles only when a window is shown, so the window is hidden around the change.
  const bool wasVisible = IsWindowVisible(top_.get());
  if (wasVisible) ShowWindow(top_.get(), SW_HIDE);
  SetWindowLongPtrW(top_.get(), GWL_EXSTYLE, wanted);
  if (wasVisible) ShowWindow(top_.get(), give ? SW_SHOWMINNOACTIVE : SW_SHOW);
}

// Applied from the message loop rather than inside the click that asked for it: hiding a window while its
// own mouse message is still being handled leaves the window manager half way.
void FormHost::onWindowStateChanged() {
  hideToolTip();
  PostMessageW(top_.get(), kApplyWindowState, 0, 0);
}

void FormHost::applyWindowState() {
  const bool minimize = form_.windowState() == form::WindowState::Minimized;
  minimizing_ = true;
  giveTaskbarButton(minimize);
  if (minimize && !IsIconic(top_.get())) ShowWindow(top_.get(), SW_SHOWMINNOACTIVE);
  if (!minimize && IsIconic(top_.get())) ShowWindow(top_.get(), SW_RESTORE);
  minimizing_ = false;
}

void FormHost::onFocusChanged(form::Control& control) {
  auto it = windows_.find(&control);
  if (it != windows_.end() && GetFocus() != it->second) SetFocus(it->second);
}

void FormHost::tabFrom(HWND, bool backwards) { form_.setFocus(form_.nextInTabOrder(backwards)); }

// ---- Painting ----

void FormHost::paintWindowless(const form::Control& container, HDC dc, int originX, int originY) {
  const auto& children = container.children();
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    const form::Control& c = **it;
    if (c.windowed() || !c.Visible()) continue;
    const RECT rect{originX + px(c.Left()), originY + px(c.Top()), originX + px(c.Left() + c.Width()),
                    originY + px(c.Top() + c.Height())};
    if (c.kind() == form::Kind::Image) {
      pictures_.draw(dc, c.spec().picture, rect.left, rect.top, dpi_);
      continue;
    }
    if (c.BackStyle() == 1) fillRect(dc, rect, colorOf(c.spec().backColor));
    if (c.Caption().empty()) continue;
    const SelectedObject selected(dc, font(c.spec().font));
    SetTextColor(dc, colorOf(c.spec().foreColor));
    SetBkMode(dc, TRANSPARENT);
    RECT textRect = rect;
    const std::wstring caption = widen(c.Caption());
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &textRect,
              DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP |
                  (c.spec().alignment == form::Align::Center ? DT_CENTER : DT_LEFT));
  }
}

void FormHost::paintFrame(const form::Control& frame, HDC dc, const RECT& client) {
  fillRect(dc, client, colorOf(frame.spec().backColor));
  const SelectedObject selected(dc, font(frame.spec().font));
  const std::wstring caption = widen(frame.Caption());
  RECT textRect{0, 0, 0, 0};
  DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &textRect, DT_CALCRECT | DT_SINGLELINE);
  // A flat, single-line border with the caption set into its top edge.
  const int top = textRect.bottom / 2;
  UniqueBrush border(CreateSolidBrush(GetSysColor(COLOR_BTNSHADOW)));
  const RECT line{client.left, client.top + top, client.right, client.bottom};
  FrameRect(dc, &line, border.get());
  const int inset = px(120);
  RECT captionRect{inset, 0, inset + textRect.right + px(60), textRect.bottom};
  fillRect(dc, captionRect, colorOf(frame.spec().backColor));
  captionRect.left += px(30);
  SetTextColor(dc, colorOf(frame.spec().foreColor));
  SetBkMode(dc, TRANSPARENT);
  DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &captionRect, DT_SINGLELINE | DT_NOPREFIX);
}

void FormHost::paintSurface(form::Control& surface, HDC dc, const RECT& client) {
  if (surface.kind() == form::Kind::Frame) {
    paintFrame(surface, dc, client);
  } else {
    fillRect(dc, client, RGB(255, 255, 255));
    if (pictures_.has(surface.spec().picture, dpi_)) {
      pictures_.drawInto(dc, surface.spec().picture, client, dpi_);
    } else {
      UniqueBrush frame(CreateSolidBrush(RGB(100, 100, 100)));
      FrameRect(dc, &client, frame.get());
    }
  }
  paintWindowless(surface, dc, 0, 0);
}

// ---- Mouse ----

POINT FormHost::topClientPoint(HWND surfaceWindow, LPARAM lParam) const {
  POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  MapWindowPoints(surfaceWindow, top_.get(), &point, 1);
  return point;
}

form::Control* FormHost::controlAt(const form::Control&, POINT pixel) const {
  return form_.hitTest(twips(pixel.x), twips(pixel.y));
}

form::MouseEvent FormHost::mouseEvent(const form::Control& target, HWND surfaceWindow, WPARAM wParam,
                                      LPARAM lParam) const {
  const POINT point = topClientPoint(surfaceWindow, lParam);
  const float scale = 1440.0f / static_cast<float>(dpi_);
  return {buttonsOf(wParam), shiftState(),
          static_cast<float>(point.x) * scale - static_cast<float>(target.absoluteLeft()),
          static_cast<float>(point.y) * scale - static_cast<float>(target.absoluteTop())};
}

void FormHost::mouseDown(form::Control& surface, HWND hwnd, WPARAM wParam, LPARAM lParam, int button) {
  hideToolTip();
  const POINT point = topClientPoint(hwnd, lParam);
  form::Control* target = controlAt(surface, point);
  if (!target) return;
  if (surface.focusable()) form_.setFocus(&surface);
  pressed_ = target;
  SetCapture(hwnd);
  if (target->MouseDown) {
    form::MouseEvent e = mouseEvent(*target, hwnd, wParam, lParam);
    e.button = button;
    target->MouseDown(e);
  }
}

void FormHost::mouseMove(form::Control& surface, HWND hwnd, WPARAM wParam, LPARAM lParam) {
  const POINT point = topClientPoint(hwnd, lParam);
  // While a button is held the control that took the press keeps getting the moves.
  form::Control* target = pressed_ ? pressed_ : controlAt(surface, point);
  if (target && target->MouseMove) target->MouseMove(mouseEvent(*target, hwnd, wParam, lParam));

  form::Control* under = controlAt(surface, point);
  if (under != hovered_) {
    hideToolTip();
    hovered_ = under;
    TRACKMOUSEEVENT track{sizeof(track), TME_HOVER | TME_LEAVE, hwnd, HOVER_DEFAULT};
    TrackMouseEvent(&track);
  }
}

void FormHost::mouseUp(form::Control& surface, HWND hwnd, WPARAM wParam, LPARAM lParam, int button) {
  form::Control* target = pressed_;
  pressed_ = nullptr;
  if (GetCapture() == hwnd) ReleaseCapture();
  if (!target) return;
  if (target->MouseUp) {
    form::MouseEvent e = mouseEvent(*target, hwnd, wParam, lParam);
    e.button = button;
    target->MouseUp(e);
  }
  const POINT point = topClientPoint(hwnd, lParam);
  // A click is a left press and release on the same control.
  if (button == 1 && target->Click && controlAt(surface, point) == target) target->Click();
}

// The tool tip is an owned, topmost pop-up. It is made on the first hover, long after start-up has pinned the
// main window: an owned topmost pop-up that already exists keeps Wine from putting its owner in the topmost
// band.
void FormHost::createToolTip() {
  toolTip_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                 WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, 0, 0, 0, 0, top_.get(), nullptr,
                                 instance_, nullptr));
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
  tool.hwnd = top_.get();
  tool.uId = 1;
  tool.lpszText = const_cast<wchar_t*>(L"");
  SendMessageW(toolTip_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  SendMessageW(toolTip_.get(), WM_SETFONT, reinterpret_cast<WPARAM>(font(kToolTipFont)), FALSE);
}

void FormHost::hover(form::Control& surface, HWND hwnd, LPARAM lParam) {
  const POINT point = topClientPoint(hwnd, lParam);
  form::Control* under = controlAt(surface, point);
  hovered_ = under;
  if (!under || under->ToolTipText().empty() || pressed_) return;
  if (!toolTip_) createToolTip();
  toolTipText_ = widen(under->ToolTipText());
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.hwnd = top_.get();
  tool.uId = 1;
  tool.lpszText = toolTipText_.data();
  SendMessageW(toolTip_.get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  POINT cursor;
  GetCursorPos(&cursor);
  SendMessageW(toolTip_.get(), TTM_TRACKPOSITION, 0, MAKELPARAM(cursor.x + px(180), cursor.y + px(300)));
  SendMessageW(toolTip_.get(), TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
}

void FormHost::hideToolTip() {
  if (!toolTip_) return;
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.hwnd = top_.get();
  tool.uId = 1;
  SendMessageW(toolTip_.get(), TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
}

// ---- Scroll bars ----

// The value changes after a click on an arrow or the track, or when a dragged thumb is let go; while the
// thumb is being dragged only the thumb moves.
void FormHost::scroll(form::Control& bar, WPARAM wParam) {
  const auto& spec = bar.spec();
  int value = bar.Value();
  switch (LOWORD(wParam)) {
    case SB_LINELEFT:
      value -= spec.smallChange;
      break;
    case SB_LINERIGHT:
      value += spec.smallChange;
      break;
    case SB_PAGELEFT:
      value -= spec.largeChange;
      break;
    case SB_PAGERIGHT:
      value += spec.largeChange;
      break;
    case SB_LEFT:
      value = spec.min;
      break;
    case SB_RIGHT:
      value = spec.max;
      break;
    case SB_THUMBTRACK:
      SetScrollPos(windows_[&bar], SB_CTL, HIWORD(wParam), TRUE);
      return;
    case SB_THUMBPOSITION:
      value = HIWORD(wParam);
      break;
    default:
      return;
  }
  bar.SetValue(value);
  SetScrollPos(windows_[&bar], SB_CTL, bar.Value(), TRUE);
}

// ---- Window procedures ----

LRESULT CALLBACK FormHost::topProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  FormHost* host = reinterpret_cast<FormHost*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!host) return DefWindowProcW(hwnd, msg, wParam, lParam);
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
      applyDpi(HIWORD(wParam));
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(hwnd, nullptr, suggested->left, suggested->top, px(form_.ScaleWidth()),
                   px(form_.ScaleHeight()), SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
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
    case WM_INPUT:
      if (onRawInput) onRawInput(lParam);
      return DefWindowProcW(hwnd, msg, wParam, lParam);
    case WM_DESTROY:
      if (onUnload) onUnload();
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

LRESULT CALLBACK FormHost::surfaceProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  FormHost* host = hostOf(hwnd);
  auto* surface = reinterpret_cast<form::Control*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!host || !surface) return DefWindowProcW(hwnd, msg, wParam, lParam);
  try {
    return host->handleSurface(*surface, hwnd, msg, wParam, lParam);
  } catch (...) {
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

LRESULT FormHost::handleSurface(form::Control& surface, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      const PaintScope paint(hwnd);
      RECT client;
      GetClientRect(hwnd, &client);
      // Drawn off screen first, so the skin and its labels never flicker.
      UniqueMemoryDc buffer(CreateCompatibleDC(paint.dc()));
      UniqueBitmap bitmap(CreateCompatibleBitmap(paint.dc(), client.right, client.bottom));
      {
        const SelectedObject selected(buffer.get(), bitmap.get());
        paintSurface(surface, buffer.get(), client);
        BitBlt(paint.dc(), 0, 0, client.right, client.bottom, buffer.get(), 0, 0, SRCCOPY);
      }
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      mouseDown(surface, hwnd, wParam, lParam, buttonOfMessage(msg));
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      mouseUp(surface, hwnd, wParam, lParam, buttonOfMessage(msg));
      return 0;
    case WM_CAPTURECHANGED:
      pressed_ = nullptr;
      return 0;
    case WM_MOUSEMOVE:
      mouseMove(surface, hwnd, wParam, lParam);
      return 0;
    case WM_MOUSEHOVER:
      hover(surface, hwnd, lParam);
      return 0;
    case WM_MOUSELEAVE:
      hideToolTip();
      hovered_ = nullptr;
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT) {
        POINT cursor;
        GetCursorPos(&cursor);
        ScreenToClient(top_.get(), &cursor);
        const form::Control* under = controlAt(surface, cursor);
        SetCursor(under && under->MousePointer() == form::Pointer::Hand ? hand_
                                                                        : LoadCursorW(nullptr, IDC_ARROW));
        return TRUE;
      }
      break;
    case WM_GETDLGCODE:
      return DLGC_WANTALLKEYS;
    case WM_SETFOCUS:
      form_.setFocus(&surface);
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_TAB) {
        tabFrom(hwnd, GetKeyState(VK_SHIFT) < 0);
      } else if (form_.focused() == &surface) {
        form_.keyDown(static_cast<int>(wParam), shiftState());
      }
      return 0;
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) {
        if (form::Control* box = controlOf(reinterpret_cast<HWND>(lParam))) {
          box->SetValue(SendMessageW(reinterpret_cast<HWND>(lParam), BM_GETCHECK, 0, 0) == BST_CHECKED ? 1
                                                                                                       : 0);
        }
      }
      return 0;
    case WM_HSCROLL:
      if (form::Control* bar = controlOf(reinterpret_cast<HWND>(lParam))) scroll(*bar, wParam);
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      if (form::Control* child = controlOf(reinterpret_cast<HWND>(lParam))) {
        const HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, colorOf(child->spec().foreColor));
        SetBkColor(dc, colorOf(child->spec().backColor));
        if (!windowBrush_) windowBrush_.reset(CreateSolidBrush(GetSysColor(COLOR_WINDOW)));
        return reinterpret_cast<LRESULT>(windowBrush_.get());
      }
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK FormHost::childSubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                             DWORD_PTR refData) noexcept {
  auto* host = reinterpret_cast<FormHost*>(refData);
  try {
    if (msg == WM_KEYDOWN && wParam == VK_TAB) {
      host->tabFrom(hwnd, GetKeyState(VK_SHIFT) < 0);
      return 0;
    }
    if (msg == WM_SETFOCUS) {
      if (form::Control* control = host->controlOf(hwnd)) host->form_.setFocus(control);
    }
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, &FormHost::childSubclassProc, kChildSubclassId);
  } catch (...) {
    // Nothing may unwind through user32.
  }
  return DefSubclassProc(hwnd, msg, wParam, lParam);
}

}  // namespace win32
