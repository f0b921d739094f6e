#include "refresh/browser_lookup.h"

#include <gtest/gtest.h>

#include "support/fake_platform.h"

namespace {

using platform::Hwnd;

TEST(BrowserLookup, EachSingleWindowBrowserFindsItsFrontmostWindowOfItsClass) {
  struct Row {
    BrowserKind kind;
    const char* className;
  };
  for (const Row& row : {Row{BrowserKind::IE, "IEFrame"}, Row{BrowserKind::Firefox, "MozillaWindowClass"},
                         Row{BrowserKind::Opera, "OperaWindowClass"}}) {
    SCOPED_TRACE(row.className);
    fake::WindowManager wm;
    EXPECT_EQ(IELong::lookup(wm, row.kind), 0) << "no window of the class yet";
    const Hwnd back = wm.createWindow(row.className);
    wm.createWindow("Notepad");
    const Hwnd front = wm.createWindow(row.className);
    EXPECT_EQ(IELong::lookup(wm, row.kind), front);
    wm.bringToFront(back);
    EXPECT_EQ(IELong::lookup(wm, row.kind), back) << "the answer follows the z-order at each call";
    wm.destroyWindow(back);
    wm.destroyWindow(front);
    EXPECT_EQ(IELong::lookup(wm, row.kind), 0) << "a closed browser is noticed at the next call";
  }
}

TEST(BrowserLookup, NamedLookupsMatchTheTable) {
  fake::WindowManager wm;
  const Hwnd ie = wm.createWindow("IEFrame");
  const Hwnd firefox = wm.createWindow("MozillaWindowClass");
  const Hwnd opera = wm.createWindow("OperaWindowClass");
  EXPECT_EQ(IELong::getIEHwnd(wm), ie);
  EXPECT_EQ(IELong::getFirefoxHwnd(wm), firefox);
  EXPECT_EQ(IELong::getOperaHwnd(wm), opera);
  EXPECT_EQ(IELong::getChromeHwnd(wm), 0);
}

TEST(BrowserLookup, ChromeIsTheSecondWindowOfItsClassInZOrder) {
  fake::WindowManager wm;
  EXPECT_EQ(IELong::getChromeHwnd(wm), 0) << "no Chrome window at all";

  const Hwnd oldest = wm.createWindow("Chrome_WidgetWin_1");
  EXPECT_EQ(IELong::getChromeHwnd(wm), 0) << "a single window of the class is always skipped";

  wm.createWindow("IEFrame");  // other classes between them do not count
  const Hwnd middle = wm.createWindow("Chrome_WidgetWin_1");
  EXPECT_EQ(IELong::getChromeHwnd(wm), oldest);

  const Hwnd newest = wm.createWindow("Chrome_WidgetWin_1");
  EXPECT_EQ(IELong::getChromeHwnd(wm), middle) << "three windows: the second from the front";

  wm.bringToFront(oldest);
  EXPECT_EQ(IELong::getChromeHwnd(wm), newest);
}

}  // namespace
