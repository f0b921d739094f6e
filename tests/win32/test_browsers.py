# Vask F5 under Wine against fake browsers that act by their engines' rules (support/fakebrowser.cpp): each chord
# reloads each ticked browser once, in every layout, without taking the keyboard from the editor or raising a
# browser.

from harness import CHROME, EXE, FIREFOX, IE, SC_MINIMIZE, SC_RESTORE, SUPPORT, TIMEOUT, WM_SYSCOMMAND
from harness import Browsers, WineCase, reloads, wait_until, windows_path
from xharness import HOLD, SAVE, chord


class Layouts(WineCase):
    def test_each_engine_in_each_layout(self):
        browsers, pad = self.scene([(IE, 1), (CHROME, 2), (FIREFOX, 1), (CHROME, 1, "opera.exe")],  # Opera: Chromium
                                   Apps="ie,chrome,firefox,opera,autorefresh,")
        chrome, firefox, others = "chrome[1]", "firefox[0]", ("iexplore[0]", "opera[0]")
        for layout, size, target in (("beside", (600, 400, 400, 300), pad), ("covered", (0, 0, 1280, 800), pad),
                                     ("in front", (600, 400, 400, 300), browsers.hwnd[chrome])):
            self.probe("place", pad, *size)  # covered by the editor, as many people work
            self.assertEqual((self.typed(target, browsers, count=4), self.probe("foreground")),
                             (reloads(chrome, firefox, *others), str(target)), f"{layout}, the keyboard kept")
        for frame in (chrome, firefox):
            self.probe("post", browsers.hwnd[frame], WM_SYSCOMMAND, SC_MINIMIZE, 0)
            self.wait_for(lambda: self.seen(browsers.hwnd[frame]).iconic, "minimised")
        for n in range(3):  # Gecko takes F5 minimised; Chromium is owed one reload
            self.assertEqual((self.typed(pad, browsers, count=3), self.seen(browsers.hwnd[chrome]).iconic,
                              self.probe("foreground")), (reloads(firefox, *others), 1, str(pad)), f"chord {n}")
        restore = lambda: self.probe("post", browsers.hwnd[chrome], WM_SYSCOMMAND, SC_RESTORE, 0)  # on the taskbar
        self.assertEqual(self.typed(pad, browsers, restore, 1), reloads(chrome), "one reload for three chords")
        self.assertEqual(self.find("#32770"), [], "no message box, about Opera or anything else")


class Families(WineCase):
    def test_only_the_chosen_browsers_reload(self):
        # Browsers on Chrome's and Firefox's classes under their own names, and an Electron editor on Chrome's, into
        # which the chord is typed. A right click on a tile opens its menu, whose items are chosen by the keyboard.
        browsers = Browsers(self, [(CHROME, 1, "msedge.exe"), (CHROME, 1, "brave.exe"), (CHROME, 1),
                                   (FIREFOX, 1, "librewolf.exe"), (FIREFOX, 1), (CHROME, 1, "Code.exe")])
        self.launch(Apps="chrome,firefox,autorefresh,", Browsers="msedge,librewolf,")
        editor = browsers.hwnd["code[0]"]
        self.assertEqual(self.typed(editor, browsers, count=2), reloads("msedge[0]", "librewolf[0]"), "as stored")
        for tile, item, stored, refreshed in (
                ("chromeTile", 2, "msedge,brave,librewolf,opera,iexplore,", ("msedge[0]", "brave[0]", "librewolf[0]")),
                ("firefoxTick", 1, "msedge,brave,opera,iexplore,", ("msedge[0]", "brave[0]"))):
            with self.subTest(tile=tile, item=item):
                self.focus(self.main)
                self.click(tile, button=3)
                self.wait_for(lambda: self.find("#32768", shown=True), "the menu")
                self.display.xdotool(*chord("Down") * (item + 1), *chord("Return"))
                self.wait_for(lambda: self.reg_read("Browsers"), "the stored choice", ("REG_SZ", stored))
                self.assertEqual(self.typed(editor, browsers, count=len(refreshed)), reloads(*refreshed), "as chosen")
        self.display.xdotool("mousemove", "--window", self.xid, *self.box("chromeTile", 0.5, 0.5))  # its tool tip
        self.wait_for(lambda: [self.probe("gettext", tip) for tip in self.find("tooltips_class32", shown=True)],
                      "the tile's tool tip", ["点击勾选\n刷新：Microsoft Edge、Brave\n右键单击选择浏览器"])


class Chords(WineCase):
    def test_gestures(self):
        # Which gestures count is save_chord_test's table; these reach raw input, and quick chords the poller (the
        # measuring baseline), while another program polls S and so takes its shared pressed-since bit, as games and
        # macro tools do. Windows delivers AltGr as left Ctrl then right Alt (extended); AltGr+S types a letter.
        browsers, pad = self.scene([(IE, 1), (CHROME, 2)], launch=False)
        log = self.out / "poll-s.log"
        self.spawn([SUPPORT / "probe.exe", "poll-s", windows_path(log)])
        wait_until(lambda: log.is_file() and log.read_bytes().startswith(b"ready"), "the S poller", TIMEOUT)

        def send(*keys):  # pressed in order, let go in reverse, by the system's keyboard input
            steps = [f"+{k}" for k in keys] + [f"-{k}" for k in keys[::-1]]
            return lambda: self.probe("send", int(HOLD * 1000), *steps)
        held = ["keydown", "ctrl", "sleep", HOLD, *chord("c"), *chord("s"), "keyup", "ctrl"]
        for exe, gestures in ((EXE.with_name("VaskF5Polling.exe"), [("ten", SAVE * 10, 10)]), (EXE, [
                ("ten", SAVE * 10, 10), ("with shift", chord("ctrl", "shift", "s"), 1), ("ctrl+c then s", held, 1),
                ("SendInput ctrl+s", send("0xA2", "0x53"), 1),
                ("SendInput altgr+s", send("0xA2", "0xA5e", "0x53"), 0)])):
            self.launch(exe)
            for name, keys, refreshed in gestures:
                with self.subTest(exe=exe.name, gesture=name):
                    self.assertEqual(self.typed(pad, browsers, keys, refreshed), reloads(*["chrome[1]"] * refreshed))
            self.stop()
        self.assertIn(b"took", log.read_bytes(), "the poller took S's bit")

    def test_a_delay_waits_and_starts_again_at_each_chord(self):  # timed by the browser the chords are typed into
        browsers = Browsers(self, [(CHROME, 1)])
        self.launch(Delay="600")
        for chords in (1, 2):  # the second inside the first one's wait, 0.2 s before it ends
            mark, keys = browsers.checkpoint(), SAVE + ["sleep", 0.15, *SAVE] * (chords - 1)
            acts = self.typed(browsers.hwnd["chrome[0]"], browsers, keys, 1)
            self.assertEqual(acts, reloads("chrome[0]"), f"after {chords} chords")
            last = {what: seconds for seconds, _, what in browsers.lines(mark)}  # the last key up is Ctrl's
            waited = last["RELOAD"] - last["KEYUP"]
            self.assertTrue(0.3 < waited < 1.2, f"the reload {waited:.3f} s after the last of {chords} chords")
