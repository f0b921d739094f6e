#include "refresh/hotkey.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "support/fake_platform.h"

namespace {

constexpr int kCtrl = 17, kAlt = 18, kS = 83, kA = 65;

class Watcher : public ::testing::Test {
 protected:
  fake::WindowManager wm;
  fake::Keyboard keyboard{wm};
  platform::Hwnd main = wm.createWindow("VaskF5Main");
  int refreshes = 0;
  hotkey::Watcher watcher{keyboard, wm, [this] { ++refreshes; }};

  void SetUp() override { watcher.start(main); }

  // Types keys as key events, one after the other with no poll between: "+C" presses Ctrl, "-S" lets S go.
  // C Ctrl, S, A, L Alt, H Shift, G the right Alt acting as AltGr (which Windows sends after a Ctrl of its
  // own).
  void type(const std::string& keys) {
    static const std::map<char, int> codes = {{'C', kCtrl}, {'S', kS}, {'A', kA},
                                              {'L', kAlt},  {'H', 16}, {'G', kAlt}};
    std::istringstream steps(keys);
    for (std::string step; steps >> step;) {
      if (step[0] == '+') {
        keyboard.press(codes.at(step[1]), step[1] == 'G');
      } else {
        keyboard.release(codes.at(step[1]), step[1] == 'G');
      }
    }
  }
  void chord() { type("+C +S -S -C"); }
};

// One after the other on the same watcher, so each gesture also shows that the one before left nothing
// behind.
TEST_F(Watcher, EachGestureRefreshesAsOftenAsAPersonMeantToSave) {
  const struct {
    const char* what;
    const char* keys;
    int refreshes;
  } gestures[] = {
      {"Ctrl alone", "+C -C", 0},
      {"S alone", "+S -S", 0},
      {"Ctrl held, S pressed and let go, then Ctrl let go", "+C +S -S -C", 1},
      {"S let go after Ctrl", "+C +S -C -S", 1},
      {"Ctrl and S held long, the keyboard repeating", "+C +S +S +S +S -C +S +S -S", 1},
      {"a letter held when Ctrl is let go", "+C +S +A -C -A -S", 0},
      {"Alt held when Ctrl is let go", "+C +S +L -C -L -S", 0},
      {"Ctrl, then a letter, then S", "+C -C +A -A +S -S", 0},
      {"two chords faster than any poll", "+C +S -S -C +C +S -S -C", 2},
      {"Ctrl+Shift+S", "+C +H +S -S -H -C", 1},
      {"Ctrl+Shift+S, Shift let go last", "+C +H +S -S -C -H", 1},
      // AltGr with S types a letter; its two halves may be let go in either order.
      {"AltGr+S, S let go first", "+C +G +S -S -C -G", 0},
      {"AltGr+S: Ctrl, then Alt, then S let go", "+C +G +S -C -G -S", 0},
      {"AltGr+S: Alt, then Ctrl, then S let go", "+C +G +S -G -C -S", 0},
      {"AltGr+S: S let go between the halves", "+C +G +S -G -S -C", 0},
      {"a real Ctrl after AltGr saves again", "+C +S -S -C", 1},
  };
  for (const auto& gesture : gestures) {
    SCOPED_TRACE(gesture.what);
    refreshes = 0;
    type(gesture.keys);
    EXPECT_EQ(refreshes, gesture.refreshes);
  }
}

TEST_F(Watcher, TheRefreshGoesOutAsCtrlIsLetGoWithoutAnyPolling) {
  type("+C +S -S");
  EXPECT_EQ(refreshes, 0) << "Ctrl hides S while it is held";
  EXPECT_FALSE(wm.timerRunning(main, 0)) << "no timer runs, not even for a check";
  EXPECT_EQ(wm.keyQueries(), 0) << "the system's key state is never asked while keys come and go";
  wm.GetAsyncKeyState(kS);  // another program polling S takes the system's shared pressed-since bit
  type("-C");
  EXPECT_EQ(refreshes, 1) << "within the key event of Ctrl's release, whatever the shared bit says";
}

TEST_F(Watcher, AKeyWhoseReleaseWasNeverSeenBlocksChordsForAboutASecondOnly) {
  keyboard.press(kAlt);
  keyboard.releaseUnseen(kAlt);
  chord();
  EXPECT_EQ(refreshes, 0) << "within the second, Alt is still believed down";
  keyboard.advance(1001);
  chord();
  EXPECT_EQ(refreshes, 1) << "after a second without an event, Alt is found up";

  keyboard.press(kA);  // and really held
  keyboard.advance(5000);
  chord();
  EXPECT_EQ(refreshes, 1) << "a key that is really down stays down";
  keyboard.release(kA);
  chord();
  EXPECT_EQ(refreshes, 2);
}

TEST_F(Watcher, KeysHeldBeforeTheStartCountAsUpUntilTheirNextEvent) {
  watcher.stop(main);
  wm.press(kCtrl);  // held while nobody watched
  watcher.start(main);
  type("+S -S");
  EXPECT_EQ(refreshes, 0) << "S alone, as far as the watcher knows";
  type("-C");
  chord();
  EXPECT_EQ(refreshes, 1);
}

TEST_F(Watcher, StoppedWatcherHearsNothingAndRestartsClean) {
  watcher.stop(main);
  EXPECT_FALSE(keyboard.watching());
  EXPECT_FALSE(watcher.running());
  chord();
  EXPECT_EQ(refreshes, 0);

  watcher.start(main);
  type("+C");
  watcher.stop(main);
  watcher.start(main);  // a restart forgets the Ctrl seen before
  type("-C +S -S");
  EXPECT_EQ(refreshes, 0);
  chord();
  EXPECT_EQ(refreshes, 1);
}

// Where key events cannot be had, the watcher polls the system's key state on the main window's timer.
class PollingWatcher : public Watcher {
 protected:
  void SetUp() override {
    keyboard.refuseWatching = true;
    watcher.start(main);
  }
};

TEST_F(PollingWatcher, FallsBackSilentlyToTheTimerAndFiresOnceAsCtrlIsLetGo) {
  EXPECT_TRUE(watcher.polling());
  EXPECT_TRUE(wm.timerRunning(main, 0));
  for (int key : {kCtrl, kS}) {
    wm.press(key);
    wm.tick(3);
  }
  for (int key : {kS, kCtrl}) {
    wm.release(key);
    wm.tick(3);
  }
  EXPECT_EQ(refreshes, 1);
  wm.tick(10);
  EXPECT_EQ(refreshes, 1);
  watcher.stop(main);
  EXPECT_FALSE(wm.timerRunning(main, 0));
}

TEST_F(PollingWatcher, ScanStopsAtTheLowestPressedKey) {
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

}  // namespace
