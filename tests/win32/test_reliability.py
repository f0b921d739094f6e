# Vask F5 under Wine over the long run and when things go wrong. VASKF5_SOAK_CHORDS sets how many chords the long
# session types (default 300), VASKF5_SOAK_SEED the seed of its holds and in-between keys (fixed by default).

import os
import random
import time
import unittest

from xharness import TILE_CLICK

from vask import CHROME, FIREFOX, IE, MAIN_TITLE, OPERA, WineCase, refresh_of
from vask.browsers import WM_CLOSE
from vask.wine import SELECTION_KEY

SOAK_CHORDS = int(os.environ.get("VASKF5_SOAK_CHORDS", "300"))
SOAK_SEED = int(os.environ.get("VASKF5_SOAK_SEED", "20240611"))
# Access masks: KEY_READ 0x20019, READ_CONTROL 0x20000, WRITE_DAC 0x40000, KEY_ALL_ACCESS 0xF003F; WD is Everyone.
# Everyone keeps READ_CONTROL and WRITE_DAC, so that the test can open the key up again.
READ_ONLY_DACL, NO_ACCESS_DACL, OPEN_DACL = "D:P(A;;0x60019;;;WD)", "D:P(A;;0x60000;;;WD)", "D:(A;;0xF003F;;;WD)"


# Each chord (S let go first three times out of four, else Ctrl), then one or two other things a person types: a
# letter, a digit, Shift+S, Ctrl alone, S alone (so Ctrl alone then S alone, the near miss, comes up too). For each
# chord: the xdotool arguments and what the in-between keys type.
def soak_plan(count: int, seed: int) -> list[tuple[list, str]]:
    rng = random.Random(seed)

    def step(action, key):  # xdotool's own 12 ms after each key is turned off: the holds are the whole timing
        return [action, "--delay", "0", key, "sleep", f"{rng.uniform(0.06, 0.10):.3f}"]

    def tap(*keys):
        return [a for key in keys for a in step("keydown", key)] + [a for key in keys[::-1] for a in step("keyup", key)]

    plan = []
    for _ in range(count):
        s_first = rng.random() < 0.75
        args = step("keydown", "ctrl") + step("keydown", "s")
        args += [a for key in (("s", "ctrl") if s_first else ("ctrl", "s")) for a in step("keyup", key)]
        typed = ""
        for _ in range(2 if rng.random() < 0.2 else 1):
            kind = rng.choice(["letter", "digit", "shift+s", "ctrl", "s"])
            key = {"letter": rng.choice("abcdefghijklmnopqrtuvwxyz"), "digit": str(rng.randrange(10))}.get(kind, kind)
            args += tap("shift", "s") if kind == "shift+s" else tap(key)
            typed += {"shift+s": "S", "ctrl": ""}.get(kind, key)
        plan.append((args, typed))
    return plan


class ReliabilityCase(WineCase):
    def assert_answers(self) -> None:  # the probe gives up on a hung window
        self.assertIsNone(self.program.poll(), "VaskF5.exe is running")
        self.assertEqual(self.env.value("gettext", self.main), MAIN_TITLE, "the window answers WM_GETTEXT")


class LongRun(ReliabilityCase):
    def test_every_chord_in_a_long_session_refreshes_each_ticked_browser_exactly_once(self):
        # Three Chrome frames (only the frontmost is refreshed) and an Opera window that is not ticked.
        browsers, pad = self.scene([(FIREFOX, 1), (OPERA, 1), (CHROME, 3), (IE, 1)], "ie,chrome,firefox,autorefresh,")
        chrome = browsers.zorder(CHROME)
        per_chord = browsers.per_program([e for cls in (IE, CHROME, FIREFOX) for e in refresh_of(browsers.front(cls))])
        plan = soak_plan(SOAK_CHORDS, SOAK_SEED)
        self.env.focus(pad)
        mark, starts = browsers.checkpoint(), []
        for args, _ in plan:
            # The fake browsers stamp their logs with QueryPerformanceCounter, CLOCK_MONOTONIC_RAW in this Wine.
            starts.append(time.clock_gettime(time.CLOCK_MONOTONIC_RAW) * 1e6)
            self.env.display.xdotool(*args)
        browsers.wait_events(9 * len(plan), since=mark)
        browsers.settle()
        # Each message belongs to the chord typed last before it: a chord's refresh lands well inside its stretch.
        stretches = [[] for _ in plan]
        for stamp, event in browsers.timed_events(mark):
            stretches[max([i for i, start in enumerate(starts) if start <= stamp], default=0)].append(event)
        wrong = [f"chord {i}: {got}" for i, got in enumerate(stretches) if browsers.per_program(got) != per_chord]
        self.assertEqual(wrong, [], f"{len(wrong)} of {len(plan)} chords went wrong (seed {SOAK_SEED})")
        self.assertEqual(self.env.value("gettext", pad), "".join(typed for _, typed in plan), "every other key arrived")
        self.assertEqual(self.env.value("foreground", 0), str(pad), "the typing window kept the keyboard")
        self.assertEqual(browsers.zorder(CHROME), chrome, "the Chrome windows kept their order")
        self.assert_answers()

    def test_many_quick_starts_each_show_the_window_and_end_cleanly_with_esc(self):
        # One after another, each as soon as the last has gone: a copy that took itself for a second one (the
        # single-instance guard still held by the copy before) would end without a window, which fails the start.
        for cycle in range(50):
            with self.subTest(start=cycle):
                self.env.focus(self.launch(name=f"vaskf5-{cycle}"))
                self.env.display.tap("Escape")
                self.assertEqual(self.wait_exit(self.program), 0)


