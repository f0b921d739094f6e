# Ctrl then S typed into an editor makes the real vaskf5 refresh the ticked real browsers (Chromium, Firefox ESR) under
# openbox, once per chord, in every layout and on the workspace the user sees, without taking the keyboard from the
# editor or sending it a key; a tile refreshes the browsers chosen for it; the settings panel sets the browsers'
# opacity and above state under a compositor; vaskf5 ended during Chromium's hold puts back what the hold borrowed.

import os
import signal
import subprocess
import time
import unittest
from pathlib import Path

from xharness import HOLD, SAVE, SETTLE_SECONDS, Reporter, X11Env, centre, chord, layout, wait_until

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
BOTH = {"chrome": 1, "firefox": 1}
env = X11Env("browsers")
setUpModule, tearDownModule = env.start, env.stop


def play_layouts(test: unittest.TestCase, names) -> None:
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
        env.activate(env.windows["editor"])
        focus_losses = env.editor.lines.count("focus out")
        with test.subTest(layout=name):
            test.assertEqual([env.loads_after(SAVE, BOTH) for _ in range(3)], [BOTH] * 3, "loads per chord")
            test.assertEqual(env.editor.lines.count("focus out"), focus_losses, "the editor never loses the focus")
            test.assertFalse([line for line in env.editor.lines if line.endswith(" 1")], "no key sent to the editor")
        for browser in ("chrome", "firefox"):
            env.activate(env.windows[browser])  # restores the minimised ones for the next layout


def hidden(window: int) -> bool:
    return "_NET_WM_STATE_HIDDEN" in env.prop(window, "_NET_WM_STATE")


class Layouts(unittest.TestCase):
    def test_layouts(self):
        play_layouts(self, LAYOUTS)


class Choices(unittest.TestCase):
    def setUp(self):
        for window, place in SIDE_BY_SIDE.items():
            env.place(env.windows[window], *place)

    def test_family(self):
        # Chromium hard-linked under Edge's program name and started with Edge's class is Edge to the program: it is
        # refreshed only once Edge is chosen, from the Chrome tile's menu.
        copy = env.temp / "edge"
        subprocess.run(["cp", "-al", "/usr/lib/chromium", copy], check=True)  # Debian's Chromium and its files
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
    def test_keys(self):
        # Only Firefox is ticked: it takes a synthetic F5 at once, so its loads count the chords vaskf5 saw.
        env.use(["firefox"])
        self.addCleanup(env.run, "setxkbmap", "-layout", "us")
        copy_then_save = ["keydown", "ctrl", "sleep", HOLD, "key", "c", "sleep", HOLD, "key", "s", "sleep", HOLD,
                          "keyup", "ctrl"]  # shortcuts chained under one Ctrl
        for layout_name, keys, expected in [
            ("us", chord("Control_R", "s"), 1), ("us", copy_then_save, 1),
            ("ru", chord("ctrl", "Cyrillic_yeru"), 1),  # the key that types ы is where S is
            ("ru", chord("ctrl", "Cyrillic_i"), 0),  # и sits where B is
            ("us,ru", chord("ctrl", "Cyrillic_yeru"), 1),
            ("pl", chord("ISO_Level3_Shift", "s"), 0),  # AltGr+S types ś: not a save
        ]:
            with self.subTest(layout=layout_name, keys=keys):
                env.run("setxkbmap", "-layout", layout_name)
                self.assertEqual(env.loads_after(keys, {"firefox": expected}), {"chrome": 0, "firefox": expected})
        env.use(["chrome", "firefox"], automatic=False)
        self.assertEqual(env.loads_after(SAVE, {}), {"chrome": 0, "firefox": 0}, "automatic refresh off")


