// Many generated desktops, as crowded as real ones: programs under browser and other names (some we may not
// open), sharing the browsers' window classes, with owned popups, hidden, minimised, tool and floating video
// windows in a random z-order. Whatever the desktop, the refresh key, a slider's fade and a pin reach only
// the frontmost frame of the ticked browser's own program.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>

#include "support/fake_platform.h"
#include "ui/main_window.h"

namespace {

using platform::BrowserKind;
using platform::Hwnd;

struct BrowserControls {
  BrowserKind kind;
  const char* className;
  const char* program;
  const char* tick;
  const char* slider;  // empty: this browser has no slider or pin box
  const char* pin;
};
constexpr BrowserControls kBrowsers[] = {
    {BrowserKind::IE, "IEFrame", "iexplore.exe", "ie_chk", "IEHScroll", "IETopmostChk"},
    {BrowserKind::Chrome, "Chrome_WidgetWin_1", "chrome.exe", "chrome_chk", "CHHScroll", "CHTopmostChk"},
    {BrowserKind::Firefox, "MozillaWindowClass", "firefox.exe", "firefox_chk", "FFHScroll", "FFTopmostChk"},
    {BrowserKind::Opera, "OperaWindowClass", "opera.exe", "opera_chk", "", ""},
};
constexpr const char* kClasses[] = {"IEFrame",          "Chrome_WidgetWin_1", "MozillaWindowClass",
                                    "OperaWindowClass", "Chrome_WidgetWin_1", "MozillaWindowClass",
                                    "Notepad"};
constexpr const char* kPrograms[] = {"iexplore.exe", "chrome.exe",  "firefox.exe",    "opera.exe",
                                     "CHROME.EXE",   "Firefox.Exe", "Code.exe",       "thunderbird.exe",
                                     "msedge.exe",   "xchrome.exe", "chrome.exe.old", "brave.exe"};
constexpr const char* kFolders[] = {"C:\\Program Files\\App\\", "D:/portable/", "C:\\chrome.exe\\", ""};

// What the generator knows about a window it made, kept apart from the fake so the check does not ask the
// code under test.
struct Made {
  Hwnd hwnd;
  std::string className;
  std::optional<std::string> program;  // file name; nothing for a process we may not open
  fake::WindowSpec spec;
  bool topmostAtStart;
};

std::string lowerAscii(std::string text) {
  for (char& c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return text;
}

bool isFrameOf(const Made& w, const BrowserControls& browser) {
  return w.className == browser.className && w.program && lowerAscii(*w.program) == browser.program &&
         w.spec.visible && w.spec.owner == 0 && !w.spec.toolWindow && !w.spec.pictureInPicture;
}

std::vector<Made> generateDesktop(fake::WindowManager& wm, std::mt19937& random) {
  const auto chance = [&random](int inN) { return random() % inN == 0; };
  struct Process {
    std::uint32_t id;
    std::optional<std::string> program;
  };
  std::vector<Process> processes;
  for (int n = 1 + static_cast<int>(random() % 8); n > 0; --n) {
    if (chance(8)) {
      processes.push_back({wm.startUnreadableProcess(), std::nullopt});
      continue;
    }
    const std::string program = kPrograms[random() % std::size(kPrograms)];
    processes.push_back({wm.startProcess(kFolders[random() % std::size(kFolders)] + program), program});
  }
  std::vector<Made> made;
  for (int n = static_cast<int>(random() % 14); n > 0; --n) {
    const Process& process = processes[random() % processes.size()];
    fake::WindowSpec spec{.process = process.id,
                          .visible = !chance(4),
                          .minimised = chance(6),
                          .toolWindow = chance(8),
                          .pictureInPicture = chance(10)};
    std::vector<Hwnd> sameProcess;
    for (const Made& w : made)
      if (w.spec.process == process.id) sameProcess.push_back(w.hwnd);
    if (!sameProcess.empty() && chance(3)) spec.owner = sameProcess[random() % sameProcess.size()];
    const std::string className = kClasses[random() % std::size(kClasses)];
    const Hwnd hwnd = wm.createWindow(className, spec);
    made.push_back({hwnd, className, process.program, spec, spec.pictureInPicture});
  }
  for (int n = static_cast<int>(random() % 4); n > 0 && !made.empty(); --n)
    wm.bringToFront(made[random() % made.size()].hwnd);
  return made;
}

// The frontmost frame of the browser, read from the generator's own record and the fake's z-order.
Hwnd expectedFrame(fake::WindowManager& wm, const std::vector<Made>& made, const BrowserControls& browser) {
  for (Hwnd h = wm.FindWindowExA(wm.GetDesktopWindow(), 0, browser.className); h != 0;
       h = wm.FindWindowExA(wm.GetDesktopWindow(), h, browser.className)) {
    const auto w = std::find_if(made.begin(), made.end(), [h](const Made& m) { return m.hwnd == h; });
    if (w != made.end() && isFrameOf(*w, browser)) return h;
  }
  return 0;
}

TEST(GeneratedDesktops, KeysFadesAndPinsReachOnlyTheTickedBrowsersFrontmostFrame) {
  std::mt19937 random(20261207);
  for (int round = 0; round < 1500; ++round) {
    fake::Platform p;
    ui::Main main(p.services);
    main.form().hWnd = p.wm.createWindow("VaskF5Main");
    const std::vector<Made> made = generateDesktop(p.wm, random);
    const BrowserControls& ticked = kBrowsers[random() % std::size(kBrowsers)];
    const Hwnd expected = expectedFrame(p.wm, made, ticked);
    SCOPED_TRACE("round " + std::to_string(round) + ", ticked " + ticked.program);

    main.control(ticked.tick).SetValue(1);
    main.sendF5();
    if (*ticked.slider) {
      main.control(ticked.slider).SetValue(1 + static_cast<int>(random() % 254));
      main.control(ticked.pin).SetValue(1);
    }

    for (const Made& w : made) {
      const fake::Window& now = *p.wm.window(w.hwnd);
      const bool keyed = !now.queue.empty();
      const bool faded = now.alpha.has_value();
      const bool pinChanged = ((now.exStyle & win32::kWsExTopmost) != 0) != w.topmostAtStart;
      if (!keyed && !faded && !pinChanged) continue;
      EXPECT_TRUE(isFrameOf(w, ticked))
          << "window of " << w.program.value_or("(unreadable)") << ", class " << w.className << ": keyed "
          << keyed << " faded " << faded << " pin changed " << pinChanged;
      EXPECT_EQ(w.hwnd, expected) << "only the frontmost frame";
    }
    if (expected != 0) {
      EXPECT_EQ(p.wm.posted(expected).size(), 3u) << "the browser's frame is refreshed once";
      if (*ticked.slider) {
        EXPECT_TRUE(p.wm.window(expected)->alpha.has_value());
        EXPECT_TRUE(p.wm.window(expected)->exStyle & win32::kWsExTopmost);
      }
    }
  }
}

}  // namespace
