"""The test machinery itself, under real Wine: fake browsers, the probe, typing, clicking, screenshots, registry.

Everything the program's tests lean on is shown to work here first, so that a failure there points at the program.
"""

import time
import unittest

import harness
from harness import CHROME, FIREFOX, IE, OPERA, VK_CONTROL, VK_F5, WM_ACTIVATE, WM_KEYDOWN, WM_KEYUP, Event


def setUpModule():
    harness.start_module(__name__)


def tearDownModule():
    harness.stop_module()


class SupportCase(harness.WineTestCase):
    def start_browsers(self, windows, **kwargs):
        """The fake browser as itself (fakebrowser.exe, frames only), unless told otherwise."""
        return super().start_browsers(windows, **({"image": "fakebrowser.exe"} | kwargs))


class FakeBrowserWindows(SupportCase):
    def test_copies_under_the_browsers_names_run_as_those_programs_with_the_real_windows_around_the_frames(self):
        browsers = self.start_browsers([(CHROME, 1), (FIREFOX, 1)], image=None)
        self.assertTrue(self.env.windows_pids("chrome.exe") and self.env.windows_pids("firefox.exe"))
        role = {w.label: w for w in browsers.windows}
        visible = {label: self.env.probe_value("visible", w.hwnd) == "1" for label, w in role.items()}
        self.assertEqual(visible, {"chrome[0]": True, "chrome[0].popup": True, "chrome[0].hidden-popup": False,
                                   "chrome.utility": False, "firefox[0]": True, "firefox[0].popup": True,
                                   "firefox.pip": True})
        self.assertEqual(self.env.find(CHROME)[0], role["chrome.utility"].hwnd, "the helper window is in front")
        self.assertEqual(self.env.find(FIREFOX)[0], role["firefox.pip"].hwnd, "the floating video is in front")
        pip = role["firefox.pip"].hwnd
        self.assertTrue(self.env.exstyle(pip) & 0x8, "the floating video is always on top")
        self.assertFalse(int(self.env.probe_value("style", pip), 16) & 0x20000, "and has no minimise box")

    def test_windows_are_listed_front_to_back_with_the_last_created_first(self):
        browsers = self.start_browsers([(CHROME, 3)])
        created = [w.hwnd for w in browsers.of_class(CHROME)]
        self.assertEqual(len(created), 3)

        self.assertEqual(self.env.find(CHROME), list(reversed(created)))
        pids = {self.env.window_pid(hwnd) for hwnd in created}
        self.assertEqual(len(pids), 1, "all windows belong to the one fakebrowser process")
        for hwnd in created:
            with self.subTest(hwnd=hwnd):
                self.assertEqual(self.env.probe_value("class", hwnd), CHROME)
                self.assertEqual(self.env.probe_value("visible", hwnd), "1")
                x, y, width, height, _, _ = self.env.rect(hwnd)
                self.assertGreaterEqual(x, 600, "fake browsers keep clear of where the program appears")
                self.assertLess(y + height, 400, "fake browsers keep clear of the typing window")

    def test_every_browser_class_is_registered_under_its_exact_name(self):
        browsers = self.start_browsers([(IE, 1), (CHROME, 1), (FIREFOX, 1), (OPERA, 1)])
        for cls in (IE, CHROME, FIREFOX, OPERA):
            with self.subTest(cls=cls):
                self.assertEqual(self.env.find(cls), [browsers.of_class(cls)[0].hwnd])
        self.assertEqual(self.env.find("Chrome_WidgetWin_0"), [], "no near-miss class names")

    def test_posted_messages_are_logged_in_posting_order_across_windows_and_classes(self):
        browsers = self.start_browsers([(IE, 1), (CHROME, 2)])
        ie, chrome0, chrome1 = browsers.windows
        posts = [
            (chrome1, WM_ACTIVATE, 1, 0),
            (ie, WM_KEYDOWN, VK_F5, 0),
            (chrome0, WM_KEYUP, VK_F5, 0x123),
            (chrome1, WM_KEYDOWN, 0x41, 0),
        ]
        for window, message, wparam, lparam in posts:
            self.env.probe("post", window.hwnd, message, wparam, lparam, check=True)
        browsers.sync()

        names = {WM_ACTIVATE: "ACTIVATE", WM_KEYDOWN: "KEYDOWN", WM_KEYUP: "KEYUP"}
        expected = [Event(w.label, names[m], wp, lp) for w, m, wp, lp in posts]
        self.assertEqual(browsers.events(), expected)

    def test_activation_by_the_window_manager_is_not_logged_but_a_posted_one_is(self):
        browsers = self.start_browsers([(CHROME, 2)])
        back = browsers.of_class(CHROME)[0]
        self.env.focus(back.hwnd)
        browsers.sync()
        self.assertEqual(browsers.events(), [], "a real activation is sent, not posted, and stays out of the log")

        self.env.probe("post", back.hwnd, WM_ACTIVATE, 1, 0, check=True)
        browsers.sync()
        self.assertEqual(browsers.events(), [Event(back.label, "ACTIVATE", 1, 0)])

    def test_the_fake_browser_ends_when_its_last_window_is_closed(self):
        browsers = self.start_browsers([(IE, 1), (CHROME, 2)])
        first, *others = browsers.windows
        self.env.probe("close", first.hwnd, check=True)
        self.env.wait_gone(IE)
        self.assertIsNone(browsers.process.poll(), "still running while it has windows")
        for window in others:
            self.env.probe("close", window.hwnd, check=True)
        self.assertEqual(self.wait_exit(browsers.process), 0)
        self.assertEqual(self.env.find(CHROME), [])

    def test_a_hung_browser_takes_posts_but_never_reads_them(self):
        browsers = self.start_browsers([(CHROME, 2)], hang=True)
        target = browsers.of_class(CHROME)[1]
        code, _ = self.env.probe("post", target.hwnd, WM_KEYDOWN, VK_F5, 0)
        self.assertEqual(code, 0, "posting to a window that does not pump messages still succeeds")
        self.env.probe("mark", target.hwnd, check=True)
        # Proving an absence: watch for a moment; a pumping fake browser logs both within milliseconds.
        time.sleep(harness.SETTLE_SECONDS)
        self.assertEqual(browsers.events(), [], "nothing is logged while the browser hangs")
        self.assertIsNone(browsers.process.poll(), "the hung browser is still running")


