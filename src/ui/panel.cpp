// Moving and minimising the borderless window, and its settings panel: each browser's opacity and pin box,
// the refresh delay and starting with the session. Opacity and pins are not stored.
#include <algorithm>
#include <cstdlib>
#include <utility>

#include "appearance/opacity.h"
#include "refresh/dispatch.h"
#include "ui/layout.h"
#include "ui/main_window.h"

namespace ui {

// ---- Moving and minimising ----

void Main::startDrag(const form::MouseEvent& e) {
  // The left button alone: pressed while another is held, it starts nothing.
  if (e.button != form::kLeftButton || e.buttons != form::kLeftButton) return;
  dragging_ = true;
  pressedAt_ = form_.position();
  const platform::PixelPoint pointer = form_.pointerOnScreen();
  grab_ = {pointer.x - pressedAt_.x, pointer.y - pressedAt_.y};
}

void Main::followDrag() {
  form_.pointer = form::Pointer::Default;
  if (!dragging_) return;
  // Shown smaller on a monitor of a lower scale, the window still lies under the pointer.
  const std::int64_t grabX = std::min(grab_.x, platform::toPixels(form_.clientWidth(), form_.dpi()) - 1);
  const std::int64_t grabY = std::min(grab_.y, platform::toPixels(form_.clientHeight(), form_.dpi()) - 1);
  const platform::PixelPoint pointer = form_.pointerOnScreen();
  form_.moveTo({pointer.x - grabX, pointer.y - grabY});
}

// Any release ends a drag, and a drag that moved the window stores where it was left, once.
void Main::endDrag() {
  if (!std::exchange(dragging_, false)) return;
  if (form_.position() != pressedAt_) settings::writePosition(platform_.settings, form_.position());
}

void Main::minimize() { form_.setWindowState(form::WindowState::Minimized); }

// ---- The panel ----

// The box shows whether the session starts this copy, as it is now: the user may have changed it elsewhere.
void Main::openPanel() {
  form_.control("startWithSession").setValue(platform_.process.startsWithSession() ? 1 : 0);
  form::Control& panel = form_.control("panel");
  panel.setTop(kPanelOpenTop);
  panel.setVisible(true);
}

void Main::closePanel() { form_.control("panel").setVisible(false); }

void Main::setOpacity(platform::WindowId window, int alpha) {
  appearance::setOpacity(platform_.desktop, window ? window : form_.window, alpha, form_.window);
}

// A slider acts on its tile's frontmost frame, or on the program's own window when none runs.
void Main::opacitySliderMoved(Tile tile) {
  const std::string_view slider = tile == Tile::InternetExplorer ? "ieOpacity"
                                  : tile == Tile::Chrome         ? "chromeOpacity"
                                                                 : "firefoxOpacity";
  const auto frame = refresh::frontmostFrame(platform_.desktop, chosenBrowsers(tile));
  setOpacity(frame ? frame->window : platform::WindowId{}, form_.control(slider).value());
}

void Main::applyPins() {
  for (auto [box, tile] : {std::pair{"iePin", Tile::InternetExplorer},
                           {"chromePin", Tile::Chrome},
                           {"firefoxPin", Tile::Firefox}}) {
    const auto frame = refresh::frontmostFrame(platform_.desktop, chosenBrowsers(tile));
    if (frame) platform_.desktop.setAbove(frame->window, form_.control(box).value() == 1);
  }
}

// The slider shows the step nearest to the delay, which may be any stored number of milliseconds.
void Main::showDelay() {
  const auto distance = [this](int step) { return std::abs(step - static_cast<int>(delay_.count())); };
  const auto nearest = std::ranges::min_element(kDelayStepsMs, {}, distance);
  form_.control("delay").setValue(static_cast<int>(nearest - kDelayStepsMs.begin()));
  form_.control("delayValue").setCaption(std::to_string(delay_.count()) + " 毫秒");
}

void Main::delaySliderMoved() {
  if (loading_) return;
  delay_ = std::chrono::milliseconds(kDelayStepsMs[static_cast<std::size_t>(form_.control("delay").value())]);
  settings::writeDelay(platform_.settings, delay_);
  showDelay();
}

// Opening the panel sets the box to the state found, which changes nothing; only a real change is written.
void Main::startWithSessionClicked() {
  const bool wanted = form_.control("startWithSession").value() == 1;
  if (wanted != platform_.process.startsWithSession()) platform_.process.setStartsWithSession(wanted);
}

}  // namespace ui
