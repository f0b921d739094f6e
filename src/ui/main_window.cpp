#include "ui/main_window.h"

#include <algorithm>
#include <utility>

#include "platform/form/placement.h"
#include "refresh/dispatch.h"
#include "ui/layout.h"

namespace ui {

namespace {

// Alpha set on the program's own window by the digit keys; top-row 7 sits between 6 and 8.
constexpr std::array<std::pair<int, int>, 20> kDigitAlpha = {{
    {48, 255},  {49, 40},   {50, 80},   {51, 120},  {52, 140},  {53, 160},  {54, 180},
    {55, 190},  {56, 200},  {57, 220},  {96, 255},  {97, 25},   {98, 50},   {99, 75},
    {100, 100}, {101, 125}, {102, 150}, {103, 175}, {104, 200}, {105, 225},
}};

}  // namespace

Main::Main(platform::Platform& platform)
    : platform_(platform),
      form_("Vask F5", kClientWidth, kClientHeight),
      watcher_(platform.keyboard, [this] { saved(); }),
      browsers_(settings::defaultBrowserChoice()) {
  buildLayout(form_);
  bindEvents();
  showBrowserChoice();
  showDelay();
  form_.focusFirst();
}

void Main::bindEvents() {
  const auto on = [this](std::string_view name, auto handler) { form_.control(name).onClick = handler; };
  on("closeMark", [this] { quit(); });
  on("exitWord", [this] { quit(); });
  on("autoRefreshLabel", [this] { toggleAutoRefresh(); });
  on("autoRefreshTick", [this] { turnAutoRefreshOff(); });
  on("minimizeMark", [this] { minimize(); });
  on("panelButton", [this] { openPanel(); });
  on("panelCloseMark", [this] { closePanel(); });
  for (std::string_view pin : {"iePin", "chromePin", "firefoxPin"}) on(pin, [this] { applyPins(); });
  on("startWithSession", [this] { startWithSessionClicked(); });
  for (Tile tile : refresh::kTiles) {
    form::Control& label = tileLabel(tile);
    form::Control& tick = tileTick(tile);
    label.onClick = [this, tile] { setTileTicked(tile, true); };
    tick.onClick = [this, tile] { setTileTicked(tile, false); };
    if (refresh::familyOf(tile).size() > 1) {
      label.onContextMenu = tick.onContextMenu = [this, tile] { showFamilyMenu(tile); };
    }
  }
  for (auto [slider, tile] : {std::pair{"ieOpacity", Tile::InternetExplorer},
                              {"chromeOpacity", Tile::Chrome},
                              {"firefoxOpacity", Tile::Firefox}}) {
    form_.control(slider).onChange = [this, tile] { opacitySliderMoved(tile); };
  }
  form_.control("delay").onChange = [this] { delaySliderMoved(); };

  form::Control& background = form_.control("background");
  background.onKeyDown = [this](int key, int) { keyPressed(key); };
  // The open panel drags the window as the background does.
  for (form::Control* surface : {&background, &form_.control("panel")}) {
    surface->onMouseDown = [this](const form::MouseEvent& e) { startDrag(e); };
    surface->onMouseMove = [this](const form::MouseEvent&) { followDrag(); };
    surface->onMouseUp = [this](const form::MouseEvent&) { endDrag(); };
  }
}

// ---- Start-up and shutdown ----

void Main::placeWindow(std::span<const platform::Monitor> monitors) {
  const form::Placement placement =
      form::startPlacement(settings::readPosition(platform_.settings), monitors, kClientWidth, kClientHeight);
  form_.setDpi(placement.dpi);
  form_.placedAt(placement.at);
}

void Main::start() {
  if (platform_.process.anotherCopyRuns()) {
    platform_.process.quit();
    return;
  }
  platform_.desktop.setAbove(form_.window, true);
  // The tiles are laid out opaque and shown transparent, so the skin's logos show through them.
  for (Tile tile : refresh::kTiles) tileLabel(tile).setOpaque(false);
  loading_ = true;
  browsers_ = settings::readBrowserChoice(platform_.settings);
  delay_ = settings::readDelay(platform_.settings);
  // First start: Chrome is the usual browser. The default is not stored until the user changes something.
  applySelection(
      settings::readSelection(platform_.settings)
          .value_or(settings::Selection{.tiles = {false, true, false, false}, .autoRefresh = true}));
  showBrowserChoice();
  showDelay();
  loading_ = false;
}

void Main::windowClosed() { watcher_.stop(); }

void Main::quit() {
  watcher_.stop();
  platform_.process.quit();
}

void Main::keyPressed(int key) {
  if (key == platform::kKeyEscape) {
    quit();
    return;
  }
  const auto* row =
      std::ranges::find_if(kDigitAlpha, [key](const auto& entry) { return entry.first == key; });
  if (row != kDigitAlpha.end()) setOpacity(form_.window, row->second);
}

// ---- The save chord ----

void Main::saved() {
  if (delay_.count() == 0) {
    refreshTickedBrowsers();
    return;
  }
  // A save during the wait starts it again: one refresh follows the last save.
  delayedRefresh_ = platform_.timers.once(delay_, [this] {
    const std::unique_ptr<platform::Timer> done = std::move(delayedRefresh_);
    refreshTickedBrowsers();
  });
}

void Main::refreshTickedBrowsers() {
  std::vector<std::vector<platform::Browser>> tiles;
  for (Tile tile : refresh::kTiles) {
    if (tileTicked(tile)) tiles.push_back(chosenBrowsers(tile));
  }
  const std::optional<platform::WindowId> last = refresh::refreshTicked(platform_.desktop, tiles);
  form_.control("status").setCaption(last ? "#" + std::to_string(last->value) : "");
}

}  // namespace ui
