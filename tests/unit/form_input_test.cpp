// The rules of the form model on a small form of its own: stacking, self-sizing labels, what a click is,
// pointer capture, focus on a press, check box toggling and scroll bar changes. Every host feeds its events
// through these calls. The tab order itself is tested on the main window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/form/form.h"

namespace {

using form::Kind;
using form::ScrollAction;

constexpr int kL = form::kLeftButton, kR = form::kRightButton;

class Input : public ::testing::Test {
 protected:
  form::Form form{"test", 3000, 3000};
  std::vector<std::string> log;
  std::vector<bool> captures;

  void SetUp() override {
    form.add({.name = "pad", .kind = Kind::PictureBox, .rect = {0, 0, 3000, 3000}});
    form.add({.name = "label", .kind = Kind::Label, .container = "pad", .rect = {100, 100, 500, 500}});
    form.add({.name = "box", .kind = Kind::CheckBox, .container = "pad", .rect = {1000, 100, 500, 300}});
    form.add({.name = "bar",
              .kind = Kind::HScrollBar,
              .container = "pad",
              .rect = {1000, 1000, 1000, 200},
              .value = 5,
              .max = 10,
              .largeChange = 3});
    form.add({.name = "panel", .kind = Kind::Frame, .container = "pad", .rect = {0, 2000, 3000, 1000}});
    form.add({.name = "inner", .kind = Kind::Label, .container = "panel", .rect = {100, 100, 500, 500}});
    form.setTabOrder({&c("pad"), &c("box"), &c("bar")});
    for (const char* name : {"pad", "box", "bar", "label", "inner", "panel"}) {
      form::Control& control = c(name);
      const auto note = [this, n = std::string(name)](const char* what, const form::MouseEvent& e) {
        log.push_back(n + what + std::to_string(e.button) + " " + std::to_string(static_cast<int>(e.x)) +
                      "," + std::to_string(static_cast<int>(e.y)));
      };
      control.onMouseDown = [note](const form::MouseEvent& e) { note(" down ", e); };
      control.onMouseMove = [note](const form::MouseEvent& e) { note(" move ", e); };
      control.onMouseUp = [note](const form::MouseEvent& e) { note(" up ", e); };
      control.onClick = [this, name] { log.push_back(std::string(name) + " click"); };
      control.onContextMenu = [this, name] { log.push_back(std::string(name) + " menu"); };
      control.onKeyDown = [this, name](int key, int) {
        log.push_back(std::string(name) + " key " + std::to_string(key));
      };
    }
    c("bar").onChange = [this] { log.push_back("bar change " + std::to_string(c("bar").value())); };
    form.onCaptureChanged = [this](bool held) { captures.push_back(held); };
    form.focusFirst();
  }

