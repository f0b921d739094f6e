# Vask F5 under Wine: the save chord refreshes the ticked browsers' frontmost frames (looked up right before each
# chord), never the other windows real browsers make, nor look-alike programs of their classes.

import unittest

from vask import CHROME, EXE, FIREFOX, IE, MAIN_CLASS, OPERA, WineCase, refresh_of, wait_until, windows_path
from vask.case import KEY_S, LEFT_CTRL, RIGHT_ALT
from vask.wine import START_TIMEOUT, SUPPORT



class WhichWindows(WineCase):
    def test_with_nothing_stored_chromes_frontmost_frame_is_refreshed_looked_up_afresh_and_nothing_is_written(self):
        # Each chrome.exe has popups owned by each frame, directly above it, and a hidden helper window in front of
        # everything of the class: none of them is the browser.
        browsers, pad = self.scene([(IE, 1), (CHROME, 3)])
        frames = browsers.zorder(CHROME)
        self.assertNotEqual(self.env.find(CHROME)[0], frames[0].hwnd, "another window lies in front")
        self.assert_chord_refreshes(browsers, pad, [frames[0].label])
        self.env.probe("raise", frames[-1].hwnd)
        self.assert_chord_refreshes(browsers, pad, [frames[-1].label], msg="the frame raised since")
        self.assertIsNone(self.env.reg_read(), "the Chrome default is not stored, neither is anything else")

    def test_look_alike_programs_of_the_browsers_classes_in_front_are_never_refreshed(self):
        # An editor and other Chromium browsers on Chrome's class, one whose name only ends like Chrome's, a mail
        # client on Firefox's class; the chord is typed into the editor itself.
        browsers = self.start_browsers([(CHROME, 1), (FIREFOX, 1)])
        look_alikes = [self.start_browsers([(cls, 1)], name=image, image=image, y=220 + 30 * number)
                       for number, (image, cls) in enumerate((("msedge.exe", CHROME), ("xchrome.exe", CHROME),
                                                              ("thunderbird.exe", FIREFOX), ("Code.exe", CHROME)))]
        self.launch(("REG_SZ", "chrome,firefox,autorefresh,"))
        editor = look_alikes[-1].windows[0].hwnd
        self.assertEqual(self.env.find(CHROME)[0], editor, "the editor is in front")
        got, *others = self.chord_into(editor, [browsers, *look_alikes], 6)
        expected = refresh_of(browsers.front(CHROME)) + refresh_of(browsers.front(FIREFOX))
        self.assertEqual(browsers.per_program(got), browsers.per_program(expected))
        self.assertIn(ord("S"), [e.wparam for e in others[-1] if e.message == "KEYDOWN"], "typed into the editor")
        self.assertEqual([[e for e in got if e.message == "ACTIVATE" or e.wparam == 0x74] for got in others],
                         [[]] * len(others), "no look-alike got a refresh")

    def test_a_second_copy_ends_by_itself_and_the_first_keeps_running(self):
        main = self.launch()
        self.assertEqual(self.wait_exit(self.env.spawn([EXE], "vaskf5-second")), 0)
        self.assertIsNone(self.program.poll(), "the first copy is still running")
        self.assertEqual(self.env.find(MAIN_CLASS), [main], "only the first copy's window exists")


