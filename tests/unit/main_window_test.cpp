// The main window's behaviour as a user meets it: what a start applies, what each click does and stores,
// the family menus, the delay, starting with the session, the panel and the keyboard, and dragging.
#include <gtest/gtest.h>

#include <tuple>

#include "app_fixture.h"

namespace {

using platform::Browser;
using testing_app::Session;
using ui::Tile;
using Started = testing_app::Started;
using Moving = testing_app::App;

// What a start applies. A stored selection is the user's last choice, automatic refresh included: only exact
// tokens tick, and only an absent value is a first start (Chrome and automatic refresh). Stored browsers
// ignore unknown tokens, and Opera and Internet Explorer, alone in their tiles, cannot be unchosen. A delay
// is a whole number of milliseconds up to two seconds, anything else none. Nothing is written back; every
// start pins the window and makes the tiles transparent; a second copy ends without touching anything.
TEST(StartUp, StoredValues) {
  const struct {
    std::optional<std::string> apps, browsers, delay;
    const char *ticked, *chosen, *delayShown;
  } rows[] = {
      {{}, {}, {}, "chrome,autorefresh,", "chrome,firefox,opera,iexplore,", "0 毫秒"},
      {"", "", "600", "", "opera,iexplore,", "600 毫秒"},
      {",,,", "brave,zen,Chrome,safari,,brave", "2000", "", "brave,zen,opera,iexplore,", "2000 毫秒"},
      {"ie,firefox,autorefresh,", "msedge", "2001", "ie,firefox,autorefresh,", "msedge,opera,iexplore,",
       "0 毫秒"},
      {"opera,opera,", "vivaldi,librewolf,waterfox,", "-5", "opera,",
       "vivaldi,librewolf,waterfox,opera,iexplore,", "0 毫秒"},
      {"Chrome,IE,AUTOREFRESH, ie, chrome ,ie;,", "chrome,", "1e3", "", "chrome,opera,iexplore,", "0 毫秒"},
      {std::string("ie\0,firefox,", 12), {}, {}, "firefox,", "chrome,firefox,opera,iexplore,", "0 毫秒"},
      {std::string(40000, ',') + "ie,", {}, {}, "ie,", "chrome,firefox,opera,iexplore,", "0 毫秒"},
  };
  for (const auto& row : rows) {
    Session s;
    for (const auto& [key, value] :
         {std::pair{"Apps", row.apps}, {"Browsers", row.browsers}, {"Delay", row.delay}})
      if (value) s.p.settings.set(key, *value);
    s.main.start();
    std::string ticked;
    for (const char* token : {"ie", "chrome", "firefox", "opera"}) {
      ticked += s.value(std::string(token) + "Box") ? std::string(token) + "," : "";
      EXPECT_EQ(s.visible(std::string(token) + "Tick"), s.value(std::string(token) + "Box") == 1) << token;
      EXPECT_FALSE(s.main.control(std::string(token) + "Tile").opaque()) << token;
    }
    ticked += s.value("autoRefreshBox") ? "autorefresh," : "";
    EXPECT_EQ(ticked, row.ticked) << row.apps.value_or("nothing stored").substr(0, 40);
    EXPECT_EQ(s.visible("autoRefreshTick"), s.p.keyboard.watching());
    EXPECT_EQ(settings::formatBrowserChoice(s.main.browserChoice()), row.chosen)
        << row.browsers.value_or("-");
    EXPECT_EQ(s.main.control("delayValue").caption(), row.delayShown) << row.delay.value_or("-");
    EXPECT_EQ(s.p.settings.writes, 0);
    EXPECT_TRUE(s.p.wm.window(s.form.window.value)->exStyle & win32::kWsExTopmost);
  }
  Session second;
  second.p.process.anotherCopyRunning = true;
  second.p.settings.set("Apps", "ie,");
  second.main.start();
  EXPECT_TRUE(second.p.process.ended && !second.p.keyboard.watching() && second.value("ieBox") == 0);
  EXPECT_EQ(second.p.wm.window(second.form.window.value)->exStyle, 0) << "a second copy is not even pinned";
}

// Each click lands on a tile's label or its visible tick, or on automatic refresh's label or small tick,
// flips the choice and stores the whole selection at once; the watcher follows automatic refresh.
TEST_F(Started, Clicks) {
  const struct {
    const char *at, *took, *box;
    int value;
    const char* stored;
  } clicks[] = {
      {"firefoxTile", "firefoxTile", "firefoxBox", 1, "chrome,firefox,autorefresh,"},
      {"chromeTile", "chromeTick", "chromeBox", 0, "firefox,autorefresh,"},
      {"operaTile", "operaTile", "operaBox", 1, "firefox,opera,autorefresh,"},
      {"autoRefreshLabel", "autoRefreshLabel", "autoRefreshBox", 0, "firefox,opera,"},
      {"autoRefreshLabel", "autoRefreshLabel", "autoRefreshBox", 1, "firefox,opera,autorefresh,"},
      {"autoRefreshTick", "autoRefreshTick", "autoRefreshBox", 0, "firefox,opera,"},
      {"firefoxTile", "firefoxTick", "firefoxBox", 0, "opera,"},
  };
  for (const auto& c : clicks) {
    EXPECT_EQ(click(c.at), c.took) << c.stored;
    EXPECT_EQ(value(c.box), c.value) << c.stored;
    EXPECT_EQ(p.settings.get("Apps"), c.stored);
    EXPECT_EQ(p.keyboard.watching(), value("autoRefreshBox") == 1) << c.stored;
  }
  EXPECT_EQ(p.process.messages, 0) << "Opera is refreshed like the others, without a word";
  p.settings.refuseWrites = true;
  EXPECT_EQ(click("ieTile"), "ieTile");
  EXPECT_TRUE(value("ieBox") == 1 && visible("ieTick")) << "a refused write leaves the window's own state";
}

// A right click on the Chrome or Firefox tile (or its tick) offers the tile's family with check marks;
// choosing one flips it, stores the choice and changes what the tile refreshes (its tool tip says so, as the
// Wine tests show). Tiles of one browser have no menu.
TEST_F(Started, FamilyMenus) {
  std::string shown;
  std::function<void(std::size_t)> choose;
  form.onMenuRequested = [&](const std::vector<form::MenuItem>& items,
                             std::function<void(std::size_t)> chosen) {
    for (const auto& item : items) shown += (item.checked ? "[x] " : "[ ] ") + item.text + "; ";
    choose = std::move(chosen);
  };
  for (const char* tile : {"ieTile", "operaTile", "chromeTick"}) click(tile, form::kRightButton);
  EXPECT_EQ(shown, "[x] Google Chrome / Chromium; [ ] Microsoft Edge; [ ] Brave; [ ] Vivaldi; ");
  EXPECT_EQ(value("chromeBox"), 1) << "a right click does not untick";
  choose(1);
  EXPECT_EQ(p.settings.get("Browsers"), "chrome,msedge,firefox,opera,iexplore,");
  const auto edge = p.wm.openBrowser(Browser::Edge);
  save();
  EXPECT_EQ(p.wm.posted(edge).size(), 2u) << "Edge is refreshed from now on";
  shown.clear();
  click("firefoxTile", form::kRightButton);
  EXPECT_EQ(shown, "[x] Firefox; [ ] LibreWolf; [ ] Waterfox; [ ] Zen; ");
  choose(0);
  EXPECT_EQ(main.control("firefoxTile").toolTip().find("Firefox"), std::string::npos) << "none chosen";
}

// The refresh follows the last save by the delay: nothing before it, one refresh however many saves came
// during the wait, looked up when it goes out. The slider stores its step.
TEST(Delay, WaitsForTheLastSave) {
  Session s;
  s.p.settings.set("Delay", "600");
  s.main.start();
  const auto chrome = s.p.wm.openBrowser(Browser::Chrome);
  const auto refreshesAfter = [&](std::int64_t ms) {
    return s.p.clock.advance(ms), s.p.wm.posted(chrome).size() / 2;
  };
  s.save();
  EXPECT_EQ(refreshesAfter(300), 0u);
  s.save();
  EXPECT_EQ(refreshesAfter(500), 0u) << "the second save started the wait again";
  EXPECT_EQ(refreshesAfter(100), 1u);
  EXPECT_FALSE(s.main.refreshWaiting());
  s.main.control("delay").setValue(0);
  EXPECT_EQ(std::pair(s.p.settings.get("Delay"), s.main.control("delayValue").caption()),
            std::pair(std::optional<std::string>("0"), std::string("0 毫秒")));
  s.save();
  EXPECT_EQ(refreshesAfter(0), 2u) << "no delay: at once";
  s.main.control("delay").setValue(3);
  EXPECT_EQ(s.p.settings.get("Delay"), "500");
}

// The box shows, each time the panel opens, whether the session starts this copy; only a click changes it.
TEST_F(Started, StartWithSession) {
  main.openPanel();
  EXPECT_EQ(value("startWithSession"), 0);
  EXPECT_EQ(click("startWithSession"), "startWithSession");
  EXPECT_TRUE(p.process.sessionStartsThisCopy);
  p.process.sessionStartsThisCopy = false;  // removed elsewhere, or pointing at another copy
  main.openPanel();
  EXPECT_EQ(value("startWithSession"), 0) << "shows what is, not what was";
  EXPECT_EQ(p.process.sessionEntryWrites, 1) << "opening the panel writes nothing";
  for (bool expected : {true, false})
    EXPECT_EQ((click("startWithSession"), p.process.sessionStartsThisCopy), expected);
  EXPECT_EQ(p.process.sessionEntryWrites, 3);
}

// The panel opens over the skin and closes again, staying open across a minimise. The background and the
// unseen list take the focus; the panel's boxes and sliders only while it is open. Esc ends the program from
// the background only; the close mark and the word Exit end it too, and ending stops the watcher.
TEST_F(Started, PanelKeysAndEnding) {
  const auto tab = [this](int shift = 0) {
    return form.keyDown(form::kKeyTab, shift), form.focused()->name();
  };
  auto& panel = main.control("panel");
  EXPECT_EQ(tab(), "unseenList");
  form.keyDown(platform::kKeyEscape, 0);
  EXPECT_EQ(std::pair(p.process.ended, tab()), std::pair(false, std::string("background")))
      << "Esc does nothing elsewhere; with the panel closed only two controls take the focus";
  EXPECT_EQ(click("panelButton"), "panelButton");
  EXPECT_EQ(click("panelButton"), "panel") << "the open panel covers the button";
  EXPECT_LE(panel.top() + panel.height(), form.clientHeight()) << "open, inside the client area";
  EXPECT_EQ(clickAt(middleOf("minimizeMark").first, panel.top() / 2.f), "minimizeMark") << "above the panel";
  EXPECT_EQ(form.windowState(), form::WindowState::Minimized);
  form.setWindowState(form::WindowState::Normal);
  EXPECT_TRUE(panel.visible()) << "restored with the panel as it was";
  for (auto next : {"unseenList", "iePin", "ieOpacity", "chromePin", "firefoxPin", "chromeOpacity",
                    "firefoxOpacity", "delay", "startWithSession", "background"})
    EXPECT_EQ(tab(), next);
  EXPECT_EQ(tab(form::kShiftKey), "startWithSession");
  EXPECT_EQ(click("panelCloseCaption"), "panelCloseMark") << "the mark lies above its caption";
  EXPECT_EQ(std::pair(panel.visible(), form.focused()->name()), std::pair(false, std::string("background")));
  for (const char* mark : {"closeMark", "exitWord"}) {
    p.process.ended = false;
    EXPECT_EQ(click(mark), mark);
    EXPECT_TRUE(p.process.ended && !p.keyboard.watching()) << mark;
    main.start();
  }
  form.keyDown(platform::kKeyEscape, 0);
  EXPECT_TRUE(p.process.ended);
  main.windowClosed();
  EXPECT_FALSE(p.keyboard.watching());
}

// Only the left button alone drags, the open panel exactly as the background; far beyond sixteen bits a
// window's place neither wraps nor fails. However a drag ends, by a release reported to either, or by losing
// the pointer, the window stays still afterwards and its place is stored once; a press without a move stores
// nothing.
TEST_F(Moving, Drags) {
  for (const std::vector<int>& held :
       std::vector<std::vector<int>>{{form::kRightButton},
                                     {form::kMiddleButton},
                                     {form::kRightButton, form::kRightButton | form::kLeftButton}}) {
    form.placedAt({32000, -32000});
    for (int buttons : held) form.mouseDown(0.f, 0.f, buttons, 0);
    form.mouseMove(75000.f, -75000.f, held.back(), 0);
    EXPECT_EQ(form.position(), (platform::PixelPoint{32000, -32000})) << "buttons " << held.back();
    form.mouseUp(0.f, 0.f, 0, 0);
  }
  main.openPanel();
  for (const auto& [surface, at] : {std::pair{"background", 100.f}, std::pair{"panel", 3000.f}}) {
    const std::pair<const char*, std::function<void()>> ends[] = {
        {"release", [&] { form.mouseUp(at, at, 0, 0); }},
        {"release outside the window", [&] { form.mouseUp(-9000.f, 90000.f, 0, 0); }},
        {"capture lost", [&] { form.captureLost(); }},
        {"move with no button held", [&] { form.mouseMove(at, at, 0, 0); }}};
    for (const auto& [what, end] : ends) {
      SCOPED_TRACE(std::string(surface) + ", " + what);
      form.placedAt({32000, 0});
      p.settings.writes = 0;
      form.mouseDown(at, at, form::kLeftButton, 0);
      form.mouseMove(at + 300.f, at + 150.f, form::kLeftButton, 0);  // at 96 dpi 15 twips make a pixel
      EXPECT_EQ(form.position(), (platform::PixelPoint{32020, 10}));
      form.mouseMove(at + 75000.f, at, form::kLeftButton, 0);  // reported at the grab point again once moved
      EXPECT_EQ(form.position(), (platform::PixelPoint{37020, 10}));
      EXPECT_EQ(p.settings.writes, 0) << "nothing is written while dragging";
      end();
      EXPECT_EQ(p.settings.get("Position"), "37020,10");
      form.mouseMove(at + 900.f, at + 900.f, form::kLeftButton, 0);
      EXPECT_EQ(form.position(), (platform::PixelPoint{37020, 10}))
          << "the window stays where the drag ended";
      form.mouseDown(at, at, form::kLeftButton, 0);
      form.mouseUp(at, at, 0, 0);
      EXPECT_EQ(p.settings.writes, 1) << "a press without moving stores nothing";
    }
  }
}

}  // namespace
