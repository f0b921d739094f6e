// Main: the program's one window. Holds the controls, runs start-up and shutdown, and handles every event.
// Its handlers live in three rooms: main_window.cpp (start-up, shutdown, keys, the save chord), choices.cpp
// (tiles, browser families and the stored choices) and panel.cpp (moving, minimising and the settings
// panel: opacity, pins, delay, starting with the session).
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "platform/form/form.h"
#include "platform/monitors.h"
#include "platform/platform.h"
#include "refresh/families.h"
#include "refresh/save_chord.h"
#include "settings/stored.h"

namespace ui {

using refresh::Tile;

class Main {
 public:
  explicit Main(platform::Platform& platform);
  Main(const Main&) = delete;
  Main& operator=(const Main&) = delete;

  form::Form& form() { return form_; }
  form::Control& control(std::string_view name) { return form_.control(name); }

  // ---- Start-up and shutdown (main_window.cpp).
  // Before the window is made: where it opens on these monitors, from the place the user left it or else the
  // middle of the primary monitor. The host then makes the window there.
  void placeWindow(std::span<const platform::Monitor> monitors);
  // Once the host has made the window: a second copy ends here; the first pins itself above other windows,
  // applies the stored choices (or a first start's) and starts watching for the save chord.
  void start();
  // The window was closed by other means than the program's own marks (Alt+F4, the system).
  void windowClosed();
  // The close mark, the word Exit and Esc.
  void quit();
  // A key on the background: Esc ends the program, the digits set the window's own opacity.
  void keyPressed(int key);

  // ---- The save chord (main_window.cpp).
  // Refreshes the ticked tiles' browsers now, or once the delay has passed without another save.
  void saved();
  void refreshTickedBrowsers();
  bool refreshWaiting() const { return delayedRefresh_ != nullptr; }

  // ---- Choices (choices.cpp).
  void setTileTicked(Tile tile, bool ticked);
  void toggleAutoRefresh();
  void turnAutoRefreshOff();
  // The menu of the tile's family, each browser with a check mark; choosing one flips it.
  void showFamilyMenu(Tile tile);
  void toggleBrowser(platform::Browser browser);
  bool tileTicked(Tile tile) const;
  const settings::BrowserChoice& browserChoice() const { return browsers_; }

  // ---- Moving, minimising and the settings panel (panel.cpp).
  void startDrag(const form::MouseEvent& e);
  void followDrag();
  void endDrag();
  void minimize();
  void openPanel();
  void closePanel();
  // The window's opacity; an empty id is the program's own window.
  void setOpacity(platform::WindowId window, int alpha);
  void opacitySliderMoved(Tile tile);
  // Each pin box, applied again to its tile's frontmost frame: pinned above other windows or released.
  void applyPins();
  void delaySliderMoved();
  void startWithSessionClicked();

 private:
  void bindEvents();
  void applySelection(const settings::Selection& selection);
  settings::Selection selection() const;
  void showTicked(form::Control& box, form::Control& tick, bool ticked);
  void showAutoRefresh(bool on);
  void showBrowserChoice();
  void showDelay();
  // The browsers chosen for the tile, in its family's order.
  std::vector<platform::Browser> chosenBrowsers(Tile tile) const;
  // The tile's three controls: the label over its logo (a click ticks), the tick shown over it when ticked
  // (a click unticks) and the hidden box that holds the choice.
  form::Control& tileLabel(Tile tile) const;
  form::Control& tileTick(Tile tile) const;
  form::Control& tileBox(Tile tile) const;

  platform::Platform& platform_;
  form::Form form_;
  refresh::SaveChordWatcher watcher_;
  settings::BrowserChoice browsers_;
  std::chrono::milliseconds delay_{};
  std::unique_ptr<platform::Timer> delayedRefresh_;
  bool loading_ = false;  // applying stored values, which must not be written back

  bool dragging_ = false;
  // The grab point, from the window's corner, and the window's place, in physical pixels: a drag onto a
  // monitor of another scale keeps the pointer on the same pixel of the window's corner, so the window
  // neither jumps nor bounces back. Held wide so that a drag far off screen neither wraps nor fails.
  platform::PixelPoint grab_;
  platform::PixelPoint pressedAt_;  // where the window was when the drag began
};

}  // namespace ui
