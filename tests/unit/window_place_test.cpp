// Where the window opens, how its place is stored, and a drag across monitors of different scales.
#include <gtest/gtest.h>

#include "app_fixture.h"
#include "platform/form/placement.h"
#include "settings/stored.h"
#include "ui/layout.h"

namespace {

using platform::Monitor;
using platform::PixelPoint;
using testing_app::App;

// A 100 % monitor on the left with a task bar along its bottom, and a 150 % laptop screen to its right.
const std::vector<Monitor> kTwoMonitors = {
    {.workArea = {0, 0, 1920, 1040}, .dpi = platform::Dpi(96), .primary = true},
    {.workArea = {1920, 0, 2880, 1800}, .dpi = platform::Dpi(144), .primary = false},
};
// The window is 416 by 217 pixels at 96 dpi and 624 by 326 at 144.
constexpr PixelPoint kCentredOnPrimary = {(1920 - 416) / 2, (1040 - 217) / 2};

// The laptop as the primary monitor.
const std::vector<Monitor> kLaptopFirst = {
    {.workArea = {0, 0, 1920, 1040}, .dpi = platform::Dpi(96), .primary = false},
    {.workArea = {1920, 0, 2880, 1800}, .dpi = platform::Dpi(144), .primary = true}};

TEST(Placement, StoredOrCentred) {
  struct Case {
    std::string what;
    std::optional<PixelPoint> stored;
    std::pair<PixelPoint, int> expected;  // where, at which dpi
    std::vector<Monitor> monitors = kTwoMonitors;
  };
  const std::vector<Case> cases = {
      {"nothing stored", std::nullopt, {kCentredOnPrimary, 96}},
      {"wholly on the primary", PixelPoint{100, 200}, {{100, 200}, 96}},
      {"wholly on the laptop, at its scale", PixelPoint{2500, 900}, {{2500, 900}, 144}},
      {"half off the left edge", PixelPoint{-208, 0}, {{-208, 0}, 96}},
      {"more than half off the left edge", PixelPoint{-209, 0}, {kCentredOnPrimary, 96}},
      {"more than half under the task bar", PixelPoint{0, 932}, {kCentredOnPrimary, 96}},
      {"across the boundary, mostly on the primary", PixelPoint{1620, 0}, {{1620, 0}, 96}},
      {"across the boundary, mostly on the laptop", PixelPoint{1820, 0}, {{1820, 0}, 144}},
      {"across the boundary and above the top, half on neither",
       PixelPoint{1750, -200},
       {kCentredOnPrimary, 96}},
      {"far off-screen", PixelPoint{-30000, 90000}, {kCentredOnPrimary, 96}},
      {"the laptop primary", std::nullopt, {{1920 + (2880 - 624) / 2, (1800 - 326) / 2}, 144}, kLaptopFirst},
      {"no monitor known: the desktop's corner", PixelPoint{5, 5}, {{0, 0}, 96}, {}},
  };
  for (const Case& c : cases) {
    const form::Placement placed =
        form::startPlacement(c.stored, c.monitors, ui::kClientWidth, ui::kClientHeight);
    EXPECT_EQ(placed.at, c.expected.first) << c.what;
    EXPECT_EQ(placed.dpi.dots(), c.expected.second) << c.what;
  }
}

// Two whole numbers separated by a comma, a leading minus allowed, within 32 bits; nothing else is a place.
// How a place is written is read back by the end-to-end tests.
TEST(Placement, StoredPositionText) {
  EXPECT_EQ(settings::parsePosition("-1920,2147483647"), (PixelPoint{-1920, 2147483647}));
  const std::string withNul = std::string("10,2X0").replace(4, 1, 1, '\0');
  for (const std::string text : {"2147483648,0", "", "10", "10,", "10,20,30", " 10,20", "+10,20", "10.5,20"})
    EXPECT_EQ(settings::parsePosition(text), std::nullopt) << text;
  EXPECT_EQ(settings::parsePosition(withNul), std::nullopt) << "a NUL inside";
}

// Conversions round to the nearest, halves away from zero; a scale a window system reports as none is 100 %;
// a pointer position that is no number, or lies beyond any desktop, is no position.
TEST(Units, RoundAndGuard) {
  EXPECT_EQ(std::pair(platform::Dpi(0).dots(), platform::Dpi(-120).dots()), std::pair(96, 96));
  EXPECT_EQ(platform::toPixels(3255, platform::Dpi(96)), 217);
  EXPECT_EQ(platform::toPixels(8, platform::Dpi(96)), 1) << "the nearest, not cut off";
  EXPECT_EQ(platform::toPixels(-15, platform::Dpi(144)), -2) << "a half, away from zero";
  EXPECT_EQ(platform::toTwips(217, platform::Dpi(144)), 2170);
  EXPECT_EQ(platform::wholeTwips(-2.5), -3);
  for (double bad : {std::nan(""), 1e12, -std::numeric_limits<double>::infinity()})
    EXPECT_EQ(platform::wholeTwips(bad), std::nullopt) << bad;
  testing_app::Session s;
  EXPECT_EQ(s.form.controlAt(std::nanf(""), 10), nullptr)
      << "a host's pointer that is no number is over nothing";
}

class WindowPlace : public App {
  void SetUp() override { main.placeWindow(kTwoMonitors); }
};

// A drag onto a monitor of another scale and back: the window takes the scale of the monitor that holds its
// middle, as Windows decides it, and the pointer keeps its pixel of the window's corner, without a bounce. A
// grab point beyond the window once it is shown smaller stays on the window.
TEST_F(WindowPlace, AcrossMonitors) {
  std::vector<int> dpiChanges;
  form.onMoved = [&] {
    const int dpi =
        form.position().x + platform::toPixels(form.clientWidth(), form.dpi()) / 2 < 1920 ? 96 : 144;
    if (dpi != form.dpi().dots()) dpiChanges.push_back(dpi), form.setDpi(platform::Dpi(dpi));
  };
  const auto pointerTo = [&](PixelPoint at,
                             bool down) {  // as the host reports it, in twips at the current scale
    const float scale = 1440.f / static_cast<float>(form.dpi().dots());
    const float x = static_cast<float>(at.x - form.position().x) * scale,
                y = static_cast<float>(at.y - form.position().y) * scale;
    down ? form.mouseDown(x, y, form::kLeftButton, 0) : form.mouseMove(x, y, form::kLeftButton, 0);
  };
  form.placedAt({1300, 400});
  pointerTo({1600, 500}, true);  // grabbed 300 pixels from the left edge
  for (std::int64_t x :
       {1700, 2008, 2016, 2200, 1912, 1904, 1650}) {  // either side of where the scale changes
    pointerTo({x, 500}, false);
    ASSERT_EQ(form.position(), (PixelPoint{x - 300, 400})) << "pointer at " << x;
  }
  EXPECT_EQ(dpiChanges, (std::vector<int>{144, 96})) << "one change of scale onto the laptop, one back";
  form.mouseUp(0.f, 0.f, 0, 0);
  form.placedAt({2000, 400});
  form.setDpi(platform::Dpi(144));
  pointerTo({2000 + 600, 500}, true);  // near the right edge of the 624-pixel window
  form.setDpi(platform::Dpi(96));      // shown at 100 % from here on: 416 pixels wide
  pointerTo({2000 + 610, 500}, false);
  EXPECT_EQ(form.position(), (PixelPoint{2610 - 415, 400}));
}

}  // namespace
