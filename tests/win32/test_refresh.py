"""Vask F5 under Wine: the save chord refreshes the ticked browsers, the stored selection, start and end.

Fake browsers (one process, all windows on one thread, so their log shows the order in which the program posted)
stand in for IE, Chrome, Firefox and Opera. The chord is typed through the X server into a plain window of our own,
at a person's speed, and the fake browsers' log tells which windows received what.

Which window of a class is expected is read from the window manager right before each chord (front to back), not
assumed from the order the windows were made.
"""

from __future__ import annotations

import unittest

import harness
from harness import CHROME, FIREFOX, IE, MAIN_CLASS, OPERA, refresh_of, wait_until

OPERA_MESSAGE = "暂不支持 Opera 浏览器"

# Virtual keys for probe's SendInput: left Ctrl, right Alt (an extended key, so with "e"), S.
LEFT_CTRL, RIGHT_ALT, KEY_S = "0xA2", "0xA5e", "0x53"


def setUpModule():
    harness.require_program()
    harness.start_module(__name__)


def tearDownModule():
    harness.stop_module()


class VaskTestCase(harness.WineTestCase):
    """Starting the program, dismissing its Opera message, typing the chord and reading what the browsers got."""

    def launch(self, stored: tuple[str, str] | None = None, opera_message: bool = False, exe=None):
        """Starts VaskF5.exe (or ``exe``), with a value stored under Apps first if given; returns (process, main
        window)."""
        if stored is not None:
            self.env.reg_add(*stored)
        program = self.start_program(program=exe)
        if opera_message:
            self.dismiss_opera_message(program)
        return program, self.wait_main_window(program)

    def stop(self, program) -> None:
        self.env.kill(program)
        self.case_processes.remove(program)
        self.env.wait_gone(MAIN_CLASS)

    def program_dialogs(self, program) -> list[int]:
        if program.poll() is not None:
            self.fail(f"VaskF5.exe ended with code {program.returncode}")
        return self.env.dialogs(harness.CONFIG.exe.name)

    def dismiss_opera_message(self, program) -> None:
        """Waits for the start-up message about Opera, checks what it says and presses its OK button."""
        dialog = wait_until(lambda: self.program_dialogs(program), harness.START_TIMEOUT, "the Opera message box")[0]
        texts = self.env.window_texts(dialog)
        self.assertTrue(any(OPERA_MESSAGE in text for text in texts), f"the message box says {texts}")
        self.env.probe("close-dialogs", harness.CONFIG.exe.name, check=True)
        wait_until(lambda: not self.program_dialogs(program), harness.START_TIMEOUT, "the message box to close")

    def keys(self, *steps):
        """xdotool key steps with a person's hold between them, as one callable."""
        args = []
        for step in steps:
            args += [*step.split(), "sleep", harness.HOLD]
        return lambda: self.env.xdotool(*args)

    def send_input(self, *steps):
        """Keys injected with SendInput (probe send), a person's hold after each, as one callable."""
        return lambda: self.env.probe("send", int(harness.HOLD * 1000), *steps, check=True)

    def type_and_collect(self, browsers, pad: int, expected_count: int, keys=None):
        """Types the chord (or ``keys``) into the typing window; returns everything the fake browsers then got."""
        self.env.focus(pad)
        mark = browsers.checkpoint()
        (keys or self.env.chord_ctrl_s)()
        if expected_count:
            browsers.wait_events(expected_count, since=mark)
        # Also when the expected messages came: anything extra (a second refresh, a stray window) must show too.
        browsers.settle()
        return browsers.events(since=mark)

    def assert_chord_refreshes(self, browsers, pad: int, windows: list[str], keys=None, msg=None) -> None:
        """The chord refreshes exactly these windows (labels such as "chrome[1]"), in this order, once each."""
        expected = [event for label in windows for event in refresh_of(label)]
        self.assertEqual(self.type_and_collect(browsers, pad, len(expected), keys), expected, msg)


