#include <gtest/gtest.h>

#include <tuple>

#include "app_fixture.h"

namespace {

using testing_app::Session;
using StartUp = testing_app::App;
using Toggles = testing_app::Loaded;
using Moving = testing_app::App;

constexpr std::string_view kOperaMessage = ":( 暂不支持 Opera 浏览器";

TEST_F(StartUp, ASecondCopyEndsAtOnceAndTouchesNothing) {
  p.process.anotherCopyRunning = true;
  p.settings.setApps("ie,");
  main.Form_Load();
  EXPECT_TRUE(p.process.ended);
  EXPECT_FALSE(p.keyboard.watching());
  EXPECT_EQ(value("ie_chk"), 0);
  EXPECT_EQ(p.wm.window(form.hWnd)->exStyle, 0);
}

// Whatever is stored is the user's last choice, automatic refresh included: a box is ticked exactly when its
// exact token is among the comma-separated ones. Only an absent value is a first start, which ticks Chrome
// and automatic refresh. Nothing is written back, and a stored Opera raises its message once, however often
// it is listed. Every start pins the window and makes the tiles transparent.
TEST(StoredSelection, OnlyExactTokensTickAnAbsentValueIsAFirstStartAndNothingIsWrittenBack) {
  const char* boxes[][3] = {{"ie", "ie_chk", "ie_checked"},
                            {"chrome", "chrome_chk", "chrome_checked"},
                            {"firefox", "firefox_chk", "firefox_checked"},
                            {"opera", "opera_chk", "opera_checked"},
                            {"autorefresh", "auto_chk", "auto_check"}};
  for (const std::optional<std::string>& stored : std::vector<std::optional<std::string>>{
           std::nullopt, "", ",,,", "ie,firefox,autorefresh,", "opera,opera,autorefresh,",
           "Chrome,IE,AUTOREFRESH,", "ie,Autorefresh,", "chrome;ie", " ie, chrome ,ie;,", "xyz",
           std::string("ie\0,firefox,", 12), std::string(40000, ',') + "ie,"}) {
    SCOPED_TRACE(stored ? stored->substr(0, 40) : "nothing stored");
    Session s;
    if (stored) s.p.settings.setApps(*stored);
    s.main.Form_Load();
    const std::string ticked = stored ? "," + *stored + "," : ",chrome,autorefresh,";
    for (const auto& [token, box, tick] : boxes) {
      const bool present = ticked.find("," + std::string(token) + ",") != std::string::npos;
      EXPECT_EQ(s.value(box), present ? 1 : 0) << box;
      EXPECT_EQ(s.visible(tick), present) << tick;
    }
    EXPECT_EQ(s.p.keyboard.watching(), s.value("auto_chk") == 1);
    EXPECT_EQ(s.p.settings.writes, 0);
    EXPECT_EQ(s.p.process.messages.size(), s.value("opera_chk") == 1 ? 1u : 0u);
    EXPECT_TRUE(s.p.wm.window(s.form.hWnd)->exStyle & win32::kWsExTopmost);
    for (auto tile : {"chrome_check", "ie_check", "firefox_check", "opera_check"}) {
      EXPECT_EQ(s.main.control(tile).BackStyle(), 0) << tile << " is made transparent";
    }
  }
}

// Each click lands on a tile's label or its visible tick, or on automatic refresh's label or small tick,
// flips the box and stores the whole selection at once; the watcher follows automatic refresh.
TEST_F(Toggles, EachClickFlipsWhatItLandsOnAndStoresTheWholeSelection) {
  const struct {
    float x, y;
    const char *took, *box, *tick;
    int value;
    const char* stored;
  } clicks[] = {
      {2400, 1600, "ie_check", "ie_chk", "ie_checked", 1, "ie,chrome,autorefresh,"},
      {2400, 1600, "ie_checked", "ie_chk", "ie_checked", 0, "chrome,autorefresh,"},
      {3780, 1600, "firefox_check", "firefox_chk", "firefox_checked", 1, "chrome,firefox,autorefresh,"},
      {1040, 1600, "chrome_checked", "chrome_chk", "chrome_checked", 0, "firefox,autorefresh,"},
      {1500, 2700, "auto_lbl", "auto_chk", "auto_check", 0, "firefox,"},
      {1500, 2700, "auto_lbl", "auto_chk", "auto_check", 1, "firefox,autorefresh,"},
      {680, 2730, "auto_check", "auto_chk", "auto_check", 0, "firefox,"},
      {3780, 1600, "firefox_checked", "firefox_chk", "firefox_checked", 0, ""},
  };
  main.chrome_check_Click();
  EXPECT_EQ(value("chrome_chk"), 1) << "ticking a ticked browser keeps it";
  EXPECT_EQ(p.settings.apps(), "chrome,autorefresh,") << "and stores the selection";
  for (const auto& c : clicks) {
    SCOPED_TRACE(c.stored);
    EXPECT_EQ(clickAt(c.x, c.y), c.took);
    EXPECT_EQ(value(c.box), c.value);
    EXPECT_EQ(visible(c.tick), c.value == 1);
    EXPECT_EQ(p.settings.apps(), c.stored);
    EXPECT_EQ(p.keyboard.watching(), value("auto_chk") == 1);
  }
  p.settings.refuseWrites = true;
  EXPECT_EQ(clickAt(3780, 1600), "firefox_check");
  EXPECT_EQ(value("firefox_chk"), 1) << "a refused write leaves the window's own state";
  EXPECT_TRUE(visible("firefox_checked"));
  EXPECT_EQ(p.settings.apps(), "");
}

TEST_F(Toggles, OperaShowsItsMessageOnEveryChangeAndIsStillStoredAndRefreshed) {
  EXPECT_EQ(clickAt(5150, 1600), "opera_check");
  EXPECT_EQ(p.process.messages, std::vector<std::string>{std::string(kOperaMessage)});
  EXPECT_EQ(p.settings.apps(), "chrome,opera,autorefresh,");
  const auto opera = p.wm.openBrowser(platform::BrowserKind::Opera);
  for (int vk : {17, 83}) p.keyboard.press(vk);  // Ctrl then S, as the watcher hears them
  for (int vk : {83, 17}) p.keyboard.release(vk);
  EXPECT_EQ(p.wm.posted(opera).size(), 3u);
  EXPECT_EQ(main.control("handle_lbl").Caption(), "#" + std::to_string(opera)) << "the last handle refreshed";
  clickAt(5150, 1600);
  EXPECT_EQ(p.process.messages.size(), 2u) << "unticking shows it again";
}

// The panel opens and closes idempotently, and minimising keeps it. The background and the unseen list take
// the focus; the panel's boxes and sliders only while it is open. Esc ends the program from the background
// only, and unloading stops the watcher.
TEST_F(Toggles, TheCloseMarkAndTheExitWordStopTheWatcherAndEnd) {
  for (auto [x, y, name] : {std::tuple{5900.f, 300.f, "close_lnk"}, {5900.f, 2900.f, "exit_lnk"}}) {
    main.watcher().start(form.hWnd);
    p.process.ended = false;
    EXPECT_EQ(clickAt(x, y), name);
    EXPECT_TRUE(p.process.ended);
    EXPECT_FALSE(p.keyboard.watching());
  }
}

TEST_F(Toggles, ThePanelOpensIdempotentlyTabWalksIntoItAndEscEndsOnlyFromTheBackground) {
  auto tab = [this](int shift = 0) {
    form.keyDown(form::kKeyTab, shift);
    return form.focused()->name();
  };
  auto& panel = main.control("setting_frame");
  ASSERT_EQ(form.focused()->name(), "MainBg");
  EXPECT_EQ(tab(), "List1");
  form.keyDown(27, 0);
  EXPECT_FALSE(p.process.ended);
  EXPECT_EQ(tab(), "MainBg") << "with the panel closed only two controls take the focus";
  EXPECT_EQ(clickAt(5250, 330), "setting_btn");
  EXPECT_EQ(clickAt(5250, 330), "setting_frame") << "the open panel covers the button";
  main.setting_btn_Click();
  EXPECT_TRUE(panel.Visible());
  EXPECT_EQ(panel.Top(), 130);
  EXPECT_EQ(clickAt(5500, 60), "min_lnk") << "above the open panel";
  EXPECT_EQ(form.windowState(), form::WindowState::Minimized);
  form.setWindowState(form::WindowState::Normal);
  EXPECT_TRUE(panel.Visible()) << "restored with the panel as it was";
  for (auto next : {"List1", "IETopmostChk", "IEHScroll", "CHTopmostChk", "FFTopmostChk", "CHHScroll",
                    "FFHScroll", "MainBg"}) {
    EXPECT_EQ(tab(), next);
  }
  EXPECT_EQ(tab(form::kShiftKey), "FFHScroll");
  EXPECT_EQ(clickAt(240 + 5500, 130 + 350), "close_setting_btn");
  main.close_setting_btn_Click();
  EXPECT_FALSE(panel.Visible());
  EXPECT_EQ(panel.Top(), 130) << "closed, the panel is not parked again";
  EXPECT_EQ(form.focused()->name(), "MainBg") << "closing the panel gives the focus back to the background";
  form.keyDown(27, 0);
  EXPECT_TRUE(p.process.ended);
  main.Form_Unload();
  EXPECT_FALSE(p.keyboard.watching());
}

TEST_F(Moving, OnlyTheLeftButtonAloneStartsADrag) {
  const std::vector<std::pair<std::vector<int>, bool>> presses = {
      {{form::kRightButton}, false},
      {{form::kMiddleButton}, false},
      {{form::kRightButton, form::kRightButton | form::kLeftButton},
       false},  // left pressed while right is held
      {{form::kLeftButton}, true},
  };
  for (const auto& [held, drags] : presses) {
    form.placedAt({32000, -32000});
    for (int buttons : held) form.mouseDown(0.f, 0.f, buttons, 0);
    EXPECT_EQ(main.isDragging(), drags) << held.back();
    // Far beyond sixteen bits, where a window's place neither wraps nor fails.
    form.mouseMove(75000.f, -75000.f, held.back(), 0);
    EXPECT_EQ(form.position(),
              (drags ? platform::PixelPoint{37000, -37000} : platform::PixelPoint{32000, -32000}))
        << held.back();
    form.mouseUp(0.f, 0.f, 0, 0);
  }
}

// The open panel drags the window exactly as the background does. However a drag ends, by a release reported
// to either, or by losing the pointer, the window stays still afterwards and its place is stored once.
TEST_F(Moving, EveryWayADragEndsLeavesTheWindowStillAndStoresItsPlaceOnce) {
  main.setting_btn_Click();
  for (const auto& [surface, at] : {std::pair{"MainBg", 100.f}, std::pair{"setting_frame", 3000.f}}) {
    const std::vector<std::pair<std::string, std::function<void()>>> ends = {
        {"release", [&] { form.mouseUp(at - 45.f, at + 15.f, 0, 0); }},
        {"release outside the window", [&] { form.mouseUp(-9000.f, 90000.f, 0, 0); }},
        {"capture lost", [&] { form.captureLost(); }},
        {"move with no button held", [&] { form.mouseMove(at, at, 0, 0); }}};
    for (const auto& [what, end] : ends) {
      SCOPED_TRACE(std::string(surface) + ", " + what);
      form.placedAt({0, 0});
      p.settings.writes = 0;
      form.mouseDown(at, at, form::kLeftButton, 0);
      ASSERT_EQ(form.captured()->name(), surface);
      form.mouseMove(at + 300.f, at + 150.f, form::kLeftButton, 0);  // at 96 dpi 15 twips make a pixel
      EXPECT_EQ(form.position(), (platform::PixelPoint{20, 10}));
      // The window has moved, so the pointer is reported at the grab point again.
      form.mouseMove(at - 45.f, at + 15.f, form::kLeftButton, 0);
      EXPECT_EQ(form.position(), (platform::PixelPoint{17, 11}));
      EXPECT_EQ(form.Left(), 255) << "the same place in twips";
      EXPECT_EQ(p.settings.writes, 0) << "nothing is written while dragging";
      end();
      const platform::PixelPoint left = form.position();
      EXPECT_EQ(p.settings.GetSetting("VaskF5", "Refresh", "Position"),
                std::to_string(left.x) + "," + std::to_string(left.y));
      form.mouseMove(at + 900.f, at + 900.f, form::kLeftButton, 0);
      form.mouseMove(at - 900.f, at, 0, 0);
      EXPECT_EQ(form.position(), left) << "the window stays where the drag ended";
      drag(at, at, at, at);
      EXPECT_EQ(p.settings.writes, 1) << "a press without moving stores nothing";
    }
  }
}

}  // namespace