class ProbeCommands(SupportCase):
    def test_pin_and_unpin_move_a_window_in_and_out_of_the_topmost_band(self):
        browsers = self.start_browsers([(CHROME, 1)])
        hwnd = browsers.windows[0].hwnd
        self.assertEqual(self.env.probe_value("topmost", hwnd), "0")

        self.env.probe("pin", hwnd, check=True)
        self.assertEqual(self.env.probe_value("topmost", hwnd), "1")
        self.assertTrue(int(self.env.probe_value("exstyle", hwnd), 16) & 0x8, "WS_EX_TOPMOST is set")

        self.env.probe("unpin", hwnd, check=True)
        self.assertEqual(self.env.probe_value("topmost", hwnd), "0")
        self.assertFalse(int(self.env.probe_value("exstyle", hwnd), 16) & 0x8, "WS_EX_TOPMOST is clear")

    def test_raise_brings_a_back_window_to_the_front_of_its_class(self):
        browsers = self.start_browsers([(CHROME, 3)])
        before = self.env.find(CHROME)
        back = before[-1]
        self.env.probe("raise", back, check=True)
        self.assertEqual(self.env.find(CHROME), [back] + before[:-1])

    def test_alpha_reads_back_what_was_set(self):
        browsers = self.start_browsers([(FIREFOX, 1)])
        hwnd = browsers.windows[0].hwnd
        self.assertEqual(self.env.probe_value("alpha", hwnd), "none")
        for alpha in (128, 255, 0):
            with self.subTest(alpha=alpha):
                self.env.probe("set-alpha", hwnd, alpha, check=True)
                self.assertEqual(self.env.probe_value("alpha", hwnd), str(alpha))
                self.assertTrue(int(self.env.probe_value("exstyle", hwnd), 16) & 0x80000, "WS_EX_LAYERED is set")

    def test_a_start_up_message_box_is_found_read_and_dismissed(self):
        text = "typepad 你好 :("
        process = self.track(self.env.spawn([harness.CONFIG.support_dir / "typepad.exe", "--title", "greeted",
                                             "--message", text], "typepad-greeted"))
        dialog = harness.wait_until(lambda: self.env.dialogs("typepad.exe"), harness.START_TIMEOUT,
                                    "the message box")[0]
        self.assertEqual(self.env.find("VaskTypepad", "greeted"), [], "the box comes before the window")
        self.assertIn(text, self.env.window_texts(dialog))
        self.assertEqual(self.env.window_pid(dialog), self.env.windows_pids("typepad.exe")[0])

        code, out = self.env.probe("close-dialogs", "typepad.exe")
        self.assertEqual((code, out.strip()), (0, "1"))
        self.env.wait_window("VaskTypepad", "greeted")
        self.assertEqual(self.env.dialogs("typepad.exe"), [])
        self.assertIsNone(process.poll())

    def test_registry_values_read_back_with_their_type_and_exact_data(self):
        long_text = ("abc," * 1250)[:5000]
        cases = [
            ("REG_SZ", "chrome,autorefresh,", ("REG_SZ", "chrome,autorefresh,")),
            ("REG_SZ", "", ("REG_SZ", "")),
            ("REG_SZ", "设置,", ("REG_SZ", "设置,")),
            ("REG_SZ", long_text, ("REG_SZ", long_text)),
            ("REG_DWORD", "1", ("REG_DWORD", "01000000")),
            ("REG_BINARY", "690065002c00", ("REG_BINARY", "690065002c00")),
            # "ie," and "firefox," as two strings: UTF-16, each ended by a null, and a final null.
            ("REG_MULTI_SZ", "ie,\\0firefox,",
             ("REG_MULTI_SZ", "ie,\0firefox,\0\0".encode("utf-16-le").hex())),
        ]
        self.assertIsNone(self.env.reg_read())
        for value_type, data, expected in cases:
            with self.subTest(value_type=value_type, data=data[:20]):
                self.env.reg_add(value_type, data)
                self.assertEqual(self.env.reg_read(), expected)
        self.env.reg_delete()
        self.assertIsNone(self.env.reg_read())


