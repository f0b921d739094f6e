// The choices of the main window: which tiles are ticked, whether automatic refresh is on, which browsers
// each tile stands for, and how they are kept in the store. Every change the user makes is stored at once.
#include <algorithm>

#include "ui/main_window.h"

namespace ui {

namespace {

struct TileControls {
  std::string_view label, tick, box;
};
// Indexed by Tile.
constexpr std::array<TileControls, refresh::kTiles.size()> kTileControls = {{
    {"ieTile", "ieTick", "ieBox"},
    {"chromeTile", "chromeTick", "chromeBox"},
    {"firefoxTile", "firefoxTick", "firefoxBox"},
    {"operaTile", "operaTick", "operaBox"},
}};

// Indexed by platform::Browser.
constexpr std::array<std::string_view, platform::kBrowserCount> kBrowserNames = {"Google Chrome / Chromium",
                                                                                 "Microsoft Edge",
                                                                                 "Brave",
                                                                                 "Vivaldi",
                                                                                 "Firefox",
                                                                                 "LibreWolf",
                                                                                 "Waterfox",
                                                                                 "Zen",
                                                                                 "Opera",
                                                                                 "Internet Explorer"};

std::string_view nameOf(platform::Browser browser) {
  return kBrowserNames[static_cast<std::size_t>(browser)];
}

}  // namespace

form::Control& Main::tileLabel(Tile tile) const {
  return form_.control(kTileControls[static_cast<std::size_t>(tile)].label);
}
form::Control& Main::tileTick(Tile tile) const {
  return form_.control(kTileControls[static_cast<std::size_t>(tile)].tick);
}
form::Control& Main::tileBox(Tile tile) const {
  return form_.control(kTileControls[static_cast<std::size_t>(tile)].box);
}

bool Main::tileTicked(Tile tile) const { return tileBox(tile).value() == 1; }

// ---- Ticks ----

void Main::showTicked(form::Control& box, form::Control& tick, bool ticked) {
  box.setValue(ticked ? 1 : 0);
  tick.setVisible(ticked);
}

void Main::showAutoRefresh(bool on) {
  showTicked(form_.control("autoRefreshBox"), form_.control("autoRefreshTick"), on);
  if (on) {
    watcher_.start();
  } else {
    watcher_.stop();
  }
}

settings::Selection Main::selection() const {
  settings::Selection selection{.autoRefresh = form_.control("autoRefreshBox").value() == 1};
  for (Tile tile : refresh::kTiles) selection.tiles[static_cast<std::size_t>(tile)] = tileTicked(tile);
  return selection;
}

// What is stored is the user's last choice, an empty one included: it is applied as it is.
void Main::applySelection(const settings::Selection& selection) {
  for (Tile tile : refresh::kTiles) {
    showTicked(tileBox(tile), tileTick(tile), selection.tiles[static_cast<std::size_t>(tile)]);
  }
  showAutoRefresh(selection.autoRefresh);
}

void Main::setTileTicked(Tile tile, bool ticked) {
  showTicked(tileBox(tile), tileTick(tile), ticked);
  settings::writeSelection(platform_.settings, selection());
}

void Main::toggleAutoRefresh() {
  showAutoRefresh(form_.control("autoRefreshBox").value() != 1);
  settings::writeSelection(platform_.settings, selection());
}

void Main::turnAutoRefreshOff() {
  showAutoRefresh(false);
  settings::writeSelection(platform_.settings, selection());
}

// ---- Browser families ----

std::vector<platform::Browser> Main::chosenBrowsers(Tile tile) const {
  std::vector<platform::Browser> browsers;
  for (platform::Browser browser : refresh::familyOf(tile)) {
    if (settings::chosen(browsers_, browser)) browsers.push_back(browser);
  }
  return browsers;
}

void Main::showFamilyMenu(Tile tile) {
  std::vector<form::MenuItem> items;
  const std::span<const platform::Browser> family = refresh::familyOf(tile);
  for (platform::Browser browser : family) {
    items.push_back({std::string(nameOf(browser)), settings::chosen(browsers_, browser)});
  }
  const std::vector<platform::Browser> offered(family.begin(), family.end());
  form_.showMenu(std::move(items), [this, offered](std::size_t index) {
    if (index < offered.size()) toggleBrowser(offered[index]);
  });
}

void Main::toggleBrowser(platform::Browser browser) {
  browsers_.flip(static_cast<std::size_t>(browser));
  settings::writeBrowserChoice(platform_.settings, browsers_);
  showBrowserChoice();
}

// Each tile's tool tip names what it refreshes; a tile of several browsers says how to choose them.
void Main::showBrowserChoice() {
  for (Tile tile : refresh::kTiles) {
    std::string names;
    for (platform::Browser browser : chosenBrowsers(tile)) {
      names += (names.empty() ? "" : "、") + std::string(nameOf(browser));
    }
    std::string tip = "点击勾选\n刷新：" + (names.empty() ? std::string("（未选择浏览器）") : names);
    if (refresh::familyOf(tile).size() > 1) tip += "\n右键单击选择浏览器";
    tileLabel(tile).setToolTip(tip);
    tileTick(tile).setToolTip(tip);
  }
}

}  // namespace ui
