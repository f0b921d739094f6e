"""Vask F5 under Wine: the save chord refreshes the ticked browsers, the stored selection, start and end.

Fake browsers run under the browsers' own program names (chrome.exe, firefox.exe, iexplore.exe, opera.exe), with the
windows the real ones make next to their frames (owned popups, a hidden helper window, a floating video), and
look-alikes of the same window classes run as Code.exe, thunderbird.exe, msedge.exe and xchrome.exe. The chord is
typed through the X server at a person's speed, and the fake browsers' logs tell which windows received what.

Which frame of a class is expected is read from the window manager right before each chord (front to back), not
assumed from the order the windows were made.
"""

from __future__ import annotations

import unittest

import harness
from harness import CHROME, FIREFOX, IE, MAIN_CLASS, OPERA, VK_F5, refresh_of, wait_until

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

    def chord_into(self, target: int, groups: list, expected_count: int = 0, keys=None) -> list[list]:
        """Types the chord (or ``keys``) into the target window; returns what each group of fake browsers then got."""
        self.env.focus(target)
        marks = [browsers.checkpoint() for browsers in groups]
        (keys or self.env.chord_ctrl_s)()
        if expected_count:
            groups[0].wait_events(expected_count, since=marks[0])
        # Also when the expected messages came: anything extra (a second refresh, a stray window) must show too.
        for browsers in groups:
            browsers.settle()
        return [browsers.events(since=mark) for browsers, mark in zip(groups, marks)]

    def type_and_collect(self, browsers, pad: int, expected_count: int, keys=None):
        """Types the chord (or ``keys``) into the typing window; returns everything the fake browsers then got."""
        return self.chord_into(pad, [browsers], expected_count, keys)[0]

    def assert_chord_refreshes(self, browsers, pad: int, windows: list[str], keys=None, msg=None) -> None:
        """The chord refreshes exactly these windows (labels such as "chrome[1]") once each, in this order within
        each program (across programs only time stamps could order them)."""
        expected = [event for label in windows for event in refresh_of(label)]
        got = self.type_and_collect(browsers, pad, len(expected), keys)
        self.assertEqual(browsers.per_program(got), browsers.per_program(expected), msg)


class FirstStart(VaskTestCase):
    def test_with_nothing_stored_the_chord_refreshes_chromes_frontmost_frame_and_nothing_is_written(self):
        self.assertIsNone(self.env.reg_read())
        browsers = self.start_browsers([(IE, 1), (CHROME, 3), (FIREFOX, 1), (OPERA, 1)])
        _, pad = self.start_typepad()
        self.launch()
        self.assertIsNone(self.env.reg_read(), "the Chrome default is not stored on a first start")

        self.assert_chord_refreshes(browsers, pad, [browsers.zorder(CHROME)[0].label])
        self.assertIsNone(self.env.reg_read(), "refreshing stores nothing either")


class ChromeFrame(VaskTestCase):
    def test_the_frontmost_chrome_frame_is_refreshed_never_its_popups_or_helper_window_even_when_alone(self):
        # Each chrome.exe has visible and hidden popups owned by each frame, directly above it, and a hidden helper
        # window of the same class in front of everything: none of them is the browser.
        _, pad = self.start_typepad()
        self.launch()
        for count in (1, 2, 3):
            with self.subTest(chrome_frames=count):
                browsers = self.start_browsers([(CHROME, count)], name=f"chrome{count}")
                front_to_back = browsers.zorder(CHROME)
                self.assertEqual(len(front_to_back), count)
                self.assertNotEqual(self.env.find(CHROME)[0], front_to_back[0].hwnd,
                                    "another window of the class lies in front of the frames")
                self.assert_chord_refreshes(browsers, pad, [front_to_back[0].label])
                self.env.kill(browsers.process)
                self.env.wait_gone(CHROME)

    def test_the_frame_is_looked_up_afresh_at_every_chord(self):
        browsers = self.start_browsers([(CHROME, 3)])
        _, pad = self.start_typepad()
        self.launch()
        before = browsers.zorder(CHROME)
        self.assert_chord_refreshes(browsers, pad, [before[0].label])

        self.env.probe("raise", before[2].hwnd, check=True)
        after = browsers.zorder(CHROME)
        self.assertEqual(after, [before[2], before[0], before[1]], "raising the back frame reorders the class")
        self.assert_chord_refreshes(browsers, pad, [after[0].label])


