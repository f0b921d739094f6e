# Vask F5 under Wine over a long session and when things go wrong: stored values it cannot use, a settings key it may
# not read or write, browsers that close, crash or hang, quick restarts. VASKF5_SOAK_CHORDS sets how many chords the
# long session types (default 300), VASKF5_SOAK_SEED the seed of its holds and in-between keys.

import os
import random
import time
import unittest

from harness import CHROME, EXE, FIREFOX, IE, KEY, MAIN, OPERA, SUPPORT, TIMEOUT, WineCase, reloads

SOAK_CHORDS, SOAK_SEED = int(os.environ.get("VASKF5_SOAK_CHORDS", "300")), int(os.environ.get("VASKF5_SOAK_SEED", "7"))
# Everyone keeps READ_CONTROL and WRITE_DAC (0x60000), so the test can open the key up again.
READ_ONLY, NO_ACCESS, OPEN = "D:P(A;;0x60019;;;WD)", "D:P(A;;0x60000;;;WD)", "D:(A;;0xF003F;;;WD)"


def soak_plan(rng: random.Random) -> tuple[list, str]:  # xdotool's arguments per chord, and what the others type
    def step(action, key):  # xdotool's own delay off: the holds are the whole timing
        return [action, "--delay", "0", key, "sleep", f"{rng.uniform(0.06, 0.10):.3f}"]

    plan, typed = [], ""
    for _ in range(SOAK_CHORDS):  # S let go first three times out of four, then a letter, digit, Shift+S, Ctrl or S
        args = step("keydown", "ctrl") + step("keydown", "s")
        args += [a for key in (("s", "ctrl") if rng.random() < 0.75 else ("ctrl", "s")) for a in step("keyup", key)]
        key = rng.choice(["a", "q", "z", "5", "shift+s", "ctrl", "s"])
        keys = key.split("+")
        plan.append(args + [a for k in keys for a in step("keydown", k)] + [a for k in keys[::-1] for a in step("keyup", k)])
        typed += {"shift+s": "S", "ctrl": ""}.get(key, key)
    return plan, typed


class Sessions(WineCase):
    def test_a_long_session(self):
        browsers, pad = self.scene([(FIREFOX, 1), (OPERA, 1), (CHROME, 3), (IE, 1)], "ie,chrome,firefox,autorefresh,")
        chrome = browsers.frames(CHROME)
        plan, typed = soak_plan(random.Random(SOAK_SEED))
        expected = reloads(*[w.label for w in (chrome[0], browsers.frames(FIREFOX)[0], browsers.frames(IE)[0])] * SOAK_CHORDS)
        got = self.chord(pad, browsers, lambda: [self.display.xdotool(*args) for args in plan], sum(expected.values()))
        self.assertEqual(got, expected, f"seed {SOAK_SEED}: each chord refreshed each ticked browser once")
        self.assertEqual(self.probe("gettext", pad), typed, "every other key arrived")
        self.assertEqual(browsers.frames(CHROME), chrome, "the Chrome windows kept their order")
        self.assertEqual(self.probe("gettext", self.main), "Vask F5", "the window answers")

    def test_quick_starts_and_a_second_copy(self):
        # Each start as soon as the last copy has gone: one that took itself for a second copy would show no window.
        for cycle in range(20):
            self.focus(self.launch())
            self.tap("Escape")
            self.assertEqual(self.program.wait(TIMEOUT), 0, f"start {cycle}")
        main = self.launch()
        self.assertEqual(self.spawn([EXE], "second").wait(TIMEOUT), 0, "the second copy ends by itself")
        self.assertEqual(self.find(MAIN), [main], "only the first copy's window")

    def test_browsers_that_close_crash_or_hang(self):
        hung = self.browsers([(CHROME, 2)], name="hung", options=["--hang"])
        others, pad = self.scene([(FIREFOX, 1)], "ie,chrome,firefox,autorefresh,", y=240)
        for generation, end in enumerate(("closed", "killed")):
            ie = self.browsers([(IE, 1)], name=f"ie-{generation}", y=460)
            self.assertEqual(self.chord(pad, others, count=1), reloads("firefox[0]"))
            self.wait_for(ie.acts, f"IE {generation} refreshed", reloads("iexplore[0]"))
            if end == "closed":
                self.probe("post", ie.windows[0].hwnd, 0x10, 0, 0)  # WM_CLOSE
                self.assertEqual(ie.processes[0].wait(TIMEOUT), 0, "the fake IE ends with its window")
            self.kill(ie.processes[0])
            self.wait_for(lambda: not self.find(IE), "IE gone")
            # Chrome comes first in the refresh order, so every chord posts to the hung window before Firefox.
            self.assertEqual(self.chord(pad, others, count=1), reloads("firefox[0]"), f"IE {end}")
        self.assertEqual(hung.acts(), {}, "the hung Chrome never read a message")


class StoredValues(WineCase):
    def test_values_it_cannot_use(self):
        too_long = "ie," + ("x" * 49 + ",") * 99 + "firefox,"
        browsers, pad = self.scene([(FIREFOX, 1), (CHROME, 1), (IE, 1)], launch=False)
        for kind, data in (("REG_SZ", too_long), ("REG_SZ without NUL", "ie," + "x" * 1022), ("REG_DWORD", "1"),
                           ("REG_BINARY", "690065002c000000"), ("REG_MULTI_SZ", "ie,\\0firefox,")):
            with self.subTest(kind=kind, data=data[:20]):  # a first start: Chrome, and nothing rewritten
                self.reg_add(kind.split()[0], data, terminated=kind != "REG_SZ without NUL")
                stored = self.reg_read()
                self.launch()
                self.assertEqual(self.chord(pad, browsers, count=1), reloads("chrome[0]"))
                self.assertEqual(self.reg_read(), stored, "left as it was")
                self.stop()
                self.reg_delete()

    def test_a_key_that_refuses_reads_or_writes(self):
        browsers, pad = self.scene([(CHROME, 1), (IE, 1)], launch=False)
        for dacl, stored, first, left in ((READ_ONLY, "ie,autorefresh,", "iexplore[0]", "ie,autorefresh,"),
                                          (NO_ACCESS, "ie,firefox,autorefresh,", "chrome[0]", "ie,firefox,autorefresh,"),
                                          (None, None, "chrome[0]", "ie,chrome,autorefresh,")):
            with self.subTest(dacl=dacl or "a number where text belongs"):
                self.reg_add("REG_SZ", stored) if stored else self.reg_add("REG_DWORD", "1")
                if dacl:
                    self.probe("key-security", KEY.split("\\", 1)[1], dacl)
                    self.addCleanup(self.wine, [SUPPORT / "probe.exe", "key-security", KEY.split("\\", 1)[1], OPEN], False)
                self.launch()
                self.assertEqual(self.chord(pad, browsers, count=1), reloads(first), "at the start")
                self.click("chromeTile" if first != "chrome[0]" else "ieTile")
                self.assertEqual(self.chord(pad, browsers, count=2), reloads("chrome[0]", "iexplore[0]"), "clicked")
                self.probe("key-security", KEY.split("\\", 1)[1], OPEN)
                self.wait_for(self.reg_read, "stored in the end", ("REG_SZ", left))
                self.stop()
                self.reg_delete()


if __name__ == "__main__":
    unittest.main()
