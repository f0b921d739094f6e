# Vask F5 under Wine against fake browsers that act by their engines' rules (support/fakebrowser.cpp): each chord
# reloads each ticked browser once, in every layout, without taking the keyboard from the editor or raising a
# browser.

import time

from harness import CHROME, EXE, FIREFOX, HOLD, IE, SC_MINIMIZE, SC_RESTORE, SUPPORT, TIMEOUT, WM_SYSCOMMAND
from harness import Browsers, WineCase, reloads, wait_until, windows_path


class Layouts(WineCase):
    def test_each_engine_in_each_layout(self):
        everyone = [(IE, 1), (CHROME, 2), (FIREFOX, 1), (CHROME, 1, "opera.exe")]
        browsers, pad = self.scene(everyone, "ie,chrome,firefox,opera,autorefresh,")
        chrome, firefox, others = "chrome[1]", "firefox[0]", ("iexplore[0]", "opera[0]")  # Opera: Chromium too
        for layout, (x, y, width, height), target in (("beside", (600, 400, 400, 300), pad),
                                                      ("covered", (0, 0, 1280, 800), pad),  # as many people work
                                                      ("in front", (600, 400, 400, 300), browsers.hwnd[chrome])):
            with self.subTest(layout=layout):
                self.probe("place", pad, x, y, width, height)
                self.assertEqual(self.chord(target, browsers, count=4), reloads(chrome, firefox, *others))
                self.assertEqual(self.probe("foreground"), str(target), "the typing window keeps the keyboard")
        for frame in (chrome, firefox):
            self.probe("post", browsers.hwnd[frame], WM_SYSCOMMAND, SC_MINIMIZE, 0)
            self.wait_for(lambda: self.probe("iconic", browsers.hwnd[frame]), "minimised", "1")
        for chord in range(3):  # Gecko takes F5 minimised; Chromium is owed one reload
            self.assertEqual(self.chord(pad, browsers, count=3), reloads(firefox, *others), f"chord {chord}")
            self.assertEqual((self.probe("iconic", browsers.hwnd[chrome]), self.probe("foreground")), ("1", str(pad)))
        restore = lambda: self.probe("post", browsers.hwnd[chrome], WM_SYSCOMMAND, SC_RESTORE, 0)  # on the taskbar
        self.assertEqual(self.chord(pad, browsers, restore, 1), reloads(chrome), "one reload for three chords")
        self.assertEqual(self.find("#32770"), [], "no message box, about Opera or anything else")


class Families(WineCase):
    def choose(self, tile: str, item: int) -> None:  # a right click on the tile, then a menu item by the keyboard
        self.focus(self.main)
        self.click(tile, button=3)
        self.wait_for(lambda: [h for h, shown, _, _ in self.windows(0, "#32768") if shown], "the menu")
        self.keys(*["keydown Down", "keyup Down"] * (item + 1), "keydown Return", "keyup Return")

    def test_only_the_chosen_browsers_reload(self):
        # Browsers of Chrome's and Firefox's classes under their own names, and look-alikes: an Electron editor,
        # a name that only ends like Chrome's, a mail client on Firefox's class. The chord is typed into the editor.
        browsers = Browsers(self, [(cls, 1, image) for image, cls in (
            ("msedge.exe", CHROME), ("brave.exe", CHROME), ("chrome.exe", CHROME), ("xchrome.exe", CHROME),
            ("librewolf.exe", FIREFOX), ("firefox.exe", FIREFOX), ("thunderbird.exe", FIREFOX), ("Code.exe", CHROME))])
        self.launch("chrome,firefox,autorefresh,", Browsers="msedge,librewolf,")
        editor = browsers.hwnd["code[0]"]
        self.assertEqual(self.chord(editor, browsers, count=2), reloads("msedge[0]", "librewolf[0]"), "as stored")
        for tile, item, stored, refreshed in (
                ("chromeTile", 2, "msedge,brave,librewolf,opera,iexplore,", ("msedge[0]", "brave[0]", "librewolf[0]")),
                ("firefoxTick", 1, "msedge,brave,opera,iexplore,", ("msedge[0]", "brave[0]"))):
            with self.subTest(tile=tile, item=item):
                self.choose(tile, item)
                self.wait_for(lambda: self.reg_read("Browsers"), "the stored choice", ("REG_SZ", stored))
                self.assertEqual(self.chord(editor, browsers, count=len(refreshed)), reloads(*refreshed), "as chosen")


class Chords(WineCase):
    def test_gestures(self):
        # Which gestures count is save_chord_test's table; these reach raw input. Windows delivers AltGr as left
        # Ctrl then right Alt (extended), and AltGr+S types a letter on many layouts.
        browsers, pad = self.scene([(IE, 1), (CHROME, 2)])
        def send(*keys):  # pressed in order, let go in reverse, by the system's keyboard input
            steps = [f"+{k}" for k in keys] + [f"-{k}" for k in keys[::-1]]
            return lambda: self.probe("send", int(HOLD * 1000), *steps)
        for name, keys, refreshed in (
                ("typed, s let go first", None, 1), ("with shift", lambda: self.tap("ctrl", "shift", "s"), 1),
                ("ctrl+c then s in one hold", lambda: self.keys("keydown ctrl", "keydown c", "keyup c", "keydown s",
                                                                "keyup s", "keyup ctrl"), 1),
                ("SendInput ctrl+s", send("0xA2", "0x53"), 1), ("SendInput altgr+s", send("0xA2", "0xA5e", "0x53"), 0)):
            with self.subTest(gesture=name):
                self.assertEqual(self.chord(pad, browsers, keys, refreshed), reloads(*["chrome[1]"] * refreshed))

    def test_another_program_polling_s(self):
        # It takes S's shared pressed-since bit; neither raw input nor the poller (the measuring baseline) needs it.
        browsers, pad = self.scene([(CHROME, 1)], launch=False)
        log = self.out / "poll-s.log"
        self.spawn([SUPPORT / "probe.exe", "poll-s", windows_path(log)])
        wait_until(lambda: log.is_file() and log.read_bytes().startswith(b"ready"), "the S poller", TIMEOUT)
        for exe in (EXE, EXE.with_name("VaskF5Polling.exe")):
            with self.subTest(exe=exe.name):
                self.launch(exe=exe)
                keys = lambda: self.keys(*["keydown ctrl", "keydown s", "keyup s", "keyup ctrl"] * 10)
                self.assertEqual(self.chord(pad, browsers, keys, 10), reloads(*["chrome[0]"] * 10), "ten chords")
                self.stop()
        self.assertIn(b"took", log.read_bytes(), "the poller took S's bit")

    def test_a_delay_waits_and_starts_again_at_each_chord(self):
        browsers, pad = self.scene([(CHROME, 1)], values={"Delay": "600"})
        self.focus(pad)
        for chords in (1, 2):
            with self.subTest(chords=chords):
                mark = browsers.checkpoint()
                for chord in range(chords):
                    time.sleep(0.15 * chord)  # the second inside the first one's wait, 0.2 s before it ends
                    self.tap("ctrl", "s")
                released = time.clock_gettime(time.CLOCK_MONOTONIC_RAW) - HOLD  # the fake browsers' clock
                self.wait_for(lambda: browsers.acts(mark), "the delayed reload", reloads("chrome[0]"))
                browsers.settle()
                self.assertEqual(browsers.acts(mark), reloads("chrome[0]"), "one reload")
                waited = [s for s, _, what, _ in browsers.lines(mark) if what == "RELOAD"][0] - released
                self.assertTrue(0.3 < waited < 1.2, f"the reload {waited:.3f} s after the last chord")
