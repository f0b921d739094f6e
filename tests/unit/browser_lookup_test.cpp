// Which windows a tile's refresh, fade and pin reach: its chosen browsers' own frames, the one the user sees
// first, never a look-alike; and how each engine is asked to reload.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>

#include "app_fixture.h"

namespace {

using fake::Hwnd;
using platform::Browser;
using testing_app::Session;
using ui::Tile;

// The tiles with a slider and a pin box of their own, and Opera without.
constexpr std::tuple<Tile, const char*, const char*> kTiles[] = {
    {Tile::InternetExplorer, "ieOpacity", "iePin"},
    {Tile::Chrome, "chromeOpacity", "chromePin"},
    {Tile::Firefox, "firefoxOpacity", "firefoxPin"},
    {Tile::Opera, nullptr, nullptr}};

const win32::BrowserWindowRule& ruleOf(Browser browser) {
  return *std::ranges::find(win32::kBrowserWindowRules, browser, &win32::BrowserWindowRule::browser);
}

// Many generated desktops, as crowded as real ones: programs under browser and other names (editors and mail
// clients on the browsers' classes, names that only end like a browser's, programs we may not open), with
// owned popups, hidden, minimised, cloaked, tool and floating video windows in a random z-order, and a random
// choice of the tile's browsers. Whatever the desktop, the refresh reaches each chosen browser's frontmost
// frame (the visible desktop's first), a fade or a pin only the frontmost of them, and nothing else.
constexpr const char* kPrograms[] = {
    "iexplore.exe", "chrome.exe", "firefox.exe",     "opera.exe",   "msedge.exe",     "brave.exe", "zen.exe",
    "CHROME.EXE",   "Code.exe",   "thunderbird.exe", "xchrome.exe", "chrome.exe.old", "chrome"};
constexpr const char* kClasses[] = {"IEFrame",          "Chrome_WidgetWin_1", "MozillaWindowClass",
                                    "OperaWindowClass", "Chrome_WidgetWin_1", "MozillaWindowClass",
                                    "Notepad"};

TEST(BrowserLookup, GeneratedDesktops) {
  std::mt19937 random(20261207);
  for (int round = 0; round < 1500; ++round) {
    Session s;
    auto& wm = s.p.wm;
    const auto chance = [&random](int inN) { return random() % inN == 0; };
    std::map<std::uint32_t, std::string> names{{0, ""}};  // each process's file name; "" for none we may open
    for (int n = 1 + static_cast<int>(random() % 8); n > 0; --n) {
      const std::string program = chance(8) ? "" : kPrograms[random() % std::size(kPrograms)];
      const std::string path = (chance(2) ? "D:\\apps\\" : "C:/tools/") + program;
      names[wm.startProcess(program.empty() ? std::nullopt : std::optional(path))] = program;
    }
    for (int n = static_cast<int>(random() % 14); n > 0; --n) {
      fake::Window spec{.process = std::next(names.begin(), random() % names.size())->first,
                        .visible = !chance(4),
                        .minimised = chance(6),
                        .cloaked = chance(6),
                        .toolWindow = chance(8),
                        .pictureInPicture = chance(10)};
      if (!wm.windows().empty() && chance(4)) spec.owner = wm.windows()[random() % wm.windows().size()].hwnd;
      wm.createWindow(kClasses[random() % std::size(kClasses)], spec);
    }
    const auto& [tile, slider, pin] = kTiles[random() % std::size(kTiles)];
    for (Browser b : refresh::familyOf(tile)) {
      if (chance(2) != s.main.browserChoice().test(static_cast<std::size_t>(b))) s.main.toggleBrowser(b);
    }
    SCOPED_TRACE("round " + std::to_string(round));
    // Each chosen browser's frame by the rule as a user would state it, read from the windows as made.
    std::vector<const fake::Window*> frames;
    for (Browser b : refresh::familyOf(tile)) {
      if (!s.main.browserChoice().test(static_cast<std::size_t>(b))) continue;
      const fake::Window* best = nullptr;
      for (const fake::Window& w : wm.windows()) {
        std::string name = names.at(w.process);
        std::ranges::transform(name, name.begin(), [](unsigned char c) { return std::tolower(c); });
        if (std::ranges::none_of(win32::kBrowserWindowRules,
                                 [&](const auto& r) {
                                   return r.browser == b && w.className == r.windowClass &&
                                          name == r.imageName;
                                 }) ||
            !w.visible || w.owner || w.toolWindow || w.pictureInPicture)
          continue;
        if (!best || (best->cloaked && !w.cloaked)) best = &w;
        if (!w.cloaked) break;
      }
      if (best) frames.push_back(best);
    }
    std::vector<Hwnd> refreshed, faded;
    for (const fake::Window* f : frames) {
      const bool owed = f->className == "Chrome_WidgetWin_1" && (f->minimised || f->cloaked);
      if (!owed) refreshed.push_back(f->hwnd);
    }
    const auto front = std::ranges::min_element(frames, {}, [&](const fake::Window* f) {
      return std::pair(f->cloaked,
                       std::ranges::find(wm.windows(), f->hwnd, &fake::Window::hwnd) - wm.windows().begin());
    });
    if (slider && front != frames.end()) faded.push_back((*front)->hwnd);
    // The three uses of the lookup, as a user makes them with only this tile ticked: the save chord's
    // refresh, its slider moved and its pin box (clear, then ticked).
    const std::vector<fake::Window> before = wm.windows();
    for (Tile other : refresh::kTiles) s.main.setTileTicked(other, other == tile);
    s.main.refreshTickedBrowsers();
    if (slider) {
      s.main.control(slider).setValue(1 + static_cast<int>(random() % 254));
      s.main.control(pin).setValue(0);
      s.main.control(pin).setValue(1);
    }
    std::vector<Hwnd> gotMessages, gotFaded;
    for (const fake::Window& was : before) {
      const fake::Window& now = *wm.window(was.hwnd);
      if (was.hwnd == s.form.window.value) continue;
      if (now.queue.size() > was.queue.size()) gotMessages.push_back(was.hwnd);
      if (now.alpha != was.alpha || now.exStyle != was.exStyle) gotFaded.push_back(was.hwnd);
    }
    std::ranges::sort(refreshed);
    std::ranges::sort(gotMessages);
    EXPECT_EQ(gotMessages, refreshed);
    EXPECT_EQ(gotFaded, faded);
  }
}

// What each engine is posted, and when: a Chromium frame that is minimised or on another desktop is owed one
// refresh however many saves come, sent when the user shows it; the others are asked at once.
TEST(BrowserLookup, Engines) {
  // The messages posted to a frame since the last look: an activation (WA_ACTIVE, from nobody), the browser's
  // refresh command (naming the frame, from no device), F5 down and up; anything else is "?".
  const auto posted = [](fake::WindowManager& wm, Hwnd frame) {
    std::string got;
    for (const fake::Posted& m : std::exchange(wm.window(frame)->queue, {})) {
      const bool f5 = m.wParam == 0x74;
      got += m.msg == win32::kWmActivate && m.wParam == 1 && m.lParam == 0 ? "activate "
             : m.msg == win32::kWmAppCommand && m.wParam == std::uintptr_t(frame) && m.lParam >> 16 == 0x1003
                 ? "refresh "
             : m.msg == win32::kWmKeyDown && f5 ? "F5 "
             : m.msg == win32::kWmKeyUp && f5   ? "up "
                                                : "? ";
    }
    return got;
  };
  const struct {
    Browser browser;
    const char* cls;  // when it is not the browser's first row's
    fake::Window made;
    const char *now, *afterShown;
  } rows[] = {
      {Browser::Chrome, nullptr, {}, "activate refresh ", ""},
      {Browser::Chrome, nullptr, {.minimised = true}, "", "activate refresh "},
      {Browser::Edge, nullptr, {.cloaked = true}, "", "activate refresh "},
      {Browser::Opera, nullptr, {.minimised = true}, "", "activate refresh "},           // today's Opera
      {Browser::Opera, "OperaWindowClass", {.minimised = true}, "activate F5 up ", ""},  // Opera before 2013
      {Browser::Zen, nullptr, {.minimised = true, .cloaked = true}, "F5 up ", ""},
      {Browser::InternetExplorer, nullptr, {}, "activate F5 up ", ""},
  };
  for (const auto& row : rows) {
    Session s;
    fake::Window made = row.made;
    made.process = s.p.wm.startProcess("C:\\b\\" + std::string(ruleOf(row.browser).imageName));
    const Hwnd frame = s.p.wm.createWindow(row.cls ? row.cls : ruleOf(row.browser).windowClass, made);
    SCOPED_TRACE(std::string(ruleOf(row.browser).imageName) + (made.minimised ? " minimised" : "") +
                 (made.cloaked ? " on another desktop" : ""));
    for (int save = 0; save < 3; ++save) {
      s.p.desktop.refresh({{frame}, row.browser});
      EXPECT_EQ(posted(s.p.wm, frame), row.now) << "save " << save;
    }
    s.p.wm.show(s.p.wm.createWindow("Notepad"));
    EXPECT_EQ(posted(s.p.wm, frame), "") << "another window shown";
    s.p.wm.show(frame);
    EXPECT_EQ(posted(s.p.wm, frame), row.afterShown) << "once shown, whatever was owed, once";
    s.p.wm.show(frame);
    EXPECT_EQ(posted(s.p.wm, frame), "");
    EXPECT_FALSE(s.p.wm.watchingShownWindows()) << "nothing owed, nothing watched";
  }
  Session s;
  const Hwnd closed = s.p.wm.openBrowser(Browser::Chrome, {.minimised = true});
  s.p.desktop.refresh({{closed}, Browser::Chrome});
  s.p.wm.destroyWindow(closed);
  s.p.wm.show(s.p.wm.createWindow("Notepad"));
  EXPECT_FALSE(s.p.wm.watchingShownWindows()) << "a closed window is owed nothing";
}

// A tile refreshes each of its chosen browsers that runs, in its family's order, and no other; the status
// shows the last.
TEST(BrowserLookup, Families) {
  Session s;
  s.main.start();
  auto& wm = s.p.wm;
  const Hwnd edge = wm.openBrowser(Browser::Edge);
  const Hwnd brave = wm.openBrowser(Browser::Brave);
  const Hwnd chrome = wm.openBrowser(Browser::Chrome);
  const Hwnd hidden = wm.openBrowser(Browser::Edge, {.cloaked = true});
  wm.createWindow("Chrome_WidgetWin_1", {.process = wm.startProcess("C:\\VS Code\\Code.exe")});
  s.main.toggleBrowser(Browser::Edge);
  s.save();
  for (auto [hwnd, count] : {std::pair{edge, 2u}, {chrome, 2u}, {brave, 0u}, {hidden, 0u}})
    EXPECT_EQ(wm.posted(hwnd).size(), count) << hwnd;
  EXPECT_EQ(s.main.control("status").caption(), "#" + std::to_string(edge)) << "Edge comes after Chrome";
  s.main.setTileTicked(Tile::Opera, true);
  s.save();
  EXPECT_EQ(s.main.control("status").caption(), "#0") << "the last ticked tile, Opera, is not running";
}

}  // namespace