class TheChord(WineCase):
    def test_the_chord_typed_or_injected_refreshes_once_and_altgr_s_never(self):
        # Which gestures count is hotkey_test's table; the long session types the near misses through this wiring.
        # Windows delivers AltGr as left Ctrl then right Alt; AltGr+S types a letter on many layouts. Ctrl+S
        # injected the same way shows that such keys do arrive.
        browsers, pad = self.scene([(IE, 1), (CHROME, 2)])
        ways = {
            "typed, s let go first": (None, True),
            "with shift held too": (lambda: self.env.display.tap("ctrl", "shift", "s"), True),
            "ctrl+s through SendInput": (self.send_input(LEFT_CTRL, KEY_S), True),
            "altgr+s": (self.send_input(LEFT_CTRL, RIGHT_ALT, KEY_S), False),
        }
        for name, (keys, refreshes) in ways.items():
            with self.subTest(way=name):
                self.assert_chord_refreshes(browsers, pad, [browsers.front(CHROME)] if refreshes else [], keys)

    def test_every_chord_refreshes_although_another_program_polling_s_takes_its_pressed_bit(self):
        # Ten chords typed the ordinary way, S let go before Ctrl: S is only down while Ctrl hides it, so a watcher
        # that reads S's shared pressed-since bit after Ctrl's release finds it taken. The polling baseline,
        # VaskF5Polling.exe, shows that the poller really takes it: the poller logs "took" each time.
        browsers, pad = self.scene([(CHROME, 2)], launch=False)
        log = self.out / "keypoller.log"
        poller = self.env.spawn([SUPPORT / "probe.exe", "poll-s", windows_path(log)], "keypoller")
        wait_until(lambda: poller.poll() is None and log.is_file() and log.read_bytes().startswith(b"ready"),
                   "the key poller", START_TIMEOUT)
        chords = 10
        for exe, loses_chords in ((EXE, False), (EXE.with_name("VaskF5Polling.exe"), True)):
            with self.subTest(exe=exe.name):
                self.launch(exe=exe, name=exe.stem)
                taken = log.read_bytes().count(b"took")
                keys = ["keydown ctrl", "keydown s", "keyup s", "keyup ctrl"] * chords
                got = self.chord_into(pad, [browsers], 3 * chords, lambda: self.env.display.keys(*keys))[0]
                refreshes = len(got) // 3
                self.assertEqual(got, refresh_of(browsers.front(CHROME)) * refreshes, "whole refreshes only")
                self.assertGreater(log.read_bytes().count(b"took"), taken, "the poller took S's bit")
                (self.assertLess if loses_chords else self.assertEqual)(refreshes, chords)
                self.stop()


class StoredSelection(WineCase):
    def test_the_stored_value_decides_what_is_refreshed_and_is_never_rewritten_at_start(self):
        too_long = "ie," + ("x" * 49 + ",") * 99
        too_long += "y" * (5000 - len(too_long) - len(",firefox,")) + ",firefox,"
        values = [
            # Each browser is its own program, so only time stamps could order their logs; the posting order (IE,
            # Chrome, Firefox, Opera) is shown by the unit tests. The message about Opera comes once, at start-up.
            ("REG_SZ", "ie,chrome,firefox,opera,autorefresh,", [IE, CHROME, FIREFOX, OPERA]),
            # No selection the program writes comes near 5000 characters: such a value is not trusted.
            ("REG_SZ", too_long, [CHROME]),
            # 1025 characters stored without the terminating NUL some programs leave off, one too many.
            ("REG_SZ without NUL", "ie," + "x" * 1022, [CHROME]),
            ("REG_DWORD", "1", [CHROME]),
            # "ie," as UTF-16 with its null: a reader that ignored the type would tick IE and not Chrome.
            ("REG_BINARY", "690065002c000000", [CHROME]),
            ("REG_MULTI_SZ", "ie,\\0firefox,", [CHROME]),
        ]
        # Made in the reverse of the posting order, several of each: the frontmost of each class is refreshed.
        browsers, pad = self.scene([(OPERA, 2), (FIREFOX, 2), (CHROME, 3), (IE, 2)], launch=False)
        for value_type, data, refreshed in values:
            with self.subTest(value_type=value_type, data=data[:40]):
                self.env.reg_delete()
                self.env.reg_add(value_type.split()[0], data, terminated=value_type != "REG_SZ without NUL")
                stored = self.env.reg_read()
                self.launch(opera_message=OPERA in refreshed)
                for _ in (1, 2):
                    self.assert_chord_refreshes(browsers, pad, [browsers.front(cls) for cls in refreshed])
                self.assertEqual(self.program_dialogs(), [], "no message, or the one about Opera only once")
                self.assertEqual(self.env.reg_read(), stored, "the value is left as it was")
                self.stop()


if __name__ == "__main__":
    unittest.main()