class FirstStart(VaskTestCase):
    def test_with_nothing_stored_the_chord_refreshes_the_second_chrome_window_and_nothing_is_written(self):
        self.assertIsNone(self.env.reg_read())
        browsers = self.start_browsers([(IE, 1), (CHROME, 3), (FIREFOX, 1), (OPERA, 1)])
        _, pad = self.start_typepad()
        self.launch()
        self.assertIsNone(self.env.reg_read(), "the Chrome default is not stored on a first start")

        second = browsers.zorder(CHROME)[1]
        self.assert_chord_refreshes(browsers, pad, [second.label])
        self.assertIsNone(self.env.reg_read(), "refreshing stores nothing either")


class ChromeSecondWindow(VaskTestCase):
    def test_only_the_second_chrome_window_in_z_order_is_refreshed_and_none_when_there_is_one(self):
        _, pad = self.start_typepad()
        self.launch()
        for count in (1, 2, 3):
            with self.subTest(chrome_windows=count):
                browsers = self.start_browsers([(CHROME, count)], name=f"chrome{count}")
                front_to_back = browsers.zorder(CHROME)
                self.assertEqual(len(front_to_back), count)
                expected = [front_to_back[1].label] if count >= 2 else []
                self.assert_chord_refreshes(browsers, pad, expected)
                self.env.kill(browsers.process)
                self.env.wait_gone(CHROME)

    def test_the_second_window_is_looked_up_afresh_at_every_chord(self):
        browsers = self.start_browsers([(CHROME, 3)])
        _, pad = self.start_typepad()
        self.launch()
        before = browsers.zorder(CHROME)
        self.assert_chord_refreshes(browsers, pad, [before[1].label])

        self.env.probe("raise", before[2].hwnd, check=True)
        after = browsers.zorder(CHROME)
        self.assertEqual(after, [before[2], before[0], before[1]], "raising the back window reorders the class")
        self.assert_chord_refreshes(browsers, pad, [after[1].label])


class SaveChord(VaskTestCase):
    def setUp(self):
        super().setUp()
        self.browsers = self.start_browsers([(IE, 1), (CHROME, 2)])
        _, self.pad = self.start_typepad()
        self.launch()

    def test_ctrl_alone_or_s_alone_refreshes_nothing_and_the_chord_still_does_afterwards(self):
        for name, keys in (("ctrl alone", self.keys("keydown ctrl", "keyup ctrl")),
                           ("s alone", self.keys("keydown s", "keyup s"))):
            with self.subTest(keys=name):
                self.assertEqual(self.type_and_collect(self.browsers, self.pad, 0, keys), [])
        second = self.browsers.zorder(CHROME)[1]
        self.assert_chord_refreshes(self.browsers, self.pad, [second.label], msg="the watcher was live all along")

    def test_each_way_of_typing_the_chord_refreshes_once(self):
        ways = {
            "s released before ctrl": self.keys("keydown ctrl", "keydown s", "keyup s", "keyup ctrl"),
            "s released after ctrl": self.keys("keydown ctrl", "keydown s", "keyup ctrl", "keyup s"),
            "with shift held too": self.keys("keydown ctrl", "keydown shift", "keydown s", "keyup s", "keyup shift",
                                              "keyup ctrl"),
            "both held a while": self.keys("keydown ctrl", "keydown s", "sleep 0.4", "keyup s", "keyup ctrl"),
        }
        for name, keys in ways.items():
            with self.subTest(way=name):
                second = self.browsers.zorder(CHROME)[1]
                self.assert_chord_refreshes(self.browsers, self.pad, [second.label], keys)

    def test_altgr_with_s_types_a_letter_and_never_refreshes(self):
        # Windows delivers AltGr as left Ctrl followed by right Alt; AltGr+S types a letter on many layouts.
        plain = self.send_input(f"+{LEFT_CTRL}", f"+{KEY_S}", f"-{KEY_S}", f"-{LEFT_CTRL}")
        second = self.browsers.zorder(CHROME)[1]
        self.assert_chord_refreshes(self.browsers, self.pad, [second.label], plain,
                                    msg="Ctrl+S injected the same way refreshes, so the keys do arrive")
        ways = {
            "s let go first": (f"+{LEFT_CTRL}", f"+{RIGHT_ALT}", f"+{KEY_S}", f"-{KEY_S}", f"-{RIGHT_ALT}",
                               f"-{LEFT_CTRL}"),
            "altgr let go first": (f"+{LEFT_CTRL}", f"+{RIGHT_ALT}", f"+{KEY_S}", f"-{RIGHT_ALT}", f"-{LEFT_CTRL}",
                                   f"-{KEY_S}"),
        }
        for name, steps in ways.items():
            with self.subTest(way=name):
                self.assertEqual(self.type_and_collect(self.browsers, self.pad, 0, self.send_input(*steps)), [])


