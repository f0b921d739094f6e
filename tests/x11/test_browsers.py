# Ctrl then S typed into an editor makes the real vaskf5 refresh the ticked real browsers (Chromium, Firefox ESR) under
# openbox, once per chord, in every layout and on the workspace the user sees, without taking the keyboard from the
# editor or sending it a key, also under a compositor; a tile refreshes the browsers chosen for it; the settings panel
# sets a browser's opacity and above state; vaskf5 ended during Chromium's hold puts back what the hold borrowed.

import signal
import unittest

from xharness import HOLD, SAVE, SETTLE_SECONDS, X11Env, centre, chord, layout, wait_until

SIDE_BY_SIDE = {"chrome": (0, 0, 760, 600), "firefox": (800, 0, 760, 600), "editor": (500, 700, 600, 200)}
INNER, OUTER = (60, 60, 600, 400), (0, 0, 900, 620)
# name: where the windows are, then the windows minimised, or activated in turn (the last ends on top; an activated
# window is also restored). Partly covered windows take the route of side by side ones: they are not played.
LAYOUTS = {
    "both minimised": (SIDE_BY_SIDE, "minimise", ["chrome", "firefox"]),
    "side by side": (SIDE_BY_SIDE, "activate", ["firefox", "chrome"]),
    "Chromium fully covered by Firefox": ({**SIDE_BY_SIDE, "chrome": INNER, "firefox": OUTER}, "activate",
                                          ["chrome", "firefox"]),
    "Chromium fully covered by the editor": ({**SIDE_BY_SIDE, "chrome": INNER, "editor": OUTER}, "activate",
                                             ["chrome", "editor"]),
}
BOTH = {"chrome": 1, "firefox": 1}
env = X11Env("browsers")
setUpModule, tearDownModule = env.start, env.stop


