"""Ctrl then S typed into an editor makes the real vaskf5 refresh the ticked real browsers, once per chord, without
taking the keyboard from the editor or sending a key to any other window; a tile refreshes the browsers chosen for
it, and any other program is left alone."""

import os
import subprocess
import unittest
from pathlib import Path

from harness import HOLD, SAVE, X11Env, chord, wait_until
from xharness import centre

SIDE_BY_SIDE = {"chrome": (0, 0, 760, 600), "firefox": (800, 0, 760, 600)}
OVERLAPPING = {"chrome": (0, 0, 760, 600), "firefox": (380, 60, 760, 600)}
INNER, OUTER = (60, 60, 600, 400), (0, 0, 900, 620)
# name: where the windows are, then the windows activated in turn (the last ends on top), or None to minimise both
LAYOUTS = {
    "side by side, Chromium activated last": (SIDE_BY_SIDE, ["firefox", "chrome"]),
    "side by side, Firefox activated last": (SIDE_BY_SIDE, ["chrome", "firefox"]),
    "overlapping, Chromium on top": (OVERLAPPING, ["firefox", "chrome"]),
    "overlapping, Firefox on top": (OVERLAPPING, ["chrome", "firefox"]),
    "Chromium fully covered by Firefox": ({"chrome": INNER, "firefox": OUTER}, ["chrome", "firefox"]),
    "Firefox fully covered by Chromium": ({"firefox": INNER, "chrome": OUTER}, ["firefox", "chrome"]),
    "Chromium fully covered by the editor": ({**SIDE_BY_SIDE, "chrome": INNER, "editor": OUTER}, ["chrome", "editor"]),
    "both minimised": (SIDE_BY_SIDE, None),
}
CHROMIUM_FILES = Path("/usr/lib/chromium")  # Debian's Chromium: its program and the files it loads beside it
env = X11Env("browsers")
setUpModule, tearDownModule = env.start, env.stop


def play_layouts(test: unittest.TestCase, env: X11Env, names) -> None:
    env.use(["chrome", "firefox"])
    for name in names:
        places, activated = LAYOUTS[name]
        for window, place in {"editor": (500, 700, 600, 200), **places}.items():
            env.place(env.windows[window], *place)
        for window in activated or []:
            env.activate(env.windows[window])
        for browser in [] if activated else ["chrome", "firefox"]:
            env.xdotool("windowminimize", "--sync", env.windows[browser])
            wait_until(lambda: "Iconic" in env.prop(env.windows[browser], "WM_STATE"), f"{browser} minimised")
        env.bring_editor_forward()
        focus_losses = env.editor.lines.count("focus out")
        results = [env.loads_after(SAVE, {"chrome": 1, "firefox": 1}) for _ in range(3)]
        with test.subTest(layout=name):
            test.assertEqual(results, [{"chrome": 1, "firefox": 1}] * 3, "loads per chord")
            test.assertEqual(env.editor.lines.count("focus out"), focus_losses, "the editor never loses the focus")
            test.assertEqual(env.keys_sent_by_programs(), {"editor": [], "Code": [], "Chromium": []})
        for browser in ("chrome", "firefox"):
            env.activate(env.windows[browser])  # restores the minimised ones for the next layout


class Layouts(unittest.TestCase):
    def test_layouts(self):
        play_layouts(self, env, LAYOUTS)


class Choices(unittest.TestCase):
    def setUp(self):
        for window, place in SIDE_BY_SIDE.items():
            env.place(env.windows[window], *place)

    def test_ticks(self):
        for ticked, automatic, expected in [
            (["chrome"], True, {"chrome": 1, "firefox": 0}),
            (["firefox"], True, {"chrome": 0, "firefox": 1}),
            (["chrome", "firefox"], False, {"chrome": 0, "firefox": 0}),
        ]:
            with self.subTest(ticked=ticked, automatic=automatic):
                env.use(ticked, automatic)
                self.assertEqual(env.loads_after(SAVE, expected), expected)

    def test_family(self):
        # Chromium hard-linked under Edge's program name and started with Edge's class is Edge to the program: it
        # is refreshed only once Edge is chosen, from the Chrome tile's menu.
        copy = Path(env.temp) / "edge"
        subprocess.run(["cp", "-al", CHROMIUM_FILES, copy], check=True)
        os.rename(copy / "chromium", copy / "msedge")
        env.start_browser("edge", "", copy / "msedge", "--class=Microsoft-edge")
        self.addCleanup(env.drop_browser, "edge")
        env.use(["chrome"], fresh=True)
        self.assertEqual(env.loads_after(SAVE, {"chrome": 1}), {"chrome": 1, "firefox": 0, "edge": 0})
        env.click(env.windows["vaskf5"], *centre("chromeTile"), button=3)
        env.xdotool("sleep", 0.5, "key", "Down", "Down", "Return")  # the menu's second item, Microsoft Edge
        settings = Path(env.env["XDG_CONFIG_HOME"]) / "vaskf5" / "settings.ini"
        wait_until(lambda: "Browsers=chrome,msedge,firefox,opera,iexplore," in settings.read_text(), "Edge chosen")
        env.activate(env.windows["editor"])
        self.assertEqual(env.loads_after(SAVE, {"chrome": 1, "edge": 1}), {"chrome": 1, "firefox": 0, "edge": 1})

    def test_hold(self):
        env.use(["chrome"])
        quick = ["keydown", "ctrl", "keydown", "s", "keyup", "s", "keyup", "ctrl"]  # Ctrl+S without a pause
        self.assertEqual(env.loads_after(quick * 2, {"chrome": 2}), {"chrome": 2, "firefox": 0})
        self.assertEqual(env.focused(), env.windows["editor"])
        # The user saves and at once clicks over to Chromium, while it is still held active for its F5.
        activate = ["windowactivate", "--sync", env.windows["chrome"]]
        self.assertEqual(env.loads_after(SAVE + activate, {"chrome": 1}), {"chrome": 1, "firefox": 0})
        self.assertEqual(env.focused(), env.windows["chrome"])
        for _ in range(2):  # real F5 presses, typed into Chromium once the hold is long over
            self.assertEqual(env.loads_after(["key", "F5"], {"chrome": 1}), {"chrome": 1, "firefox": 0})


class Keyboards(unittest.TestCase):
    def test_layouts(self):
        # Only Firefox is ticked: it takes a synthetic F5 at once, so its loads count the chords vaskf5 saw.
        env.use(["firefox"])
        self.addCleanup(env.run, "setxkbmap", "-layout", "us")
        copy_then_save = ["keydown", "ctrl", "sleep", HOLD, "key", "c", "sleep", HOLD, "key", "s", "sleep", HOLD,
                          "keyup", "ctrl"]
        for layout, keys, expected in [
            ("us", chord("Control_R", "s"), 1),
            ("us", copy_then_save, 1),  # shortcuts chained under one Ctrl
            ("ru", chord("ctrl", "Cyrillic_yeru"), 1),  # the key that types ы is where S is
            ("ru", chord("ctrl", "Cyrillic_i"), 0),  # и sits where B is
            ("us,ru", chord("ctrl", "Cyrillic_yeru"), 1),
            ("pl", chord("ISO_Level3_Shift", "s"), 0),  # AltGr+S types ś: not a save
        ]:
            with self.subTest(layout=layout, keys=keys):
                env.run("setxkbmap", "-layout", layout)
                self.assertEqual(env.loads_after(keys, {"firefox": expected}), {"chrome": 0, "firefox": expected})


if __name__ == "__main__":
    unittest.main()
