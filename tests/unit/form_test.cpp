#include <gtest/gtest.h>

#include "app_fixture.h"
#include "ui/layout.h"

namespace {

using testing_app::App;

// Middle of each tile, in twips.
constexpr int kTileY = 1600;
constexpr int kChromeX = 1040, kIEX = 2400, kFirefoxX = 3780, kOperaX = 5150;

class Layout : public App {};

// Windowed controls are real child windows in a host, and a real child window always lies above what its
// parent draws itself: the model must agree, whatever order the layout lists them in.
TEST(Stacking, WindowedControlsStackAboveWindowlessOnesAndKeepTheirOrderAmongThemselves) {
  form::Form f{"test", 1000, 1000};
  f.add({.name = "pad", .kind = form::Kind::PictureBox, .rect = {0, 0, 1000, 1000}});
  for (auto [name, kind] : {std::pair{"label", form::Kind::Label},
                            {"box", form::Kind::CheckBox},
                            {"image", form::Kind::Image},
                            {"bar", form::Kind::HScrollBar}}) {
    f.add({.name = name, .kind = kind, .container = "pad", .rect = {0, 0, 500, 500}});
  }
  std::vector<std::string> names;
  for (const auto& c : f.control("pad").children()) names.push_back(c->name());
  EXPECT_EQ(names, (std::vector<std::string>{"box", "bar", "label", "image"}));
  EXPECT_EQ(f.hitTest(100, 100)->name(), "box") << "a press lands on the topmost windowed control";
}

TEST_F(Layout, HiddenValueBoxesAndParkedPanelLieOutsideTheClientArea) {
  EXPECT_EQ(value("auto_chk"), 1);
  for (auto name : {"ie_chk", "chrome_chk", "firefox_chk", "opera_chk"}) EXPECT_EQ(value(name), 0) << name;
  const auto& frame1 = main.control("Frame1");
  EXPECT_FALSE(frame1.Visible());
  EXPECT_GE(frame1.Top(), form.ScaleHeight());
  EXPECT_GE(main.control("List1").Top(), form.ScaleHeight());
  const auto& panel = main.control("setting_frame");
  EXPECT_FALSE(panel.Visible());
  EXPECT_GE(panel.Top(), form.ScaleHeight());
  for (auto slider : {"IEHScroll", "CHHScroll", "FFHScroll"}) EXPECT_EQ(value(slider), 255) << slider;
  EXPECT_EQ(form.hitTest(500, 3300), nullptr) << "below the client area nothing takes a press";
}

TEST_F(Layout, AVisibleTickTakesTheClickAndAHiddenOneLetsTheTileLabelTakeIt) {
  load();  // first start: Chrome ticked
  EXPECT_EQ(form.hitTest(kChromeX, kTileY)->name(), "chrome_checked");
  EXPECT_EQ(form.hitTest(kIEX, kTileY)->name(), "ie_check");
  EXPECT_EQ(form.hitTest(kFirefoxX, kTileY)->name(), "firefox_check");
  EXPECT_EQ(form.hitTest(kOperaX, kTileY)->name(), "opera_check");
  EXPECT_EQ(form.hitTest(680, 2730)->name(), "auto_check") << "the small tick lies above its label";
  EXPECT_EQ(form.hitTest(1500, 2700)->name(), "auto_lbl");
  EXPECT_EQ(form.hitTest(100, 100)->name(), "MainBg");
  EXPECT_EQ(form.hitTest(5900, 300)->name(), "close_lnk");
  EXPECT_EQ(form.hitTest(5500, 300)->name(), "min_lnk");
  EXPECT_EQ(form.hitTest(5250, 330)->name(), "setting_btn");
  EXPECT_EQ(form.hitTest(5900, 2900)->name(), "exit_lnk");
}

TEST_F(Layout, TheOpenPanelLiesAboveEverythingOnTheBackground) {
  main.setting_btn_Click();
  EXPECT_EQ(form.hitTest(1440, 1930)->name(), "setting_frame") << "over the Chrome tile";
  EXPECT_EQ(form.hitTest(240 + 5500, 130 + 350)->name(), "close_setting_btn") << "it lies above the X label";
  EXPECT_EQ(form.hitTest(240 + 1400, 130 + 900)->name(), "CHTopmostChk");
  EXPECT_EQ(form.hitTest(240 + 3500, 130 + 450)->name(), "IEHScroll");
  EXPECT_EQ(main.control("setting_frame").Top() + main.control("setting_frame").Height(), 3030);
  EXPECT_EQ(form.hitTest(100, 3100)->name(), "MainBg") << "below the panel the skin shows";
}

TEST_F(Layout, TabMovesFromTheBackgroundToTheUnseenListAndIntoTheOpenPanel) {
  ASSERT_EQ(form.focused()->name(), "MainBg");
  auto tab = [this](bool back = false) {
    form.keyDown(form::kKeyTab, back ? form::kShiftKey : 0);
    return form.focused()->name();
  };
  EXPECT_EQ(tab(), "List1");
  EXPECT_EQ(tab(), "MainBg") << "with the panel closed only two controls take the focus";
  main.setting_btn_Click();
  EXPECT_EQ(tab(), "List1");
  for (auto next : {"IETopmostChk", "IEHScroll", "CHTopmostChk", "FFTopmostChk", "CHHScroll", "FFHScroll"}) {
    EXPECT_EQ(tab(), next);
  }
  EXPECT_EQ(tab(), "MainBg");
  EXPECT_EQ(tab(true), "FFHScroll");
  main.close_setting_btn_Click();
  EXPECT_EQ(form.focused()->name(), "MainBg")
      << "closing the panel gives the focus back to the first control";
}

TEST_F(Layout, KeysReachTheBackgroundOnlyWhileItHasTheFocus) {
  load();
  form.keyDown(form::kKeyTab, 0);  // List1
  form.keyDown(27, 0);
  EXPECT_FALSE(p.process.ended);
  form.keyDown(form::kKeyTab, 0);  // back to MainBg
  form.keyDown(27, 0);
  EXPECT_TRUE(p.process.ended);
}

TEST(Captions, ALabelThatSizesItselfTakesItsCaptionsSizeAndAnotherOnlyGrowsToFitIt) {
  form::Form form("test", 3000, 3000);
  form.add({.name = "auto", .kind = form::Kind::Label, .rect = {0, 0, 900, 300}, .autoSize = true});
  form.add({.name = "fixed", .kind = form::Kind::Label, .rect = {0, 0, 900, 300}});
  const struct {
    int textWidth, textHeight;
    form::Rect autoSized, fixed;
  } cases[] = {
      {600, 200, {0, 0, 600, 200}, {0, 0, 900, 300}},
      {1200, 400, {0, 0, 1200, 400}, {0, 0, 1200, 300}},
  };
  for (const auto& c : cases) {
    form.control("auto").fitCaption(c.textWidth, c.textHeight);
    form.control("fixed").fitCaption(c.textWidth, c.textHeight);
    EXPECT_EQ(form.control("auto").Width(), c.autoSized.width);
    EXPECT_EQ(form.control("auto").Height(), c.autoSized.height);
    EXPECT_EQ(form.control("fixed").Width(), c.fixed.width);
    EXPECT_EQ(form.control("fixed").Height(), c.fixed.height);
  }
}

}  // namespace
