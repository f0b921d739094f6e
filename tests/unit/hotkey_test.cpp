#include "refresh/hotkey.h"

#include <gtest/gtest.h>

#include "support/fake_platform.h"

namespace {

constexpr int kCtrl = 17, kShift = 16, kAlt = 18, kS = 83, kA = 65;

class Watcher : public ::testing::Test {
 protected:
  fake::WindowManager wm;
  platform::Hwnd main = wm.createWindow("VaskF5Main");
  int refreshes = 0;
  hotkey::Watcher watcher{wm, [this] { ++refreshes; }};

  void SetUp() override { watcher.start(main); }
  void tick(int times = 1) { wm.tick(times); }
  // Ctrl then S at human speed: several polls pass while each key is held.
  void chord() {
    wm.press(kCtrl);
    tick(3);
    wm.press(kS);
    tick(3);
    wm.release(kS);
    tick(3);
    wm.release(kCtrl);
    tick(3);
  }
};

TEST_F(Watcher, CtrlAloneOrSAloneDoesNothing) {
  wm.press(kCtrl);
  tick(5);
  wm.release(kCtrl);
  tick(5);
  wm.press(kS);
  tick(5);
  wm.release(kS);
  tick(5);
  EXPECT_EQ(refreshes, 0);
}

TEST_F(Watcher, CtrlThenSFiresOnceAsCtrlIsReleased) {
  wm.press(kCtrl);
  tick(3);
  wm.press(kS);
  tick(3);
  wm.release(kS);
  tick(3);
  EXPECT_EQ(refreshes, 0) << "Ctrl hides S while it is held";
  wm.release(kCtrl);
  tick();
  EXPECT_EQ(refreshes, 1) << "S's pressed-since bit survived: it was never queried while Ctrl was down";
  tick(10);
  EXPECT_EQ(refreshes, 1);
}

TEST_F(Watcher, HoldingBothLongFiresOnceAfterCtrlAndNotAgainWhileSIsHeld) {
  wm.press(kCtrl);
  wm.press(kS);
  tick(50);
  EXPECT_EQ(refreshes, 0);
  wm.release(kCtrl);
  tick(50);
  EXPECT_EQ(refreshes, 1);
  wm.release(kS);
  tick(5);
  EXPECT_EQ(refreshes, 1);
}

TEST_F(Watcher, AnotherKeySeenBetweenCtrlAndSCancelsTheChord) {
  for (int other : {kAlt, kA}) {
    SCOPED_TRACE(other);
    wm.press(kCtrl);
    wm.press(kS);
    tick(2);
    wm.release(kCtrl);
    wm.press(other);
    tick();
    wm.release(other);
    tick(3);
    wm.release(kS);
    tick(3);
  }
  EXPECT_EQ(refreshes, 0);
}

TEST_F(Watcher, RepeatedChordsFireOnceEachAndShiftIsIgnored) {
  chord();
  chord();
  EXPECT_EQ(refreshes, 2);
  wm.press(kShift);
  chord();
  wm.release(kShift);
  EXPECT_EQ(refreshes, 3) << "keys below Ctrl are not scanned, so Ctrl+Shift+S counts";
}

TEST_F(Watcher, ScanStopsAtTheLowestPressedKey) {
  int before = wm.keyQueries();
  EXPECT_EQ(watcher.scanPressedKey(), "0");
  EXPECT_EQ(wm.keyQueries() - before, 112) << "codes 17 to 128 when nothing is pressed";
  wm.press(kA);
  wm.press(kCtrl);
  before = wm.keyQueries();
  EXPECT_EQ(watcher.scanPressedKey(), "17");
  EXPECT_EQ(wm.keyQueries() - before, 1);
  wm.release(kCtrl);
  wm.release(kA);
  EXPECT_EQ(watcher.scanPressedKey(), "65") << "A was never queried, so its pressed-since bit survived";
  EXPECT_EQ(watcher.scanPressedKey(), "0");
}

TEST_F(Watcher, StoppedWatcherNeitherPollsNorFiresAndRestartsClean) {
  watcher.stop(main);
  EXPECT_FALSE(wm.timerRunning(main, 0));
  chord();
  EXPECT_EQ(refreshes, 0);

  wm.press(kCtrl);
  watcher.start(main);
  tick();
  wm.release(kCtrl);
  watcher.stop(main);
  watcher.start(main);  // a restart forgets the Ctrl seen before
  wm.press(kS);
  tick();
  EXPECT_EQ(refreshes, 0);
  wm.release(kS);
  chord();
  EXPECT_EQ(refreshes, 1);
}

}  // namespace