class ChangingBrowsers(ReliabilityCase):
    def test_a_browser_closed_or_killed_between_chords_is_skipped_and_a_new_one_is_refreshed(self):
        # Chrome and Firefox run but are not ticked: a chord with IE gone posts nothing anywhere else.
        others, pad = self.scene([(CHROME, 2), (FIREFOX, 1)], "ie,autorefresh,")
        for generation, how in enumerate(("closed", "killed", None)):
            ie = self.start_browsers([(IE, 1)], name=f"ie-{generation}", y=220)
            self.assertEqual(self.chord_into(pad, [ie, others], 3), [refresh_of("ie[0]"), []], f"IE {generation}")
            if how == "closed":
                self.env.probe("post", ie.windows[0].hwnd, WM_CLOSE, 0, 0)
                self.assertEqual(self.wait_exit(ie.processes[0]), 0, "the fake IE ends with its window")
            elif how == "killed":
                self.env.kill(ie.processes[0])
            else:
                break
            self.env.wait_gone(IE)
            self.assertEqual(self.chord_into(pad, [others])[0], [], f"IE {how}")
            self.assert_answers()

    def test_a_hung_browser_neither_stops_nor_holds_up_the_others(self):
        hung = self.start_browsers([(CHROME, 2)], name="hung-chrome", hang=True)
        firefox = self.start_browsers([(FIREFOX, 1)], name="firefox", y=220)
        _, pad = self.scene([], "chrome,firefox,autorefresh,")
        # Chrome comes first in the refresh order, so every chord posts to the hung window before Firefox.
        for chord in range(5):
            with self.subTest(chord=chord):
                self.assert_chord_refreshes(firefox, pad, ["firefox[0]"])
                self.assert_answers()
        self.assertIsNone(hung.processes[0].poll(), "the hung Chrome was there all along")
        self.assertEqual(hung.events(), [], "and never read a message")


class UnusableSettings(ReliabilityCase):
    def set_dacl(self, sddl: str) -> None:
        self.env.probe("key-security", SELECTION_KEY.split("\\", 1)[1], sddl)

    # A selection stored in a key with rights taken away: the chord refreshes the browser ``at_start``, and after a
    # click on the other one's tile both IE and Chrome; ``left`` is stored in the end.
    def assert_clicks_tick(self, value: tuple[str, str], sddl: str | None, at_start: str, click: str,
                           left: tuple[str, str]) -> None:
        self.env.reg_add(*value)
        if sddl:
            self.set_dacl(sddl)
            self.addCleanup(self.set_dacl, OPEN_DACL)
        browsers, pad = self.scene([(IE, 1), (CHROME, 2), (FIREFOX, 1)])
        self.assert_chord_refreshes(browsers, pad, [browsers.front(at_start)])
        self.click(TILE_CLICK[click])
        self.assert_chord_refreshes(browsers, pad, [browsers.front(IE), browsers.front(CHROME)], msg="after the click")
        self.assert_answers()
        self.set_dacl(OPEN_DACL)
        self.wait_for(self.env.reg_read, "what is stored in the end", left)

    def test_a_key_that_refuses_writes_still_lets_clicks_tick_browsers(self):
        self.assert_clicks_tick(("REG_SZ", "ie,autorefresh,"), READ_ONLY_DACL, IE, "chrome", ("REG_SZ", "ie,autorefresh,"))

    def test_a_key_that_refuses_reading_counts_as_a_first_start_and_clicks_still_tick_browsers(self):
        value = ("REG_SZ", "ie,firefox,autorefresh,")
        self.assert_clicks_tick(value, NO_ACCESS_DACL, CHROME, "ie", value)

    def test_a_value_of_the_wrong_type_counts_as_a_first_start_and_is_replaced_by_text_at_the_first_click(self):
        self.assert_clicks_tick(("REG_DWORD", "1"), None, CHROME, "ie", ("REG_SZ", "ie,chrome,autorefresh,"))


if __name__ == "__main__":
    unittest.main()