class AnotherProgramPollingS(VaskTestCase):
    """A program that polls S every millisecond takes the system's shared pressed-since-the-last-query bit of S.

    Ten chords typed the ordinary way, S let go before Ctrl: S is only down while Ctrl hides it, so a watcher that
    reads S after Ctrl's release from that bit finds it taken."""

    CHORDS = 10

    def setUp(self):
        super().setUp()
        self.browsers = self.start_browsers([(CHROME, 2)])
        _, self.pad = self.start_typepad()
        self.poller_log = self.out / "keypoller.log"
        poller = self.track(self.env.spawn([harness.CONFIG.support_dir / "keypoller.exe", "--log",
                                            harness.windows_path(self.poller_log)], "keypoller"))
        wait_until(lambda: poller.poll() is None and self.poller_log.is_file()
                   and self.poller_log.read_bytes().startswith(b"ready"), harness.START_TIMEOUT, "the key poller")

    def taken(self) -> int:
        return self.poller_log.read_bytes().count(b"took")

    def type_chords(self, exe=None) -> tuple[int, int]:
        """Starts the program, types the chords; returns (refreshes, times the poller took S's bit)."""
        self.launch(exe=exe)
        second = self.browsers.zorder(CHROME)[1]
        taken_before = self.taken()
        steps = ["keydown ctrl", "keydown s", "keyup s", "keyup ctrl"] * self.CHORDS
        events = self.type_and_collect(self.browsers, self.pad, 3 * self.CHORDS, self.keys(*steps))
        refreshes, rest = divmod(len(events), 3)
        self.assertEqual(events, refresh_of(second.label) * refreshes, "whole refreshes of the second Chrome only")
        self.assertEqual(rest, 0)
        return refreshes, self.taken() - taken_before

    def test_every_chord_refreshes_although_the_poller_takes_the_bit(self):
        refreshes, taken = self.type_chords()
        self.assertGreater(taken, 0, "the poller took S's pressed bit")
        self.assertEqual(refreshes, self.CHORDS)

    def test_the_old_polling_watcher_loses_chords_to_the_poller(self):
        # The baseline build, VaskF5Polling.exe, shows what the shared bit costs a watcher that depends on it.
        refreshes, taken = self.type_chords(harness.CONFIG.exe.with_name("VaskF5Polling.exe"))
        self.assertGreater(taken, 0, "the poller took S's pressed bit")
        self.assertLess(refreshes, self.CHORDS)


