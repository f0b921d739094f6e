// The Win32 host of the form model: a real borderless top-level window, real child windows for the windowed
// controls, and painting of the skin and the windowless controls. It translates window messages into the
// model's input calls and applies the model's state; what a click, a drag, a tab or a toggle is, the model
// decides.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>

#include "platform/form/form.h"
#include "platform/form/host_options.h"
#include "platform/win32/fonts.h"
#include "platform/win32/handles.h"
#include "platform/win32/pictures.h"
#include "platform/win32/tool_tip.h"

namespace win32 {

// A window coordinate in pixels, clamped well inside what window managers handle.
int screenCoordinate(std::int64_t pixels);

class FormHost {
 public:
  FormHost(HINSTANCE instance, form::Form& form, const form::HostOptions& options);
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

  // Runs when the window is closed by other means than the program's own links (Alt+F4, the system).
  std::function<void()> onUnload;
  // Receives the top-level window's raw input (WM_INPUT's lParam); the message then goes on to DefWindowProc.
  std::function<void(LPARAM)> onRawInput;
  // Receives the top-level window's timers (WM_TIMER's id).
  std::function<void(UINT_PTR)> onTimer;

 private:
  static constexpr UINT_PTR kNativeSubclassId = 1;
  // Posted to the top-level window to apply the model's window state from the message loop.
  static constexpr UINT kApplyWindowState = WM_APP + 1;

  static LRESULT CALLBACK topProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
  static LRESULT CALLBACK surfaceProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
  static LRESULT CALLBACK nativeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                     DWORD_PTR refData) noexcept;
  LRESULT handleTop(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT handleSurface(form::Control& surface, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT handleNative(form::Control& control, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  // Window messages to model calls (form_host_input.cpp). mouseInput is true when the message was a mouse
  // message, which the model has taken.
  bool mouseInput(HWND from, UINT msg, WPARAM wParam, LPARAM lParam);
  void keyInput(UINT msg, WPARAM wParam);
  void captureChanged(HWND hwnd, LPARAM lParam);
  void trackHover(HWND from, float x, float y);
  void hover();
  bool setCursor();
  void scrolled(HWND bar, WPARAM wParam);

  // The model's state to windows (form_host_sync.cpp).
  void registerClasses();
  void createWindows(form::Control& control, HWND parent);
  void stackChildren(const form::Control& container);
  void realize(form::Control& control);
  void applyDpi(UINT dpi);
  void layoutWindows(form::Control& control);
  void placeChild(form::Control& control);
  void invalidate(const form::Control& control);
  void onControlChanged(form::Control& control, form::Property property);
  void onMoved();
  void onWindowStateChanged();
  void applyWindowState();
  void giveTaskbarButton(bool give);
  void onFocusChanged(form::Control& control);
  void onCaptureChanged(bool captured);
  void syncPosition();
  void paint(const form::Control& surface, HWND hwnd);

  HWND windowOf(const form::Control& control) const;
  form::Control* controlOf(HWND hwnd) const;
  int px(int twips) const { return MulDiv(twips, static_cast<int>(dpi_), 1440); }
  int twips(int pixels) const { return MulDiv(pixels, 1440, static_cast<int>(dpi_)); }

  HINSTANCE instance_;
  form::Form& form_;
  const form::HostOptions& options_;
  std::wstring windowClass_, surfaceClass_;
  Pictures pictures_;
  Fonts fonts_;
  ToolTip toolTip_;
  UINT dpi_ = 96;
  UniqueWindow top_;
  HCURSOR hand_ = nullptr;
  UniqueBrush windowBrush_;
  std::map<const form::Control*, HWND> windows_;

  HWND pressedIn_ = nullptr;                // the window of the latest press, which takes the pointer capture
  HWND captureWindow_ = nullptr;            // the window holding the capture for the model
  const form::Control* hovered_ = nullptr;  // the control under the pointer, for the tool tip
  bool minimizing_ = false;
};

}  // namespace win32
