// The Win32 host of the form model: turns the model into a real borderless top-level window, paints the skin
// and every windowless control, makes real child windows of the windowed ones, and feeds mouse, keyboard and
// focus back into the model.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <utility>

#include "platform/form/form.h"
#include "platform/win32/handles.h"
#include "platform/win32/pictures.h"

namespace win32 {

class FormHost {
 public:
  static constexpr wchar_t kWindowClass[] = L"VaskF5Main";

  FormHost(HINSTANCE instance, form::Form& form);
  FormHost(const FormHost&) = delete;
  FormHost& operator=(const FormHost&) = delete;
  ~FormHost();

  // Creates every window, hidden, and hands the top-level handle to the form. False when that fails.
  bool create();
  // Shows the window for the first time.
  void show();
  // Runs the message loop until the window is gone; returns the exit code.
  int run();

  HWND hwnd() const { return top_.get(); }
  UINT dpi() const { return dpi_; }

  // Runs when the window is closed by other means than the program's own links (Alt+F4, the system).
  std::function<void()> onUnload;
  // Receives the top-level window's raw input (WM_INPUT's lParam); the message then goes on to DefWindowProc.
  std::function<void(LPARAM)> onRawInput;

 private:
  static LRESULT CALLBACK topProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
  static LRESULT CALLBACK surfaceProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
  static LRESULT CALLBACK childSubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                            DWORD_PTR refData) noexcept;
  LRESULT handleTop(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT handleSurface(form::Control& surface, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  void registerClasses();
  void createChildren(form::Control& control, HWND parent);
  void stackChildren(const form::Control& container);
  void applyDpi(UINT dpi);
  void placeChild(form::Control& control);
  void realize(form::Control& control);
  void layoutWindows(form::Control& control);
  void fitLabels();
  HFONT font(const form::Font& face);

  void paintSurface(form::Control& surface, HDC dc, const RECT& client);
  void paintWindowless(const form::Control& container, HDC dc, int originX, int originY);
  void paintFrame(const form::Control& frame, HDC dc, const RECT& client);

  void onControlChanged(form::Control& control, form::Property property);
  void onMoved();
  void onWindowStateChanged();
  void onFocusChanged(form::Control& control);
  void invalidate(const form::Control& control);

  // Mouse on a painted surface: which control takes it, dragging, clicks, the pointer and the tool tip.
  // A mouse message's point, in the top-level window's client pixels.
  POINT topClientPoint(HWND surfaceWindow, LPARAM lParam) const;
  form::Control* controlAt(const form::Control& surface, POINT pixel) const;
  form::MouseEvent mouseEvent(const form::Control& target, HWND surfaceWindow, WPARAM wParam,
                              LPARAM lParam) const;
  void mouseDown(form::Control& surface, HWND hwnd, WPARAM wParam, LPARAM lParam, int button);
  void mouseMove(form::Control& surface, HWND hwnd, WPARAM wParam, LPARAM lParam);
  void mouseUp(form::Control& surface, HWND hwnd, WPARAM wParam, LPARAM lParam, int button);
  void hover(form::Control& surface, HWND hwnd, LPARAM lParam);
  void hideToolTip();
  void createToolTip();

  void scroll(form::Control& bar, WPARAM wParam);
  void tabFrom(HWND hwnd, bool backwards);
  void giveTaskbarButton(bool give);
  void applyWindowState();
  void syncPosition();

  int px(int twips) const { return MulDiv(twips, static_cast<int>(dpi_), 1440); }
  int twips(int pixels) const { return MulDiv(pixels, 1440, static_cast<int>(dpi_)); }
  form::Control* controlOf(HWND hwnd) const;

  HINSTANCE instance_;
  form::Form& form_;
  Pictures pictures_;
  UINT dpi_ = 96;
  UniqueWindow top_;
  UniqueWindow toolTip_;
  HCURSOR hand_ = nullptr;
  UniqueIcon iconBig_, iconSmall_;
  std::map<const form::Control*, HWND> windows_;
  std::map<std::pair<std::string, int>, UniqueFont> fonts_;
  UniqueFont defaultFont_;
  UniqueBrush windowBrush_;

  form::Control* pressed_ = nullptr;  // the control that took the last button press
  form::Control* hovered_ = nullptr;  // the control under the pointer, for the tool tip
  std::wstring toolTipText_;
  bool minimizing_ = false;
};

}  // namespace win32