class StoredSelection(VaskTestCase):
    def test_all_four_browsers_are_refreshed_once_per_chord_in_the_order_ie_chrome_firefox_opera(self):
        stored = "ie,chrome,firefox,opera,autorefresh,"
        # Made in the reverse of the refresh order, two or three of each, so neither creation order nor z-order
        # happens to match what is expected.
        browsers = self.start_browsers([(OPERA, 2), (FIREFOX, 2), (CHROME, 3), (IE, 2)])
        _, pad = self.start_typepad()
        program, _ = self.launch(("REG_SZ", stored), opera_message=True)

        for chord in (1, 2):
            with self.subTest(chord=chord):
                expected = [browsers.zorder(IE)[0].label, browsers.zorder(CHROME)[1].label,
                            browsers.zorder(FIREFOX)[0].label, browsers.zorder(OPERA)[0].label]
                self.assert_chord_refreshes(browsers, pad, expected)
        self.assertEqual(self.program_dialogs(program), [], "the Opera message came once, at start-up")
        self.assertEqual(self.env.reg_read(), ("REG_SZ", stored))

    def test_automatic_refresh_turned_off_stays_off_after_a_restart(self):
        # The stored choice of automatic refresh is restored before the browser ticks rewrite the selection, so a
        # user who turned it off finds it off: the stored text is kept and the chord refreshes nothing.
        browsers = self.start_browsers([(IE, 2), (CHROME, 2)])
        _, pad = self.start_typepad()
        self.launch(("REG_SZ", "ie,"))
        with self.subTest("the stored text is kept"):
            self.assertEqual(self.env.reg_read(), ("REG_SZ", "ie,"))
        with self.subTest("the watcher does not run"):
            self.assert_chord_refreshes(browsers, pad, [])

    def test_tokens_count_only_when_spelled_exactly(self):
        # Something is stored, so Chrome is not picked by default; nothing in it matches, so nothing is ticked and
        # no click handler runs to rewrite it.
        stored = "Chrome,IE, firefox,opera ,autorefresh,"
        browsers = self.start_browsers([(IE, 1), (CHROME, 2), (FIREFOX, 1), (OPERA, 1)])
        _, pad = self.start_typepad()
        self.launch(("REG_SZ", stored))
        self.assert_chord_refreshes(browsers, pad, [])
        self.assertEqual(self.env.reg_read(), ("REG_SZ", stored))

    def test_an_over_long_stored_text_counts_as_nothing_stored(self):
        # No selection the program writes comes near this length; such a value is not trusted, and the first
        # start's default (Chrome) applies until the user's next change replaces it.
        filler = ("x" * 49 + ",") * 99
        stored = "ie," + filler
        stored += "y" * (5000 - len(stored) - len("firefox,") - 1) + ",firefox,"
        self.assertEqual(len(stored), 5000)
        browsers = self.start_browsers([(IE, 1), (CHROME, 2), (FIREFOX, 1)])
        _, pad = self.start_typepad()
        self.launch(("REG_SZ", stored))
        with self.subTest("Chrome is refreshed as on a first start"):
            self.assert_chord_refreshes(browsers, pad, [browsers.zorder(CHROME)[1].label])
        with self.subTest("the value is left as it was"):
            self.assertEqual(self.env.reg_read(), ("REG_SZ", stored))

    def test_a_value_that_is_not_text_counts_as_nothing_stored(self):
        values = {
            "REG_DWORD": "1",
            # "ie," as UTF-16 with its null: a reader that ignored the type would tick IE and not Chrome.
            "REG_BINARY": "690065002c000000",
            "REG_MULTI_SZ": "ie,\\0firefox,",
        }
        browsers = self.start_browsers([(IE, 1), (CHROME, 2), (FIREFOX, 1)])
        _, pad = self.start_typepad()
        for value_type, data in values.items():
            with self.subTest(value_type=value_type):
                self.env.reg_delete()
                self.env.reg_add(value_type, data)
                stored = self.env.reg_read()
                program, _ = self.launch()
                self.assert_chord_refreshes(browsers, pad, [browsers.zorder(CHROME)[1].label])
                self.assertEqual(self.env.reg_read(), stored, "the value is left as it was")
                self.stop(program)


class StartAndEnd(VaskTestCase):
    def test_a_second_copy_ends_by_itself_and_the_first_keeps_running(self):
        first, main = self.launch()
        second = self.start_program(name="vaskf5-second")
        self.assertEqual(self.wait_exit(second), 0)
        self.assertIsNone(first.poll(), "the first copy is still running")
        self.assertEqual(self.env.find(MAIN_CLASS), [main], "only the first copy's window exists")

    def test_escape_on_the_focused_window_ends_the_program(self):
        program, main = self.launch()
        self.env.focus(main)
        self.env.press("Escape")
        self.wait_exit(program)
        self.assertEqual(self.env.find(MAIN_CLASS), [])

    def test_alt_f4_on_the_focused_window_ends_the_program(self):
        # Alt+F4 reaches a focused borderless popup under this Wine without a window manager (shown in
        # test_support), so it is typed here rather than replaced by a posted WM_CLOSE.
        program, main = self.launch()
        self.env.focus(main)
        self.env.combo("alt", "F4")
        self.wait_exit(program)
        self.assertEqual(self.env.find(MAIN_CLASS), [])


if __name__ == "__main__":
    unittest.main()