class Composited(unittest.TestCase):
    @classmethod
    def setUpClass(cls):  # picom runs for these tests alone
        cls.picom = env.start_manager("picom", "--backend", "xrender", "--no-fading-openclose")

    @classmethod
    def tearDownClass(cls):
        env.stop_process(cls.picom)

    def state(self, what) -> dict:
        return {browser: what(env.windows[browser]) for browser in ("chrome", "firefox")}

    def panel(self):  # a freshly started vaskf5 (sliders at 255, boxes clear) with its panel open
        for browser in ("chrome", "firefox"):
            self.addCleanup(env.run, "xprop", "-id", env.windows[browser], "-remove", "_NET_WM_WINDOW_OPACITY")
        env.use(["chrome", "firefox"], fresh=True)
        env.open_panel(env.windows["vaskf5"])

    def test_layouts(self):
        play_layouts(self, [name for name in LAYOUTS if "covered" in name or "minimised" in name])

    def test_sliders(self):
        self.panel()
        for browser, other in (("chrome", "firefox"), ("firefox", "chrome")):
            with self.subTest(browser=browser):
                left, top, width, height = layout()[f"{browser}Opacity"]
                before = self.state(env.opacity)[other]
                env.click(env.windows["vaskf5"], left + width // 2, top + height // 2)  # the track left of the thumb
                wait_until(lambda: self.state(env.opacity)[browser] == 254, f"{browser} at 254 after a track click")
                self.assertEqual(self.state(env.opacity)[other], before, "the other browser")
                env.drag(env.windows["vaskf5"], (left + width - 7, top + height // 2), (-40, 0), release=False)
                time.sleep(SETTLE_SECONDS)  # only to give a wrong change the time to show
                self.assertEqual(self.state(env.opacity)[browser], 254, "nothing changes while the thumb is dragged")
                env.xdotool("mouseup", 1)
                wait_until(lambda: self.state(env.opacity)[browser] < 254, f"{browser} lower once the thumb is let go")

    def test_pins(self):
        self.panel()
        # a box clicked or Space (to the box clicked last), then the browsers above
        for box, expected in [("chromePin", (True, False)), ("firefoxPin", (True, True)), (None, (True, False)),
                              (None, (True, True)), ("chromePin", (False, True)), ("firefoxPin", (False, False))]:
            if box:
                env.click(env.windows["vaskf5"], *centre(box))
            else:
                env.xdotool("windowactivate", "--sync", env.windows["vaskf5"], "key", "space")
            above = lambda: tuple("_ABOVE" in env.prop(env.windows[b], "_NET_WM_STATE") for b in ("chrome", "firefox"))
            wait_until(lambda: above() == expected, f"above states {expected} (they are {above()})")


class EndDuringHold(unittest.TestCase):
    def test_end(self):
        chrome = env.windows["chrome"]
        for end in ("SIGTERM", "SIGINT", "SIGHUP", "exitWord"):
            with self.subTest(end=end):
                env.use(["chrome"], fresh=True)
                env.xdotool("mousemove", "--window", env.windows["vaskf5"], *centre("exitWord"))
                env.xdotool("windowminimize", "--sync", chrome)
                wait_until(lambda: hidden(chrome), "Chromium minimised")
                spy = Reporter(env.spawn(["stdbuf", "-oL", "xprop", "-spy", "-id", chrome, "_NET_WM_STATE"],
                                         stdout=subprocess.PIPE, text=True))
                spy.wait_line("_NET_WM_STATE")
                env.xdotool(*SAVE)
                wait_until(lambda: any("HIDDEN" not in line for line in spy.lines), "the mark taken off for the hold")
                if end == "exitWord":
                    env.xdotool("click", 1)
                else:
                    env.program.send_signal(getattr(signal, end))
                self.assertEqual(env.program.wait(timeout=10), 0, "ended as by Exit")
                self.assertTrue(hidden(chrome), f"the minimised mark put back ({spy.lines})")
                env.stop_process(spy.process)
                env.activate(chrome)


class Workspaces(unittest.TestCase):
    def test_visible_first(self):
        # A second Chromium on a profile of its own, used last but on the workspace the user has left.
        chrome, chrome2 = env.windows["chrome"], env.start_browser("chrome2")
        self.addCleanup(env.drop_browser, "chrome2")
        env.xdotool("set_num_desktops", 2)
        env.xdotool("set_desktop_for_window", chrome2, 1)
        env.activate(chrome)
        env.xdotool("set_desktop", 1)
        env.activate(chrome2)
        env.xdotool("set_desktop", 0)
        env.use(["chrome"])
        self.assertEqual(env.loads_after(SAVE, {"chrome": 1}), {"chrome": 1, "firefox": 0, "chrome2": 0})
        env.xdotool("set_desktop_for_window", chrome, 1)
        loads = env.loads_after(SAVE, {})
        self.assertEqual(sorted(loads.values()), [0, 0, 1], f"with none on this workspace, one elsewhere ({loads})")


if __name__ == "__main__":
    unittest.main()