class Browsers(unittest.TestCase):
    def setUp(self):
        for window, place in SIDE_BY_SIDE.items():
            env.place(env.windows[window], *place)

    def test_layouts(self):
        env.use(["chrome", "firefox"])
        # Under a compositor nothing is covered for the X server: windows it shows covered or minimised still reload.
        for picom, names in ((False, LAYOUTS), (True, [name for name in LAYOUTS if name != "side by side"])):
            if picom:
                self.addCleanup(env.stop_process, env.start_manager("picom", "--backend", "xrender",
                                                                    "--no-fading-openclose"))
            for name in names:
                places, action, windows = LAYOUTS[name]
                for window, place in places.items():
                    env.place(env.windows[window], *place)
                for window in windows:
                    getattr(env, action)(env.windows[window])
                env.activate(env.windows["editor"])
                seen = len(env.editor.lines)
                with self.subTest(layout=name, picom=picom):
                    self.assertEqual([env.loads_after(SAVE, BOTH) for _ in range(3)], [BOTH] * 3, "loads per chord")
                    self.assertFalse([ln for ln in env.editor.lines[seen:] if ln == "focus out" or ln.endswith(" 1")],
                                     "the editor keeps the focus and is sent no key")

    def test_family(self):
        # Chromium hard-linked under Edge's program name and started with Edge's class is Edge to the program: it is
        # refreshed only once Edge is chosen, from the Chrome tile's menu.
        copy = env.temp / "edge"
        env.run("cp", "-al", "/usr/lib/chromium", copy)  # Debian's Chromium and its files
        (copy / "chromium").rename(copy / "msedge")
        env.start_browser("edge", "", copy / "msedge", "--class=Microsoft-edge")
        self.addCleanup(env.drop_browser, "edge")
        env.use(["chrome"], fresh=True)
        self.assertEqual(env.loads_after(SAVE, {"chrome": 1}), {"chrome": 1, "firefox": 0, "edge": 0})
        env.click(env.windows["vaskf5"], *centre("chromeTile"), button=3)
        env.xdotool("sleep", 0.5, "key", "Down", "Down", "Return")  # the menu's second item, Microsoft Edge
        wait_until(lambda: "Browsers=chrome,msedge,firefox,opera,iexplore," in env.settings.read_text(), "Edge chosen")
        env.activate(env.windows["editor"])
        self.assertEqual(env.loads_after(SAVE, {"chrome": 1, "edge": 1}), {"chrome": 1, "firefox": 0, "edge": 1})

    def test_hold(self):
        # The user saves twice in quick succession (the second chord comes during Chromium's hold for its first F5)
        # and at once clicks over to Chromium, while it is still held active.
        env.use(["chrome"])
        quick = ["keydown", "ctrl", "keydown", "s", "keyup", "s", "keyup", "ctrl"]  # Ctrl+S without a pause
        activate = ["windowactivate", "--sync", env.windows["chrome"]]
        self.assertEqual(env.loads_after(quick * 2 + activate, {"chrome": 2}), {"chrome": 2, "firefox": 0})
        self.assertEqual(env.focused(), env.windows["chrome"])
        self.assertEqual(env.loads_after(["key", "F5"], {"chrome": 1}), {"chrome": 1, "firefox": 0},
                         "a real F5 typed into Chromium once the hold is over: it was never told it lost the focus")

    def test_keys(self):
        # Only Firefox is ticked: it takes a synthetic F5 at once, so its loads count the chords vaskf5 saw.
        env.use(["firefox"])
        self.addCleanup(env.run, "setxkbmap", "-layout", "us")
        for layout_name, keys, expected in [
            ("us", chord("Control_R", "s"), 1),
            ("us", ["keydown", "ctrl", "sleep", HOLD, "key", "c", "s", "sleep", HOLD, "keyup", "ctrl"], 1),  # chained
            ("ru", chord("ctrl", "Cyrillic_yeru"), 1),  # the key that types ы is where S is
            ("ru", chord("ctrl", "Cyrillic_i"), 0),  # и sits where B is
            ("pl", chord("ISO_Level3_Shift", "s"), 0),  # AltGr+S types ś: not a save
        ]:
            with self.subTest(layout=layout_name, keys=keys):
                env.run("setxkbmap", "-layout", layout_name)
                self.assertEqual(env.loads_after(keys, {"firefox": expected}), {"chrome": 0, "firefox": expected})

    def test_end(self):
        # Each signal is registered on its own, so each is sent; Exit ends the program the same way.
        chrome = env.windows["chrome"]
        for end in ("SIGTERM", "SIGINT", "SIGHUP", "exitWord"):
            with self.subTest(end=end):
                env.use(["chrome"], fresh=True)
                env.xdotool("mousemove", "--window", env.windows["vaskf5"], *centre("exitWord"))
                env.minimise(chrome)
                spy = env.report("stdbuf", "-oL", "xprop", "-spy", "-id", chrome, "_NET_WM_STATE")
                spy.wait_line("_NET_WM_STATE")
                env.xdotool(*SAVE)
                wait_until(lambda: any("HIDDEN" not in line for line in spy.lines), "the mark taken off for the hold")
                env.xdotool("click", 1) if end == "exitWord" else env.program.send_signal(getattr(signal, end))
                self.assertEqual(env.program.wait(timeout=10), 0, "ended as by Exit")
                self.assertIn("_HIDDEN", env.prop(chrome, "_NET_WM_STATE"), f"the mark put back ({spy.lines})")
                env.stop_process(spy.process)
                env.activate(chrome)

    def test_visible_first(self):
        # A second Chromium on a profile of its own, used last but on the workspace the user has left.
        chrome, chrome2 = env.windows["chrome"], env.start_browser("chrome2")
        self.addCleanup(env.drop_browser, "chrome2")
        self.addCleanup(env.xdotool, "set_desktop_for_window", chrome, 0, "set_num_desktops", 1)
        env.xdotool("set_num_desktops", 2, "set_desktop_for_window", chrome2, 1)
        env.activate(chrome)
        env.xdotool("windowactivate", "--sync", chrome2, "set_desktop", 0)  # activated on its own workspace, then left
        env.use(["chrome"])
        self.assertEqual(env.loads_after(SAVE, {"chrome": 1}), {"chrome": 1, "firefox": 0, "chrome2": 0})
        env.xdotool("set_desktop_for_window", chrome, 1)
        loads = env.loads_after(SAVE, {})
        self.assertEqual(sorted(loads.values()), [0, 0, 1], f"with none on this workspace, one elsewhere ({loads})")

    def test_panel(self):
        # A freshly started vaskf5 (sliders at 255, boxes clear) with its panel open; the sliders and boxes of the
        # two browsers differ only in the window they act on.
        env.use(["chrome", "firefox"], fresh=True)
        chrome, vaskf5 = env.windows["chrome"], env.windows["vaskf5"]
        self.addCleanup(env.run, "xprop", "-id", chrome, "-remove", "_NET_WM_WINDOW_OPACITY")
        env.open_panel(vaskf5)
        left, top, width, height = layout()["chromeOpacity"]
        env.click(vaskf5, left + width // 2, top + height // 2)  # the track left of the thumb
        wait_until(lambda: env.opacity(chrome) == 254, "Chromium at 254 after a track click")
        env.drag(vaskf5, (left + width - 7, top + height // 2), (-40, 0), release=False)
        env.xdotool("sleep", SETTLE_SECONDS)  # only to give a wrong change the time to show
        self.assertEqual(env.opacity(chrome), 254, "nothing changes while the thumb is dragged")
        env.xdotool("mouseup", 1)
        wait_until(lambda: env.opacity(chrome) < 254, "Chromium lower once the thumb is let go")
        env.click(vaskf5, *centre("chromePin"))
        wait_until(lambda: "_ABOVE" in env.prop(chrome, "_NET_WM_STATE"), "Chromium above once its box is clicked")
        env.xdotool("windowactivate", "--sync", vaskf5, "key", "space")  # to the box clicked last
        wait_until(lambda: "_ABOVE" not in env.prop(chrome, "_NET_WM_STATE"), "Chromium no longer above after Space")
