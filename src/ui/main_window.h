// Main: the program's one window. Holds the controls, runs start-up and shutdown, and handles every event.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/form/form.h"
#include "platform/monitors.h"
#include "platform/platform.h"
#include "refresh/dispatch.h"
#include "refresh/hotkey.h"
#include "settings/selection.h"

namespace ui {

class Main {
 public:
  explicit Main(platform::Platform& platform);
  Main(const Main&) = delete;
  Main& operator=(const Main&) = delete;

  form::Form& form() { return form_; }
  form::Control& control(std::string_view name) { return form_.control(name); }
  hotkey::Watcher& watcher() { return watcher_; }

  // Start-up and shutdown.
  // Before the window is made: where it opens on these monitors, from the place the user left it (read from
  // the store) or else the middle of the primary monitor. The host then makes the window there.
  void placeWindow(std::span<const platform::Monitor> monitors);
  void Form_Load();
  void Form_Unload();
  void close_lnk_Click();
  void exit_lnk_Click();
  void MainBg_KeyDown(int keyCode, int shift);

  // Refresh.
  void sendF5();
  void sendF5Key(platform::Hwnd hwnd);

  // Stored selection.
  // The stored selection, which may be empty; nothing when none is stored (a first start).
  std::optional<std::string> getSettings();
  void saveSettings();
  // Applies a stored selection to the ticks as it is, without writing anything back.
  void loadSetting(std::string_view stored);

  // Selection toggles.
  void ie_check_Click();
  void ie_checked_Click();
  void chrome_check_Click();
  void chrome_checked_Click();
  void firefox_check_Click();
  void firefox_checked_Click();
  void opera_check_Click();
  void opera_checked_Click();
  void opera_chk_Click();
  void auto_lbl_Click();
  void auto_check_Click();

  // Moving, minimising and the settings panel.
  void MainBg_MouseDown(const form::MouseEvent& e);
  void MainBg_MouseMove(const form::MouseEvent& e);
  void MainBg_MouseUp(const form::MouseEvent& e);
  void setting_frame_MouseDown(const form::MouseEvent& e);
  void setting_frame_MouseMove(const form::MouseEvent& e);
  void setting_frame_MouseUp(const form::MouseEvent& e);
  void min_lnk_Click();
  void setting_btn_Click();
  void close_setting_btn_Click();

  // Window appearance.
  void setOpacity(platform::Hwnd getLng, int num);
  void IEHScroll_Change();
  void CHHScroll_Change();
  void FFHScroll_Change();
  void setAllTopMost();
  void IETopmostChk_Click();
  void CHTopmostChk_Click();
  void FFTopmostChk_Click();

  bool isDragging() const { return isDragging_; }

 private:
  void bindEvents();
  void endProgram();
  // Ticks or unticks one choice: its value box, its tick picture, then the store.
  void setChoice(form::Control& box, form::Control& tick, int value);
  static void showChoice(form::Control& box, form::Control& tick, int value);
  void sliderChanged(BrowserKind browser, const form::Control& slider);
  refresh::BrowserTicks browserTicks() const;
  settings::Ticks selectionTicks() const;

  platform::Platform& platform_;
  form::Form form_;
  hotkey::Watcher watcher_;

  form::Control& MainBg;
  form::Control& handle_lbl;
  form::Control& setting_frame;
  form::Control& ie_chk;
  form::Control& chrome_chk;
  form::Control& firefox_chk;
  form::Control& opera_chk;
  form::Control& auto_chk;
  form::Control& ie_checked;
  form::Control& chrome_checked;
  form::Control& firefox_checked;
  form::Control& opera_checked;
  form::Control& auto_check;

  bool isDragging_ = false;
  // The grab point, from the window's corner, and the window's place, in physical pixels: a drag onto a
  // monitor of another scale keeps the pointer on the same pixel of the window's corner, so the window
  // neither jumps nor bounces back. Held wide so that a drag far off screen neither wraps nor fails.
  std::int64_t downX_ = 0, downY_ = 0;
  std::int64_t newLeft_ = 0, newTop_ = 0;
  platform::PixelPoint pressedAt_;  // where the window was when the drag began
};

}  // namespace ui