class KeyboardMouseAndScreen(SupportCase):
    def test_keys_typed_at_human_speed_reach_the_focused_window(self):
        _, pad = self.start_typepad()
        self.start_browsers([(CHROME, 1)])  # shown later, so the focus has to be taken back from it
        self.env.focus(pad)
        for key in "vask":
            self.env.press(key)
        edit = int(self.env.probe("children", pad, check=True)[1].split()[0])
        self.assertEqual(self.env.probe_value("gettext", edit), "vask")

    def test_another_process_sees_ctrl_and_s_in_the_async_key_state(self):
        _, pad = self.start_typepad()
        self.env.focus(pad)
        watchers = {}
        for name, vk in (("ctrl", VK_CONTROL), ("s", ord("S"))):
            watcher = self.track(self.env.spawn([harness.CONFIG.support_dir / "probe.exe", "keydown", vk, 20000],
                                                f"keydown-{name}", pipe=True))
            self.assertEqual(watcher.stdout.readline().strip(), b"watching")
            watchers[name] = watcher
        self.env.chord_ctrl_s()
        for name, watcher in watchers.items():
            with self.subTest(key=name):
                self.assertEqual(self.wait_exit(watcher), 0, f"{name} was seen")
                state = int(watcher.stdout.readline().strip(), 16)
                self.assertNotEqual(state & 0x8001, 0)

    def test_alt_f4_closes_a_focused_borderless_popup(self):
        # Vask F5's window is a borderless, topmost popup; this shows that Alt+F4 typed through the X server reaches
        # and closes such a window here, without a window manager.
        process, popup = self.start_typepad("--popup", title="popup")
        self.env.focus(popup)
        self.env.combo("alt", "F4")
        self.assertEqual(self.wait_exit(process), 0)
        self.assertEqual(self.env.find("VaskTypepad", "popup"), [])

    def test_clicks_and_drags_land_at_client_coordinates(self):
        browsers = self.start_browsers([(CHROME, 1)])
        window = browsers.windows[0]
        xid = self.env.xid(window.hwnd)

        self.env.click(xid, 50, 40)
        browsers.sync()
        self.assertEqual(browsers.events(), [Event(window.label, "LBUTTONDOWN", 1, (40 << 16) | 50),
                                             Event(window.label, "LBUTTONUP", 0, (40 << 16) | 50)])

        mark = browsers.checkpoint()
        self.env.drag(xid, (20, 15), (120, 90))
        browsers.sync()
        events = [e for e in browsers.events(since=mark) if e.message.startswith("LBUTTON")]
        self.assertEqual(events, [Event(window.label, "LBUTTONDOWN", 1, (15 << 16) | 20),
                                  Event(window.label, "LBUTTONUP", 0, (90 << 16) | 120)])

    def test_a_screenshot_shows_a_window_in_its_own_colour(self):
        browsers = self.start_browsers([(CHROME, 1)], color="c0ffee")
        x, y, width, height, _, _ = self.env.rect(browsers.windows[0].hwnd)
        shot = self.env.screenshot(self.out / "screen.png")
        self.assertEqual(self.env.pixel(shot, x + width // 2, y + height // 2), (0xC0, 0xFF, 0xEE))
        self.assertNotEqual(self.env.pixel(shot, x + width + 20, y + height // 2), (0xC0, 0xFF, 0xEE),
                            "the colour stops at the window's edge")


if __name__ == "__main__":
    unittest.main()
