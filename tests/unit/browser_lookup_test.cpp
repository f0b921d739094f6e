#include "refresh/browser_lookup.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/fake_platform.h"
#include "ui/main_window.h"

namespace {

using platform::Hwnd;

struct Browser {
  BrowserKind kind;
  const char* className;
  const char* name;
  const char* tick;
  const char* slider;  // empty: no slider and no pin box
  const char* pin;
};
constexpr Browser kBrowsers[] = {
    {BrowserKind::IE, "IEFrame", "IE", "ie_chk", "IEHScroll", "IETopmostChk"},
    {BrowserKind::Chrome, "Chrome_WidgetWin_1", "Chrome", "chrome_chk", "CHHScroll", "CHTopmostChk"},
    {BrowserKind::Firefox, "MozillaWindowClass", "Firefox", "firefox_chk", "FFHScroll", "FFTopmostChk"},
    {BrowserKind::Opera, "OperaWindowClass", "Opera", "opera_chk", "", ""}};

// The three uses of the lookup, as a user triggers them with only this browser ticked: the save chord's
// refresh, its slider moved and its pin box (clear, then ticked).
void refreshFadeAndPin(ui::Main& main, const Browser& b, int alpha) {
  main.control(b.tick).SetValue(1);
  main.sendF5();
  if (!*b.slider) return;
  main.control(b.slider).SetValue(alpha);
  main.control(b.pin).SetValue(0);
  main.control(b.pin).SetValue(1);
}

// Which windows got a key, a fade or a pin (a change of the always-on-top state) besides the program's own.
std::vector<Hwnd> touched(fake::Platform& p, Hwnd main, const std::vector<fake::Window>& before) {
  std::vector<Hwnd> result;
  for (const fake::Window& was : before) {
    const fake::Window& now = *p.wm.window(was.hwnd);
    if (was.hwnd != main && (!now.queue.empty() || now.alpha || now.exStyle != was.exStyle))
      result.push_back(was.hwnd);
  }
  return result;
}

TEST(BrowserLookup, EachBrowserFindsItsFrontmostOwnFrameAfreshAtEveryCall) {
  for (const Browser& b : kBrowsers) {
    SCOPED_TRACE(b.name);
    fake::WindowManager wm;
    EXPECT_EQ(wm.desktop.findBrowserWindow(b.kind), 0) << "not running";
    const Hwnd back = wm.openBrowser(b.kind);
    EXPECT_EQ(wm.desktop.findBrowserWindow(b.kind), back) << "a lone window is the browser";
    wm.createWindow("Notepad");
    const Hwnd front = wm.openBrowser(b.kind);
    EXPECT_EQ(wm.desktop.findBrowserWindow(b.kind), front);
    wm.bringToFront(back);
    EXPECT_EQ(wm.desktop.findBrowserWindow(b.kind), back) << "the answer follows the z-order";
    wm.destroyWindow(back);
    wm.destroyWindow(front);
    EXPECT_EQ(wm.desktop.findBrowserWindow(b.kind), 0) << "a closed browser is noticed at the next call";
  }
}

TEST(BrowserLookup, NamedLookupsAreTheFourBrowsers) {
  fake::WindowManager wm;
  const Hwnd ie = wm.openBrowser(BrowserKind::IE);
  const Hwnd chrome = wm.openBrowser(BrowserKind::Chrome);
  const Hwnd firefox = wm.openBrowser(BrowserKind::Firefox);
  const Hwnd opera = wm.openBrowser(BrowserKind::Opera);
  EXPECT_EQ(browser_lookup::getIEHwnd(wm.desktop), ie);
  EXPECT_EQ(browser_lookup::getChromeHwnd(wm.desktop), chrome);
  EXPECT_EQ(browser_lookup::getFirefoxHwnd(wm.desktop), firefox);
  EXPECT_EQ(browser_lookup::getOperaHwnd(wm.desktop), opera);
}

TEST(BrowserLookup, TheImageNameIsTheWholeFileNameInAnyCase) {
  struct Row {
    const char* path;
    const char* name;
    bool same;
  };
  for (const Row& row :
       {Row{"C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe", "chrome.exe", true},
        Row{"C:\\APPS\\CHROME.EXE", "chrome.exe", true}, Row{"Z:/tmp/fake/Chrome.Exe", "chrome.exe", true},
        Row{"chrome.exe", "chrome.exe", true}, Row{"C:\\x\\xchrome.exe", "chrome.exe", false},
        Row{"C:\\x\\chrome.exe.bak", "chrome.exe", false},
        Row{"C:\\chrome.exe\\Code.exe", "chrome.exe", false}, Row{"C:\\x\\chrome", "chrome.exe", false},
        Row{"C:\\x\\", "chrome.exe", false}, Row{"", "chrome.exe", false},
        Row{"C:\\x\\firefox.exe", "firefox.exe", true},
        Row{"C:\\x\\thunderbird.exe", "firefox.exe", false}}) {
    EXPECT_EQ(win32::isImageName(row.path, row.name), row.same) << row.path << " vs " << row.name;
  }
}

// Every kind of window that shares a browser's class but is not its frame, put in front of the real frame:
// for every browser, the refresh, the fade and the pin still reach the frame and nothing else.
TEST(BrowserLookup, LookAlikesInFrontOfTheFrameAreSkipped) {
  struct Decoy {
    const char* what;
    std::function<void(fake::WindowManager&, const Browser&, Hwnd frame)> make;
  };
  const auto sameProcess = [](fake::WindowManager& wm, Hwnd frame) { return wm.window(frame)->process; };
  const std::vector<Decoy> decoys = {
      {"an editor built on the same class",
       [](auto& wm, const Browser& b, Hwnd) { wm.openProgram("C:\\VS Code\\Code.exe", b.className); }},
      {"a mail client built on the same class",
       [](auto& wm, const Browser& b, Hwnd) { wm.openProgram("C:\\Mail\\thunderbird.exe", b.className); }},
      {"another Chromium browser",
       [](auto& wm, const Browser& b, Hwnd) { wm.openProgram("C:\\Edge\\msedge.exe", b.className); }},
      {"a program whose name only ends like the browser's",
       [](auto& wm, const Browser& b, Hwnd) {
         wm.openProgram("C:\\x\\x" + std::string(win32::ruleFor(b.kind).imageName), b.className);
       }},
      {"a program we may not open",
       [](auto& wm, const Browser& b, Hwnd) {
         wm.createWindow(b.className, {.process = wm.startUnreadableProcess()});
       }},
      {"a hidden window of the browser",
       [&](auto& wm, const Browser& b, Hwnd frame) {
         wm.createWindow(b.className, {.process = sameProcess(wm, frame), .visible = false});
       }},
      {"visible and hidden owned popups directly above the frame",
       [&](auto& wm, const Browser& b, Hwnd frame) {
         wm.createWindow(b.className, {.process = sameProcess(wm, frame), .owner = frame});
         wm.createWindow(b.className, {.process = sameProcess(wm, frame), .owner = frame, .visible = false});
       }},
      {"a tool window of the browser",
       [&](auto& wm, const Browser& b, Hwnd frame) {
         wm.createWindow(b.className, {.process = sameProcess(wm, frame), .toolWindow = true});
       }},
      {"the browser's floating video window",
       [&](auto& wm, const Browser& b, Hwnd frame) {
         wm.createWindow(b.className, {.process = sameProcess(wm, frame), .pictureInPicture = true});
       }},
      {"a window of the browser's program that has gone",
       [&](auto& wm, const Browser& b, Hwnd frame) {
         wm.createWindow(b.className, {.process = sameProcess(wm, frame) + 1});
       }},
  };
  for (const Browser& b : kBrowsers) {
    for (const Decoy& decoy : decoys) {
      SCOPED_TRACE(std::string(b.name) + ": " + decoy.what);
      fake::Platform p;
      ui::Main main(p.services);
      main.form().hWnd = p.wm.createWindow("VaskF5Main");
      const Hwnd frame = p.wm.openBrowser(b.kind);
      decoy.make(p.wm, b, frame);
      EXPECT_EQ(p.wm.desktop.findBrowserWindow(b.kind), frame);
      const std::vector<fake::Window> before = p.wm.windows();
      refreshFadeAndPin(main, b, 100);
      EXPECT_EQ(touched(p, main.form().hWnd, before), std::vector<Hwnd>{frame}) << "refresh, fade and pin";
      EXPECT_EQ(p.wm.posted(frame).size(), 3u);

      p.wm.destroyWindow(frame);
      EXPECT_EQ(p.wm.desktop.findBrowserWindow(b.kind), 0) << "and without the frame, nothing is found";
      const std::vector<fake::Window> without = p.wm.windows();
      refreshFadeAndPin(main, b, 50);
      EXPECT_EQ(touched(p, main.form().hWnd, without), std::vector<Hwnd>{});
    }
  }
}

TEST(BrowserLookup, AMinimisedOrPinnedFrameIsStillTheBrowser) {
  fake::WindowManager wm;
  const std::uint32_t chrome = wm.startProcess("C:\\Chrome\\chrome.exe");
  const Hwnd minimised = wm.createWindow("Chrome_WidgetWin_1", {.process = chrome, .minimised = true});
  EXPECT_EQ(browser_lookup::getChromeHwnd(wm.desktop), minimised);
  wm.SetWindowPos(minimised, win32::kHwndTopmost, 0, 0, 0, 0, 3);
  EXPECT_EQ(browser_lookup::getChromeHwnd(wm.desktop), minimised)
      << "pinned by the user, it keeps its minimise box";
}

}  // namespace
