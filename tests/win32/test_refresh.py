"""Vask F5 under Wine: the save chord refreshes the ticked browsers, and the stored selection decides which.

Fake browsers run under the browsers' program names with the windows the real ones make next to their frames, and
look-alikes of the same window classes run as other programs. Which frame of a class is expected is read from the
window manager right before each chord, never assumed from the order the windows were made.
"""

import unittest

from vask import CHROME, CONFIG, FIREFOX, IE, MAIN_CLASS, OPERA, WineCase, refresh_of
from vask.case import KEY_S, LEFT_CTRL, RIGHT_ALT

ALL_FOUR = "ie,chrome,firefox,opera,autorefresh,"


class WhichWindows(WineCase):
    def test_with_nothing_stored_chromes_frontmost_frame_is_refreshed_and_nothing_is_written(self):
        # Each chrome.exe has popups owned by each frame, directly above it, and a hidden helper window in front of
        # everything of the class: none of them is the browser.
        pad = self.start_typepad()
        self.launch()
        for count in (1, 3):
            with self.subTest(chrome_frames=count):
                browsers = self.start_browsers([(IE, 1), (CHROME, count)], name=f"chrome{count}")
                self.assertNotEqual(self.env.find(CHROME)[0], browsers.zorder(CHROME)[0].hwnd,
                                    "another window of the class lies in front of the frames")
                self.assert_chord_refreshes(browsers, pad, [browsers.front(CHROME)])
                for process in browsers.processes:
                    self.env.kill(process)
                self.env.wait_gone(CHROME)
        self.assertIsNone(self.env.reg_read(), "the Chrome default is not stored, neither is anything else")

    def test_the_frame_is_looked_up_afresh_at_every_chord(self):
        browsers = self.start_browsers([(CHROME, 3)])
        pad = self.start_typepad()
        self.launch()
        before = browsers.zorder(CHROME)
        self.assert_chord_refreshes(browsers, pad, [before[0].label])
        self.env.probe("raise", before[2].hwnd, check=True)
        self.assertEqual(browsers.zorder(CHROME), [before[2], before[0], before[1]], "raised")
        self.assert_chord_refreshes(browsers, pad, [before[2].label])

    def test_look_alike_programs_of_the_browsers_classes_in_front_are_never_refreshed(self):
        # An editor and other Chromium browsers on Chrome's class, one whose name only ends like Chrome's, a mail
        # client on Firefox's class; the chord is typed into the editor itself.
        browsers = self.start_browsers([(CHROME, 1), (FIREFOX, 1)])
        look_alikes = [self.start_browsers([(cls, 1)], name=image, image=image, y=220 + 30 * number)
                       for number, (image, cls) in enumerate((("msedge.exe", CHROME), ("xchrome.exe", CHROME),
                                                              ("thunderbird.exe", FIREFOX), ("Code.exe", CHROME)))]
        self.launch(("REG_SZ", "chrome,firefox,autorefresh,"))
        self.assertEqual(self.env.find(CHROME)[0], look_alikes[-1].windows[0].hwnd, "the editor is in front")
        got, *others = self.chord_into(look_alikes[-1].windows[0].hwnd, [browsers, *look_alikes], 6)
        expected = refresh_of(browsers.front(CHROME)) + refresh_of(browsers.front(FIREFOX))
        self.assertEqual(browsers.per_program(got), browsers.per_program(expected))
        typed = others[-1]
        self.assertIn(ord("S"), [e.wparam for e in typed if e.message == "KEYDOWN"], "the chord went to the editor")
        self.assertEqual([[e for e in got if e.message == "ACTIVATE" or e.wparam == 0x74] for got in others],
                         [[]] * len(others), "no look-alike got a refresh")


