// The save chord, as people type it, and how the window systems' key reports become key events.
#include "refresh/save_chord.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "platform/key_events.h"
#include "support/fake_platform.h"

namespace {

using platform::KeySide;

class SaveChord : public ::testing::Test {
 protected:
  fake::Clock clock;
  fake::Keyboard keyboard{clock};
  int saves = 0;
  refresh::SaveChordWatcher watcher{keyboard, [this] { ++saves; }};

  void SetUp() override { watcher.start(); }

  // Steps such as "+ctrl": a press; "*ctrl": the keyboard repeating it; "-ctrl": its release; "~ctrl": a
  // release that goes to a window of higher privilege (the system knows, no event comes). Keys: ctrl and
  // rctrl (left and right Ctrl), alt and altgr (left and right Alt), win, shift, and letters. "wait1001"
  // lets time pass; "stop" and "start" stop and start the watcher.
  void type(const std::string& steps) {
    static const std::map<std::string, std::pair<int, KeySide>> keys = {
        {"ctrl", {17, KeySide::Left}},   {"rctrl", {17, KeySide::Right}}, {"alt", {18, KeySide::Left}},
        {"altgr", {18, KeySide::Right}}, {"win", {91, KeySide::Left}},    {"shift", {16, KeySide::Left}}};
    std::istringstream words(steps);
    for (std::string word; words >> word;) {
      const std::string name = word.substr(1);
      const auto [key, side] =
          keys.contains(name) ? keys.at(name) : std::pair{std::toupper(name[0]), KeySide::Any};
      if (word == "stop") watcher.stop();
      if (word == "start") watcher.start();
      if (word.starts_with("wait")) clock.advance(std::stoi(word.substr(4)));
      if (word[0] == '+' || word[0] == '*') keyboard.press(key, side, word[0] == '*');
      if (word[0] == '-') keyboard.release(key, side);
      if (word[0] == '~') keyboard.releaseUnheard(key, side);
    }
  }
};

// One after the other on the same watcher: each row also shows what the one before left behind.
TEST_F(SaveChord, Gestures) {
  const struct {
    const char* what;
    const char* keys;
    int saves;
  } rows[] = {
      {"Ctrl held, S pressed and let go, Ctrl let go", "+ctrl +s -s -ctrl", 1},
      {"held long, the keyboard repeating", "+ctrl *ctrl +s *s *s *ctrl -s *ctrl -ctrl", 1},
      {"copy, then save, in one hold", "+ctrl +c -c +s -s -ctrl", 1},
      {"S twice in one hold", "+ctrl +s -s +s -s -ctrl", 1},
      {"a letter still held as Ctrl is let go", "+ctrl +s +a -ctrl -a -s", 1},
      {"Ctrl+Shift+S", "+ctrl +shift +s -s -shift -ctrl", 1},
      {"both Ctrl keys: the hold ends with the last", "+ctrl +rctrl +s -s -ctrl", 0},
      {"  ... here", "-rctrl", 1},
      {"S before Ctrl", "+s +ctrl -s -ctrl", 0},
      {"Ctrl let go, then S", "+ctrl -ctrl +s -s", 0},
      {"Ctrl+Alt+S", "+ctrl +alt +s -s -alt -ctrl", 0},
      {"Ctrl+Win+S", "+ctrl +win +s -s -win -ctrl", 0},
      // Windows sends AltGr as left Ctrl then right Alt; AltGr+S types a letter. Either half may go first.
      {"AltGr+S", "+ctrl +altgr +s -s -ctrl -altgr", 0},
      {"AltGr+S, Alt let go first", "+ctrl +altgr +s -altgr -s -ctrl", 0},
      {"a real Ctrl after AltGr", "+ctrl +s -s -ctrl", 1},
      {"two chords faster than any poll", "+ctrl +s -s -ctrl +ctrl +s -s -ctrl", 2},
      {"a lost Ctrl release ends the hold without a save", "+ctrl +s -s ~ctrl wait1001 +s -s", 0},
      {"  ... and nothing until a new Ctrl press", "+s -s -ctrl +s -s", 0},
      {"  ... which saves again", "+ctrl +s -s -ctrl", 1},
      {"a lost release told by the next press of that Ctrl", "+ctrl +s ~ctrl wait2000 +ctrl -s -ctrl", 0},
      {"Ctrl really held a long time", "+ctrl wait5000 +s -s -ctrl", 1},
      {"an Alt whose release was lost spoils chords for a second only", "+alt ~alt +ctrl +s -s -ctrl", 0},
      {"  ... then is forgotten", "wait1001 +ctrl +s -s -ctrl", 1},
      {"a stopped watcher hears nothing", "stop +ctrl +s -s -ctrl", 0},
      {"a Ctrl held before the start, repeating, starts no hold", "+ctrl start *ctrl +s -s -ctrl", 0},
      {"a restart forgets the hold seen before", "+ctrl stop start +s -s -ctrl", 0},
      {"  ... and hears the next chord", "+ctrl +s -s -ctrl", 1},
  };
  for (const auto& row : rows) {
    saves = 0;
    type(row.keys);
    EXPECT_EQ(saves, row.saves) << row.what << ": " << row.keys;
  }
  keyboard.refuseWatching = true;
  watcher.stop();
  watcher.start();
  EXPECT_FALSE(watcher.running()) << "without key events or polling the watcher does not run";
}

TEST(KeyEvents, RepeatsAndPolls) {
  platform::KeyRepeats repeats;
  const auto press = [&](KeySide side, std::int64_t ms) { return repeats.event(17, side, true, ms).repeat; };
  EXPECT_FALSE(press(KeySide::Left, 0)) << "a first press";
  EXPECT_TRUE(press(KeySide::Left, 500)) << "the keyboard repeating";
  EXPECT_FALSE(press(KeySide::Right, 600)) << "the other side is another key";
  EXPECT_FALSE(press(KeySide::Left, 5000)) << "silent for seconds: its release was lost, this is a new press";
  repeats.event(17, KeySide::Left, false, 5100);
  EXPECT_FALSE(press(KeySide::Left, 5200)) << "pressed again after its release";

  // Each poll reads left and right Ctrl, left and right Alt, left and right Super, then S: down now, or
  // pressed and let go since the last poll ("t").
  platform::KeyPoller poller;
  const auto poll = [&](std::string_view keys) {
    std::array<platform::PolledKey, platform::kPolledKeys.size()> now{};
    for (std::size_t i = 0; i < now.size(); ++i) now[i] = {keys[i] == 'd', keys[i] == 't'};
    std::string seen;
    for (const platform::KeyEvent& e : poller.changes(now))
      seen += (e.down ? "+" : "-") + std::to_string(e.key) + (e.side == KeySide::Right ? "r " : " ");
    return seen;
  };
  EXPECT_EQ(poll("d.....t"), "+17 +83 -83 ") << "S tapped while Ctrl went down: Ctrl first";
  EXPECT_EQ(poll("d.....d"), "+83 ");
  EXPECT_EQ(poll("...d..."), "+18r -83 -17 ") << "presses first, then releases, S first";
  EXPECT_EQ(poll(".t....t"), "+17r +83 -83 -18r -17r ") << "a whole chord between two polls";
}

}  // namespace
