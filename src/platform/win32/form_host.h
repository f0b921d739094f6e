// The Win32 host of the form model: a real borderless top-level window, real child windows for the windowed
// controls, and painting of the skin and the windowless controls. It translates window messages into the
// model's input calls and applies the model's state; what a click, a drag, a tab or a toggle is, the model
// decides, and which change touches which window, form::HostWindows.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "platform/form/form.h"
#include "platform/form/host_options.h"
#include "platform/form/host_windows.h"
#include "platform/win32/fonts.h"
#include "platform/win32/handles.h"
#include "platform/win32/pictures.h"
#include "platform/win32/tool_tip.h"

namespace win32 {

class FormHost final : public form::HostWindows<HWND> {
 public:
  FormHost(HINSTANCE instance, form::Form& form, const form::HostOptions& options);
  ~FormHost() override;

  // Creates every window, hidden, and hands the top-level handle to the form. False when that fails.
  bool create();
  // Shows the window for the first time.
  void show();
  // Runs the message loop until the program quits; returns the exit code.
  int run();

  HWND hwnd() const { return top_.get(); }

  // Runs when the window is closed by other means than the program's own links (Alt+F4, the system).
  std::function<void()> onClosed;

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
  form::Control* controlAtCursor(POINT* screen = nullptr) const;
  void trackHover(HWND from, float x, float y);
  void hover();
  void showToolTip(const form::Control& control, POINT cursor);
  bool setCursor();
  void scrolled(HWND bar, WPARAM wParam);
  void showMenu(const std::vector<form::MenuItem>& items, const std::function<void(std::size_t)>& chosen);

  // The model's state to windows (form_host_sync.cpp).
  void registerClasses();
  void createWindows(form::Control& control, HWND parent);
  void stackChildren(const form::Control& container);
  void applyDpi(platform::Dpi dpi);
  void fitLabels();
  void layoutWindows(form::Control& control);
  void onControlChanged(form::Control& control, form::Property property);
  void onMoved();
  void onWindowStateChanged();
  void applyWindowState();
  void giveTaskbarButton(bool give);
  void onFocusChanged(form::Control& control);
  void onCaptureChanged(bool captured);
  void syncPosition();
  void paint(const form::Control& surface, HWND hwnd);

  // form::HostWindows' calls on native windows.
  void makeWindows(form::Control& control) override;
  void redraw(HWND window) override;
  void showWindow(HWND window, bool visible) override;
  void showValue(HWND window, const form::Control& control) override;
  void showCaption(HWND window, const form::Control& control) override;
  void placeWindow(HWND window, const form::Control& control) override;

  int px(int twips) const { return static_cast<int>(platform::toPixels(twips, dpi_)); }
  // A point of the top-level window's client area in the model's fractional twips.
  float twipsOf(int pixels) const {
    return static_cast<float>(pixels) * platform::kTwipsPerInch / static_cast<float>(dpi_.dots());
  }

  HINSTANCE instance_;
  form::Form& form_;
  const form::HostOptions& options_;
  std::wstring windowClass_, surfaceClass_;
  Pictures pictures_;
  Fonts fonts_;
  ToolTip toolTip_;
  platform::Dpi dpi_;
  UniqueWindow top_;
  HCURSOR hand_ = nullptr;
  UniqueBrush windowBrush_;

  HWND pressedIn_ = nullptr;                // the window of the latest press, which takes the pointer capture
  HWND captureWindow_ = nullptr;            // the window holding the capture for the model
  const form::Control* hovered_ = nullptr;  // the control under the pointer, for the tool tip
  const form::Control* tipShownFor_ = nullptr;
  bool minimizing_ = false;
};

}  // namespace win32