  form::Control& c(std::string_view name) { return form.control(name); }
  std::vector<std::string> take() { return std::exchange(log, {}); }
};

// The pressed control holds the pointer: moves and the release reach it wherever the pointer goes, a second
// button goes to it too, and losing the pointer gives it its release; it is free again only when all are up.
TEST_F(Input, Capture) {
  form.mouseDown(200, 300, kL, 0);
  form.mouseMove(2500, 2500, kL, 0);  // over the panel's area
  form.mouseMove(-40, 4000, kL, 0);   // outside the form
  form.mouseUp(-40, 4000, 0, 0);
  EXPECT_EQ(take(), (std::vector<std::string>{"label down 1 100,200", "label move 1 2400,2400",
                                              "label move 1 -140,3900", "label up 1 -140,3900"}))
      << "points are in the label's own twips; no click, since it was released elsewhere";
  form.mouseMove(200, 300, 0, 0);
  EXPECT_EQ(take(), std::vector<std::string>{"label move 0 100,200"})
      << "free again: moves go to what is under";

  form.mouseDown(200, 300, kL, 0);
  form.mouseDown(2000, 300, kL | kR, 0);  // over the pad, but the label holds the pointer
  form.mouseUp(2000, 300, kL, 0);         // right up
  EXPECT_EQ(form.captured(), &c("label"));
  form.mouseUp(200, 300, 0, 0);  // left up, back on the label
  EXPECT_EQ(take(), (std::vector<std::string>{"label down 1 100,200", "label down 2 1900,200",
                                              "label up 2 1900,200", "label up 1 100,200", "label click"}));

  form.mouseDown(2000, 300, kL, 0);
  form.mouseMove(2100, 400, kL, 0);
  form.captureLost();
  form.captureLost();
  form.mouseUp(2100, 400, 0, 0);
  EXPECT_EQ(take(),
            (std::vector<std::string>{"pad down 1 2000,300", "pad move 1 2100,400", "pad up 1 2100,400"}))
      << "losing the pointer is a release without a click";
  EXPECT_EQ(captures, (std::vector<bool>{true, false, true, false, true, false}));
}

// A press also focuses the window it lands on when that can take the focus: the control itself when windowed,
// else the surface it is drawn on.
TEST_F(Input, ClicksAndFocus) {
  // Press and release points, the button, whether it clicks, and which control has the focus after.
  const std::tuple<float, float, float, float, int, bool, const char*> cases[] = {
      {1500, 1100, 1500, 1100, kL, true, "bar"},  // the scroll bar
      {200, 2200, 250, 2250, kL, true, "bar"},    // a label on the frame: a frame never takes the focus
      {200, 300, 550, 550, kL, true, "pad"},      // anywhere on the label drawn on the pad
      {200, 300, 650, 300, kL, false, "pad"},     // released off it, on the pad
      {200, 300, 200, 300, kR, false, "pad"},     // right button: a menu, not a click
      {2000, 200, 2000, 300, kL, true, "pad"},    // the pad itself
      {200, 300, 5000, 300, kL, false, "pad"},    // released outside the form
  };
  for (const auto& [downX, downY, upX, upY, button, clicks, focused] : cases) {
    form.mouseDown(downX, downY, button, 0);
    form.mouseUp(upX, upY, 0, 0);
    const std::string last = take().back();
    EXPECT_EQ(
        std::tuple(last.ends_with("click"), last.ends_with("menu"), form.captured(), form.focused()->name()),
        std::tuple(clicks, button == kR, nullptr, std::string(focused)))
        << last;
  }
}

TEST_F(Input, CheckBox) {
  form::Control& box = c("box");
  form.mouseDown(1100, 200, kL, 0);
  form.mouseUp(1100, 200, 0, 0);
  EXPECT_EQ(box.value(), 1);
  EXPECT_EQ(form.focused(), &box);
  form.keyDown(form::kKeySpace, 0);
  form.keyDown(form::kKeySpace, 0);  // held: the key repeats
  EXPECT_EQ(box.value(), 1) << "nothing until Space is let go";
  form.keyUp(form::kKeySpace, 0);
  EXPECT_EQ(box.value(), 0);
  form.keyDown(form::kKeySpace, 0);
  form.keyDown(form::kKeyTab, 0);
  form.keyUp(form::kKeySpace, 0);
  EXPECT_EQ(box.value(), 0) << "the focus moved on before Space was let go";
  EXPECT_EQ(take(), (std::vector<std::string>{"box down 1 100,100", "box up 1 100,100", "box click",
                                              "box key 32", "box key 32", "box click", "box key 32"}));
}

TEST_F(Input, ScrollBar) {
  using enum ScrollAction;
  const std::pair<ScrollAction, int> steps[] = {
      {LineLeft, 0},   {LineRight, 0},    {PageRight, 0}, {PageRight, 0}, {LineRight, 0},     {PageLeft, 0},
      {ThumbTrack, 3}, {ThumbRelease, 2}, {ToEnd, 0},     {ToStart, 0},   {ThumbRelease, 99},
  };
  for (auto [action, thumb] : steps) form.scroll(c("bar"), action, thumb);
  EXPECT_EQ(take(), (std::vector<std::string>{"bar change 4", "bar change 5", "bar change 8", "bar change 10",
                                              "bar change 7", "bar change 2", "bar change 10", "bar change 0",
                                              "bar change 10"}))
      << "an arrow at the end and a dragged thumb change nothing";
}

// Windowed controls are real child windows in a host, and a real child window always lies above what its
// parent draws itself: the model must agree, whatever order the layout lists them in.
TEST_F(Input, Stacking) {
  std::vector<std::string> names;
  for (const auto& child : c("pad").children()) names.push_back(child->name());
  EXPECT_EQ(names, (std::vector<std::string>{"box", "bar", "panel", "label"}));
}

// A label takes its caption's measured width and one device pixel more, at any scale; one that does not size
// itself only grows, so a substitute font never cuts its text. Labels without a caption keep their box.
TEST_F(Input, LabelsFitTheirCaptions) {
  form.add(
      {.name = "sized", .kind = Kind::Label, .rect = {0, 0, 900, 300}, .caption = "a", .autoSize = true});
  form.add({.name = "fixed", .kind = Kind::Label, .rect = {0, 0, 900, 300}, .caption = "b"});
  for (const auto& [dpi, measured, sized, fixed] :
       {std::tuple{144, platform::PixelPoint{89, 20}, form::Rect{0, 0, 900, 200}, form::Rect{0, 0, 900, 300}},
        std::tuple{120, platform::PixelPoint{99, 25}, form::Rect{0, 0, 1200, 300},
                   form::Rect{0, 0, 1200, 300}}}) {
    form.setDpi(platform::Dpi(dpi));
    form.fitLabels(
        [&](const form::Control& l) { return l.caption().empty() ? std::nullopt : std::optional(measured); });
    for (const auto& [name, expected] :
         {std::pair{"sized", sized}, {"fixed", fixed}, {"label", c("label").layout().rect}})
      EXPECT_EQ(std::tie(c(name).rect().width, c(name).rect().height),
                std::tie(expected.width, expected.height))
          << name << dpi;
  }
}

}  // namespace