class LookAlikes(VaskTestCase):
    """Programs built on the browsers' window classes, in front of the real browser: never sent a key."""

    def test_an_editor_of_chromes_class_that_the_chord_is_typed_into_gets_no_f5_and_chrome_gets_one(self):
        chrome = self.start_browsers([(CHROME, 1)], name="chrome")
        editor = self.start_browsers([(CHROME, 1)], name="editor", image="Code.exe", y=220)
        self.launch()
        self.assertEqual(self.env.find(CHROME)[0], editor.windows[0].hwnd, "the editor is in front")
        got_chrome, got_editor = self.chord_into(editor.windows[0].hwnd, [chrome, editor], 3)
        self.assertEqual(got_chrome, refresh_of(chrome.zorder(CHROME)[0].label))
        typed = [e.wparam for e in got_editor if e.message == "KEYDOWN"]
        self.assertIn(ord("S"), typed, "the chord was typed into the editor")
        self.assertEqual([e for e in got_editor if e.message == "ACTIVATE" or e.wparam == VK_F5], [],
                         "the editor got no refresh")

    def test_a_mail_client_of_firefoxs_class_in_front_gets_nothing(self):
        firefox = self.start_browsers([(FIREFOX, 1)], name="firefox")
        mail = self.start_browsers([(FIREFOX, 1)], name="mail", image="thunderbird.exe", y=220)
        _, pad = self.start_typepad()
        self.launch(("REG_SZ", "firefox,autorefresh,"))
        got_firefox, got_mail = self.chord_into(pad, [firefox, mail], 3)
        self.assertEqual(got_firefox, refresh_of(firefox.zorder(FIREFOX)[0].label),
                         "Firefox's frame, not its popup or its floating video")
        self.assertEqual(got_mail, [])

    def test_other_chromium_browsers_and_a_name_that_only_ends_like_chromes_are_never_refreshed(self):
        others = [self.start_browsers([(CHROME, 1)], name=image, image=image, y=220 + 30 * number)
                  for number, image in enumerate(("msedge.exe", "xchrome.exe"))]
        _, pad = self.start_typepad()
        self.launch()
        self.assertEqual(self.chord_into(pad, others), [[], []], "no Chrome running: nothing is refreshed")
        chrome = self.start_browsers([(CHROME, 1)], name="chrome")
        self.env.probe("raise", others[0].windows[0].hwnd, check=True)
        got = self.chord_into(pad, [chrome, *others], 3)
        self.assertEqual(got, [refresh_of(chrome.zorder(CHROME)[0].label), [], []])


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
        front = self.browsers.zorder(CHROME)[0]
        self.assert_chord_refreshes(self.browsers, self.pad, [front.label], msg="the watcher was live all along")

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
                front = self.browsers.zorder(CHROME)[0]
                self.assert_chord_refreshes(self.browsers, self.pad, [front.label], keys)

    def test_altgr_with_s_types_a_letter_and_never_refreshes(self):
        # Windows delivers AltGr as left Ctrl followed by right Alt; AltGr+S types a letter on many layouts.
        plain = self.send_input(f"+{LEFT_CTRL}", f"+{KEY_S}", f"-{KEY_S}", f"-{LEFT_CTRL}")
        front = self.browsers.zorder(CHROME)[0]
        self.assert_chord_refreshes(self.browsers, self.pad, [front.label], plain,
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
        front = self.browsers.zorder(CHROME)[0]
        taken_before = self.taken()
        steps = ["keydown ctrl", "keydown s", "keyup s", "keyup ctrl"] * self.CHORDS
        events = self.type_and_collect(self.browsers, self.pad, 3 * self.CHORDS, self.keys(*steps))
        refreshes, rest = divmod(len(events), 3)
        self.assertEqual(events, refresh_of(front.label) * refreshes, "whole refreshes of the front Chrome only")
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
    def test_all_four_browsers_are_refreshed_once_per_chord(self):
        # Each browser is its own program here, so only time stamps could order their logs; the posting order (IE,
        # Chrome, Firefox, Opera) is shown by the unit tests.
        stored = "ie,chrome,firefox,opera,autorefresh,"
        # Made in the reverse of the refresh order, two or three of each, so neither creation order nor z-order
        # happens to match what is expected.
        browsers = self.start_browsers([(OPERA, 2), (FIREFOX, 2), (CHROME, 3), (IE, 2)])
        _, pad = self.start_typepad()
        program, _ = self.launch(("REG_SZ", stored), opera_message=True)

        for chord in (1, 2):
            with self.subTest(chord=chord):
                expected = [browsers.zorder(IE)[0].label, browsers.zorder(CHROME)[0].label,
                            browsers.zorder(FIREFOX)[0].label, browsers.zorder(OPERA)[0].label]
                self.assert_chord_refreshes(browsers, pad, expected)
        self.assertEqual(self.program_dialogs(program), [], "the Opera message came once, at start-up")
        self.assertEqual(self.env.reg_read(), ("REG_SZ", stored))

    def test_automatic_refresh_turned_off_stays_off_after_a_restart(self):
        # The stored selection is applied as it is and not rewritten, so a user who turned automatic refresh off
        # finds it off: the stored text is kept and the chord refreshes nothing.
        browsers = self.start_browsers([(IE, 2), (CHROME, 2)])
        _, pad = self.start_typepad()
        self.launch(("REG_SZ", "ie,"))
        with self.subTest("the stored text is kept"):
            self.assertEqual(self.env.reg_read(), ("REG_SZ", "ie,"))
        with self.subTest("the watcher does not run"):
            self.assert_chord_refreshes(browsers, pad, [])

    def test_tokens_count_only_when_spelled_exactly(self):
        # Something is stored, so Chrome is not picked by default; nothing in it matches, so nothing is ticked, and
        # it is not rewritten.
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
            self.assert_chord_refreshes(browsers, pad, [browsers.zorder(CHROME)[0].label])
        with self.subTest("the value is left as it was"):
            self.assertEqual(self.env.reg_read(), ("REG_SZ", stored))

    def test_a_text_one_character_too_long_counts_as_nothing_stored_even_without_its_terminator(self):
        stored = "ie," + "x" * 1022
        self.assertEqual(len(stored), 1025)
        browsers = self.start_browsers([(IE, 1), (CHROME, 2)])
        _, pad = self.start_typepad()
        self.env.reg_add_unterminated(stored)
        self.assertEqual(self.env.reg_read(), ("REG_SZ", stored))
        self.launch()
        self.assert_chord_refreshes(browsers, pad, [browsers.zorder(CHROME)[0].label])

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
                self.assert_chord_refreshes(browsers, pad, [browsers.zorder(CHROME)[0].label])
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
