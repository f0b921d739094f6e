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

  // Types keys one after the other with no poll between: "+C" presses Ctrl, "-S" lets S go, "~L" lets Alt go
  // unseen (to a window of higher privilege, or the secure desktop), "wait1001" lets 1001 ms pass, "stop" and
  // "start" stop and start the watcher, "poll" is another program asking the system whether S was pressed. C
  // Ctrl, S, A, L Alt, H Shift, G the right Alt acting as AltGr (which Windows sends after a Ctrl of its
  // own).
  void type(const std::string& keys) {
    static const std::map<char, int> codes = {{'C', kCtrl}, {'S', kS}, {'A', kA},
                                              {'L', kAlt},  {'H', 16}, {'G', kAlt}};
    std::istringstream steps(keys);
    for (std::string step; steps >> step;) {
      if (step == "stop") {
        watcher.stop(main);
      } else if (step == "start") {
        watcher.start(main);
      } else if (step == "poll") {
        wm.GetAsyncKeyState(kS);
      } else if (step.starts_with("wait")) {
        keyboard.advance(std::stoi(step.substr(4)));
      } else if (step[0] == '~') {
        wm.release(codes.at(step[1]));
      } else if (step[0] == '+') {
        keyboard.press(codes.at(step[1]), step[1] == 'G');
      } else {
        keyboard.release(codes.at(step[1]), step[1] == 'G');
      }
    }
  }
};

// One after the other on the same watcher: each gesture also shows what the one before left behind, and some
// go on from where it left off. The refresh goes out within the key event that completes the chord: no timer
// runs, and the system's key state is never asked.
TEST_F(Watcher, EachGestureRefreshesAsOftenAsAPersonMeantToSave) {
  const struct {
    const char* what;
    const char* keys;
    int refreshes;
  } gestures[] = {
      {"Ctrl held, S pressed and let go, then Ctrl let go", "+C +S -S -C", 1},
      {"S let go after Ctrl", "+C +S -C -S", 1},
      {"Ctrl and S held long, the keyboard repeating", "+C +S +S +S +S -C +S +S -S", 1},
      {"a letter held when Ctrl is let go", "+C +S +A -C -A -S", 0},
      {"Alt held when Ctrl is let go", "+C +S +L -C -L -S", 0},
      {"Ctrl, then a letter, then S", "+C -C +A -A +S -S", 0},
      {"two chords faster than any poll", "+C +S -S -C +C +S -S -C", 2},
      {"Ctrl+Shift+S", "+C +H +S -S -H -C", 1},
      {"another program polling S takes the system's shared pressed-since bit", "+C +S -S poll -C", 1},
      // AltGr with S types a letter; its two halves may be let go in either order.
      {"AltGr+S, S let go first", "+C +G +S -S -C -G", 0},
      {"AltGr+S: Ctrl, then Alt, then S let go", "+C +G +S -C -G -S", 0},
      {"AltGr+S: Alt, then Ctrl, then S let go", "+C +G +S -G -C -S", 0},
      {"AltGr+S: S let go between the halves", "+C +G +S -G -S -C", 0},
      {"a real Ctrl after AltGr saves again", "+C +S -S -C", 1},
      {"a key whose release was never seen blocks chords", "+L ~L +C +S -S -C", 0},
      {"but for about a second only", "wait1001 +C +S -S -C", 1},
      {"a key really held stays down however long", "+A wait5000 +C +S -S -C", 0},
      {"and is up once let go", "-A +C +S -S -C", 1},
      {"a stopped watcher hears nothing", "stop +C +S -S -C", 0},
      {"a key held before the start counts as up", "+C start +S -S", 0},
      {"until its next event", "-C +C +S -S -C", 1},
      {"a restart forgets the Ctrl seen before", "+C stop start -C +S -S", 0},
      {"and hears the next chord", "+C +S -S -C", 1},
      {"a key let go while nobody watched is up after a restart", "+C stop -C start +S wait1001 -S", 0},
  };
  for (const auto& gesture : gestures) {
    SCOPED_TRACE(gesture.what);
    refreshes = 0;
    type(gesture.keys);
    EXPECT_EQ(refreshes, gesture.refreshes);
  }
  EXPECT_FALSE(wm.timerRunning(main, 0));
  EXPECT_EQ(wm.keyQueries(), 1) << "only the other program's";
}

// Where key events cannot be had, the watcher falls back silently to polling the system's key state on the
// main window's timer, and fires once as Ctrl is let go. A scan stops at the lowest pressed key.
TEST_F(Watcher, WithoutKeyEventsItPollsOnTheTimerAndFiresOnceAsCtrlIsLetGo) {
  watcher.stop(main);
  keyboard.refuseWatching = true;
  watcher.start(main);
  EXPECT_TRUE(watcher.polling());
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

}  // namespace