class TheChord(WineCase):
    def test_each_way_of_typing_the_chord_refreshes_once_and_near_misses_never(self):
        browsers = self.start_browsers([(IE, 1), (CHROME, 2)])
        pad = self.start_typepad()
        self.launch()
        xkeys, send = self.xkeys, self.send_input
        ways = {
            "ctrl alone": (xkeys("keydown ctrl", "keyup ctrl"), False),
            "s alone": (xkeys("keydown s", "keyup s"), False),
            "s released before ctrl": (xkeys("keydown ctrl", "keydown s", "keyup s", "keyup ctrl"), True),
            "s released after ctrl": (xkeys("keydown ctrl", "keydown s", "keyup ctrl", "keyup s"), True),
            "with shift held too": (xkeys("keydown ctrl", "keydown shift", "keydown s", "keyup s", "keyup shift",
                                          "keyup ctrl"), True),
            "both held a while": (xkeys("keydown ctrl", "keydown s", "sleep 0.4", "keyup s", "keyup ctrl"), True),
            # Windows delivers AltGr as left Ctrl then right Alt; AltGr+S types a letter on many layouts. Ctrl+S
            # injected the same way shows that such keys do arrive.
            "ctrl+s through SendInput": (send(f"+{LEFT_CTRL}", f"+{KEY_S}", f"-{KEY_S}", f"-{LEFT_CTRL}"), True),
            "altgr+s, s let go first": (send(f"+{LEFT_CTRL}", f"+{RIGHT_ALT}", f"+{KEY_S}", f"-{KEY_S}",
                                             f"-{RIGHT_ALT}", f"-{LEFT_CTRL}"), False),
            "altgr+s, altgr let go first": (send(f"+{LEFT_CTRL}", f"+{RIGHT_ALT}", f"+{KEY_S}", f"-{RIGHT_ALT}",
                                                 f"-{LEFT_CTRL}", f"-{KEY_S}"), False),
        }
        for name, (keys, refreshes) in ways.items():
            with self.subTest(way=name):
                self.assert_chord_refreshes(browsers, pad, [browsers.front(CHROME)] if refreshes else [], keys)

    def test_every_chord_refreshes_although_another_program_polling_s_takes_its_pressed_bit(self):
        # Ten chords typed the ordinary way, S let go before Ctrl: S is only down while Ctrl hides it, so a watcher
        # that reads S's shared pressed-since bit after Ctrl's release finds it taken. The polling baseline,
        # VaskF5Polling.exe, shows that the poller really takes it.
        browsers = self.start_browsers([(CHROME, 2)])
        pad = self.start_typepad()
        poller_log = self.start_key_poller()
        chords = 10
        for exe, loses_chords in ((CONFIG.exe, False), (CONFIG.exe.with_name("VaskF5Polling.exe"), True)):
            with self.subTest(exe=exe.name):
                self.launch(exe=exe)
                taken = poller_log.read_bytes().count(b"took")
                keys = self.xkeys(*["keydown ctrl", "keydown s", "keyup s", "keyup ctrl"] * chords)
                got = self.chord_into(pad, [browsers], 3 * chords, keys)[0]
                refreshes = len(got) // 3
                self.assertEqual(got, refresh_of(browsers.front(CHROME)) * refreshes, "whole refreshes only")
                self.assertGreater(poller_log.read_bytes().count(b"took"), taken, "the poller took S's bit")
                if loses_chords:
                    self.assertLess(refreshes, chords)
                else:
                    self.assertEqual(refreshes, chords)
                self.stop()


class StoredSelection(WineCase):
    def test_all_four_browsers_are_refreshed_once_per_chord_and_opera_is_announced_once(self):
        # Each browser is its own program, so only time stamps could order their logs; the posting order (IE,
        # Chrome, Firefox, Opera) is shown by the unit tests. Made in the reverse of that order, several of each.
        browsers = self.start_browsers([(OPERA, 2), (FIREFOX, 2), (CHROME, 3), (IE, 2)])
        pad = self.start_typepad()
        self.launch(("REG_SZ", ALL_FOUR), opera_message=True)
        for chord in (1, 2):
            with self.subTest(chord=chord):
                self.assert_chord_refreshes(browsers, pad, [browsers.front(cls) for cls in (IE, CHROME, FIREFOX, OPERA)])
        self.assertEqual(self.program_dialogs(), [], "the Opera message came once, at start-up")
        self.assertEqual(self.env.reg_read(), ("REG_SZ", ALL_FOUR))

    def test_the_stored_value_decides_what_is_refreshed_and_is_never_rewritten_at_start(self):
        too_long = "ie," + ("x" * 49 + ",") * 99
        too_long += "y" * (5000 - len(too_long) - len(",firefox,")) + ",firefox,"
        chrome = [CHROME]
        values = [
            # Automatic refresh turned off stays off after a restart.
            ("REG_SZ", "ie,", []),
            # Something is stored, so Chrome is not the default; nothing in it is spelled exactly.
            ("REG_SZ", "Chrome,IE, firefox,opera ,autorefresh,", []),
            # No selection the program writes comes near 5000 characters: such a value is not trusted.
            ("REG_SZ", too_long, chrome),
            # 1025 characters stored without the terminating NUL some programs leave off, one too many.
            ("REG_SZ without NUL", "ie," + "x" * 1022, chrome),
            ("REG_DWORD", "1", chrome),
            # "ie," as UTF-16 with its null: a reader that ignored the type would tick IE and not Chrome.
            ("REG_BINARY", "690065002c000000", chrome),
            ("REG_MULTI_SZ", "ie,\\0firefox,", chrome),
        ]
        browsers = self.start_browsers([(IE, 1), (CHROME, 2), (FIREFOX, 1)])
        pad = self.start_typepad()
        for value_type, data, refreshed in values:
            with self.subTest(value_type=value_type, data=data[:40]):
                self.env.reg_delete()
                self.env.reg_add(value_type.split()[0], data, terminated=value_type != "REG_SZ without NUL")
                stored = self.env.reg_read()
                self.launch()
                self.assert_chord_refreshes(browsers, pad, [browsers.front(cls) for cls in refreshed])
                self.assertEqual(self.env.reg_read(), stored, "the value is left as it was")
                self.stop()


class StartAndEnd(WineCase):
    def test_a_second_copy_ends_by_itself_and_the_first_keeps_running(self):
        main = self.launch()
        first = self.program
        self.assertEqual(self.wait_exit(self.spawn([CONFIG.exe], "vaskf5-second")), 0)
        self.assertIsNone(first.poll(), "the first copy is still running")
        self.assertEqual(self.env.find(MAIN_CLASS), [main], "only the first copy's window exists")


if __name__ == "__main__":
    unittest.main()
