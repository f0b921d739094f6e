# Vask F5 under Wine over a long session and when things go wrong: stored values it cannot use, a settings key it may
# not read or write, browsers that close, crash or hang, quick restarts. VASKF5_SOAK_CHORDS sets how many chords the
# long session types (default 300), VASKF5_SOAK_SEED the seed of its holds and in-between keys.

import os
import random

from harness import Browsers, CHROME, EXE, FIREFOX, IE, KEY, MAIN, SUPPORT, TIMEOUT, WineCase, reloads

SOAK_CHORDS, SOAK_SEED = int(os.environ.get("VASKF5_SOAK_CHORDS", "300")), int(os.environ.get("VASKF5_SOAK_SEED", "7"))
# Access masks: KEY_READ 0x20019, KEY_ALL_ACCESS 0xF003F; Everyone (WD) keeps READ_CONTROL and WRITE_DAC (0x60000).
READ_ONLY, NO_ACCESS, OPEN = "D:P(A;;0x60019;;;WD)", "D:P(A;;0x60000;;;WD)", "D:(A;;0xF003F;;;WD)"
WM_CLOSE = 0x10


def soak_plan(rng: random.Random) -> tuple[list, str]:  # xdotool's arguments per chord, and what the others type
    plan, typed = [], ""
    for _ in range(SOAK_CHORDS):  # S let go first three times out of four, then a letter, digit, Shift+S, Ctrl or S
        ups = ("s", "ctrl") if rng.random() < 0.75 else ("ctrl", "s")
        other = rng.choice(["a", "q", "5", "shift+s", "ctrl", "s"])
        steps = [("keydown", "ctrl"), ("keydown", "s"), *(("keyup", k) for k in ups),
                 *(("keydown", k) for k in other.split("+")), *(("keyup", k) for k in other.split("+")[::-1])]
        # xdotool's own delay off: the holds are the whole timing
        plan.append([a for act, key in steps
                     for a in (act, "--delay", "0", key, "sleep", f"{rng.uniform(0.06, 0.10):.3f}")])
        typed += {"shift+s": "S", "ctrl": ""}.get(other, other)
    return plan, typed


class Sessions(WineCase):
    def test_a_long_session(self):
        browsers, pad = self.scene([(FIREFOX, 1), (CHROME, 3), (IE, 1)], Apps="ie,chrome,firefox,autorefresh,")
        plan, typed = soak_plan(random.Random(SOAK_SEED))
        expected = reloads(*["chrome[2]", "firefox[0]", "iexplore[0]"] * SOAK_CHORDS)
        got = self.typed(pad, browsers, lambda: [self.display.xdotool(*args) for args in plan], sum(expected.values()))
        self.assertEqual(got, expected, f"seed {SOAK_SEED}: each chord refreshed each ticked browser once, raised none")
        self.assertEqual(self.probe("gettext", pad), typed, "every other key arrived")

    def test_quick_starts_and_a_second_copy(self):
        # Each start as soon as the last copy has gone: one that took itself for a second copy would show no window.
        for cycle in range(20):
            self.focus(self.launch())
            self.display.xdotool("key", "Escape")
            self.assertEqual(self.program.wait(TIMEOUT), 0, f"start {cycle}")
        main = self.launch()
        self.assertEqual(self.spawn([EXE], "second").wait(TIMEOUT), 0, "the second copy ends by itself")
        self.assertEqual(self.find(MAIN), [main], "only the first copy's window")

    def test_browsers_that_close_crash_or_hang(self):
        hung = Browsers(self, [(CHROME, 2)], name="hung", hang=True)
        others, pad = self.scene([(FIREFOX, 1)], Apps="ie,chrome,firefox,autorefresh,")
        for end, ending in (("closed", lambda ie: self.probe("post", ie.hwnd["iexplore[0]"], WM_CLOSE, 0, 0)),
                            ("killed", lambda ie: ie.processes[0].kill())):
            ie = Browsers(self, [(IE, 1)], name=f"ie-{end}")
            self.assertEqual(self.typed(pad, others, count=1), reloads("firefox[0]"))
            self.wait_for(ie.acts, "IE refreshed", reloads("iexplore[0]"))
            ending(ie)
            self.wait_for(lambda: not self.find(IE), f"IE {end}")
            # Chrome comes first in the refresh order, so every chord posts to the hung window before Firefox.
            self.assertEqual(self.typed(pad, others, count=1), reloads("firefox[0]"), f"IE {end}")
        self.assertEqual(hung.acts(), {}, "the hung Chrome never read a message")


class StoredValues(WineCase):
    def test_what_it_cannot_use(self):
        # A value it cannot use counts as a first start (Chrome) and is left alone until the user changes something; a
        # key it may not read is a first start too, and one it may not write keeps what it has. A click then ticks the
        # other of IE and Chrome, and both are refreshed.
        browsers, pad = self.scene([(FIREFOX, 1), (CHROME, 1), (IE, 1)], launch=False)
        subkey, both = KEY.split("\\", 1)[1], "ie,chrome,autorefresh,"
        for kind, data, dacl, first, left in (
                ("REG_SZ", "ie," + ("x" * 49 + ",") * 99 + "firefox,", None, "chrome", both),  # no selection is so long
                ("REG_SZ without NUL", "ie," + "x" * 1022, None, "chrome", both),  # one character too many
                ("REG_MULTI_SZ", "ie,\\0firefox,", None, "chrome", both),  # read as text, it would tick IE
                ("REG_SZ", "ie,autorefresh,", READ_ONLY, "iexplore", "ie,autorefresh,"),
                ("REG_SZ", "ie,firefox,autorefresh,", NO_ACCESS, "chrome", "ie,firefox,autorefresh,")):
            with self.subTest(kind=kind, data=data[:20], dacl=dacl):
                self.reg_add(kind.split()[0], data, terminated=kind != "REG_SZ without NUL")
                stored = self.reg_read()
                if dacl:  # Everyone keeps READ_CONTROL and WRITE_DAC, so the test can open the key up again
                    self.probe("key-security", subkey, dacl)
                    self.addCleanup(self.wine, [SUPPORT / "probe.exe", "key-security", subkey, OPEN], False)
                self.launch()
                self.assertEqual(self.typed(pad, browsers, count=1), reloads(f"{first}[0]"), "at the start")
                self.assertEqual(stored if dacl else self.reg_read(), stored, "left as it was")
                self.click("chromeTile" if first == "iexplore" else "ieTile")
                self.assertEqual(self.typed(pad, browsers, count=2), reloads("chrome[0]", "iexplore[0]"), "clicked")
                self.probe("key-security", subkey, OPEN)
                self.wait_for(self.reg_read, "stored in the end", ("REG_SZ", left))
                self.stop()
                self.reg_delete()
