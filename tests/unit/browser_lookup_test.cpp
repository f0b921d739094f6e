// Which window is a browser's: its frontmost own frame, never a look-alike. The refresh key, a slider's fade
// and a pin box all go through the lookup, so each case checks all three, through the main window.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>

#include "app_fixture.h"

namespace {

using platform::Hwnd;
using testing_app::Session;

struct Browser {
  BrowserKind kind;
  const char* className;
  const char* program;
  const char* tick;
  const char* slider;  // empty: no slider and no pin box
  const char* pin;
};
constexpr Browser kBrowsers[] = {
    {BrowserKind::IE, "IEFrame", "iexplore.exe", "ie_chk", "IEHScroll", "IETopmostChk"},
    {BrowserKind::Chrome, "Chrome_WidgetWin_1", "chrome.exe", "chrome_chk", "CHHScroll", "CHTopmostChk"},
    {BrowserKind::Firefox, "MozillaWindowClass", "firefox.exe", "firefox_chk", "FFHScroll", "FFTopmostChk"},
    {BrowserKind::Opera, "OperaWindowClass", "opera.exe", "opera_chk", "", ""}};

// The three uses of the lookup, as a user triggers them with only this browser ticked: the save chord's
// refresh, its slider moved and its pin box (clear, then ticked); then which windows got a key, a fade or a
// pin (a change of the always-on-top state) besides the program's own.
std::vector<Hwnd> refreshFadeAndPin(Session& s, const Browser& b, int alpha) {
  const std::vector<fake::Window> before = s.p.wm.windows();
  s.main.control(b.tick).SetValue(1);
  s.main.sendF5();
  if (*b.slider) {
    s.main.control(b.slider).SetValue(alpha);
    s.main.control(b.pin).SetValue(0);
    s.main.control(b.pin).SetValue(1);
  }
  std::vector<Hwnd> touched;
  for (const fake::Window& was : before) {
    const fake::Window& now = *s.p.wm.window(was.hwnd);
    if (was.hwnd != s.form.hWnd &&
        (now.queue.size() > was.queue.size() || now.alpha != was.alpha || now.exStyle != was.exStyle))
      touched.push_back(was.hwnd);
  }
  return touched;
}

// Every kind of window that shares a browser's class but is not its frame, put in front of the real frame:
// for every browser, the refresh, the fade and the pin still reach the frame and nothing else, then the newer
// frame in front of it, then nothing once both are closed.
TEST(BrowserLookup, LookAlikesInFrontOfTheFrameAreSkipped) {
  using Make = std::function<void(fake::WindowManager&, const Browser&, Hwnd frame)>;
  // A window of the browser's own program.
  const auto own = [](fake::WindowSpec spec, bool ownedByFrame = false) -> Make {
    return [spec, ownedByFrame](auto& wm, const Browser& b, Hwnd frame) mutable {
      spec.process = wm.window(frame)->process;
      spec.owner = ownedByFrame ? frame : 0;
      wm.createWindow(b.className, spec);
    };
  };
  const std::pair<const char*, Make> decoys[] = {
      {"an editor built on the same class",
       [](auto& wm, const Browser& b, Hwnd) { wm.openProgram("C:\\VS Code\\Code.exe", b.className); }},
      {"a program whose name only ends like the browser's",
       [](auto& wm, const Browser& b, Hwnd) {
         wm.openProgram("C:\\x\\x" + std::string(b.program), b.className);
       }},
      {"a program we may not open",
       [](auto& wm, const Browser& b, Hwnd) {
         wm.createWindow(b.className, {.process = wm.startProcess(std::nullopt)});
       }},
      {"a hidden window of the browser", own({.visible = false})},
      {"an owned popup directly above the frame", own({}, true)},
      {"a tool window of the browser", own({.toolWindow = true})},
      {"the browser's floating video window", own({.pictureInPicture = true})},
  };
  for (const Browser& b : kBrowsers) {
    for (const auto& [what, make] : decoys) {
      SCOPED_TRACE(std::string(b.program) + ": " + what);
      Session s;
      const Hwnd frame = s.p.wm.openBrowser(b.kind);
      make(s.p.wm, b, frame);
      EXPECT_EQ(refreshFadeAndPin(s, b, 100), std::vector<Hwnd>{frame});
      const Hwnd newer = s.p.wm.openBrowser(b.kind);
      EXPECT_EQ(refreshFadeAndPin(s, b, 80), std::vector<Hwnd>{newer})
          << "looked up afresh: the frontmost frame";
      for (Hwnd closed : {frame, newer}) s.p.wm.destroyWindow(closed);
      EXPECT_EQ(refreshFadeAndPin(s, b, 50), std::vector<Hwnd>{}) << "without a frame, nothing is touched";
    }
  }
}

// Many generated desktops, as crowded as real ones: programs under browser and other names (some we may not
// open), sharing the browsers' window classes, with owned popups, hidden, minimised, tool and floating video
// windows in a random z-order. Whatever the desktop, the refresh key, a slider's fade and a pin reach only
// the frontmost frame of the ticked browser's own program.
constexpr const char* kClasses[] = {"IEFrame",          "Chrome_WidgetWin_1", "MozillaWindowClass",
                                    "OperaWindowClass", "Chrome_WidgetWin_1", "MozillaWindowClass",
                                    "Notepad"};
constexpr const char* kPrograms[] = {"iexplore.exe", "chrome.exe",  "firefox.exe",    "opera.exe",
                                     "CHROME.EXE",   "Firefox.Exe", "Code.exe",       "thunderbird.exe",
                                     "msedge.exe",   "xchrome.exe", "chrome.exe.old", "chrome"};
constexpr const char* kFolders[] = {"C:\\Program Files\\App\\", "D:/portable/", "C:\\chrome.exe\\", ""};

// The file name of each process the generator started; nothing for one we may not open. The check reads the
// windows as they were made and these names, never the code under test.
using Programs = std::map<std::uint32_t, std::optional<std::string>>;

Programs generateDesktop(fake::WindowManager& wm, std::mt19937& random) {
  const auto chance = [&random](int inN) { return random() % inN == 0; };
  Programs programs;
  for (int n = 1 + static_cast<int>(random() % 8); n > 0; --n) {
    std::optional<std::string> program;
    if (!chance(8)) program = kPrograms[random() % std::size(kPrograms)];
    const std::string folder = kFolders[random() % std::size(kFolders)];
    programs[wm.startProcess(program ? std::optional(folder + *program) : std::nullopt)] = program;
  }
  for (int n = static_cast<int>(random() % 14); n > 0; --n) {
    fake::WindowSpec spec{.process = std::next(programs.begin(), random() % programs.size())->first,
                          .visible = !chance(4),
                          .minimised = chance(6),
                          .toolWindow = chance(8),
                          .pictureInPicture = chance(10)};
    std::vector<Hwnd> sameProcess;
    for (const fake::Window& w : wm.windows())
      if (w.process == spec.process) sameProcess.push_back(w.hwnd);
    if (!sameProcess.empty() && chance(3)) spec.owner = sameProcess[random() % sameProcess.size()];
    wm.createWindow(kClasses[random() % std::size(kClasses)], spec);
  }
  for (int n = static_cast<int>(random() % 4); n > 0 && !wm.windows().empty(); --n)
    wm.bringToFront(wm.windows()[random() % wm.windows().size()].hwnd);
  return programs;
}

TEST(GeneratedDesktops, KeysFadesAndPinsReachOnlyTheTickedBrowsersFrontmostFrame) {
  std::mt19937 random(20261207);
  for (int round = 0; round < 1500; ++round) {
    Session s;
    Programs programs = generateDesktop(s.p.wm, random);
    programs[0] = std::nullopt;  // the program's own window
    const Browser& ticked = kBrowsers[random() % std::size(kBrowsers)];
    SCOPED_TRACE("round " + std::to_string(round) + ", ticked " + ticked.program);
    const auto& windows = s.p.wm.windows();
    const auto frame = std::ranges::find_if(windows, [&](const fake::Window& w) {
      std::string program = programs.at(w.process).value_or("");
      for (char& c : program) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
      return w.className == ticked.className && program == ticked.program && w.visible && w.owner == 0 &&
             !w.toolWindow && !w.pictureInPicture;
    });
    const Hwnd expected = frame == windows.end() ? 0 : frame->hwnd;
    const std::vector<Hwnd> touched = refreshFadeAndPin(s, ticked, 1 + static_cast<int>(random() % 254));
    EXPECT_EQ(touched, expected ? std::vector<Hwnd>{expected} : std::vector<Hwnd>{});
    if (expected != 0) {
      EXPECT_EQ(s.p.wm.posted(expected).size(), 3u) << "the browser's frame is refreshed once";
      if (*ticked.slider) {
        EXPECT_TRUE(s.p.wm.window(expected)->alpha.has_value());
        EXPECT_TRUE(s.p.wm.window(expected)->exStyle & win32::kWsExTopmost);
      }
    }
  }
}

}  // namespace
