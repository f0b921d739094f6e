"""With picom running, the settings panel of the real vaskf5 sets the real browsers' opacity and above state, and
refresh still works where the compositor changes what the browsers are told about being covered."""

import time
import unittest

from harness import SETTLE_SECONDS, X11Env
from test_browsers import LAYOUTS, play_layouts
from xharness import centre, layout, wait_until

env = X11Env("composited", compositor=True)
setUpModule, tearDownModule = env.start, env.stop


class SettingsPanel(unittest.TestCase):
    def setUp(self):  # a freshly started vaskf5: sliders at 255, boxes clear
        for browser in ("chrome", "firefox"):
            self.addCleanup(env.run, "xprop", "-id", env.windows[browser], "-remove", "_NET_WM_WINDOW_OPACITY")
        env.use(["chrome", "firefox"], fresh=True)
        env.open_panel(env.windows["vaskf5"])

    def state(self, what) -> dict:
        return {browser: what(env.windows[browser]) for browser in ("chrome", "firefox")}

    def test_sliders(self):
        for browser, other in (("chrome", "firefox"), ("firefox", "chrome")):
            with self.subTest(browser=browser):
                left, top, width, height = layout()[f"{browser}Opacity"]
                before = self.state(env.opacity)[other]
                env.click(env.windows["vaskf5"], left + width // 2, top + height // 2)  # the track left of the thumb
                wait_until(lambda: self.state(env.opacity)[browser] == 254, f"{browser} at 254 after a track click")
                self.assertEqual(self.state(env.opacity)[other], before, "the other browser")
                thumb = (left + width - 7, top + height // 2)  # the thumb, at the right end
                env.drag(env.windows["vaskf5"], thumb, (-40, 0), release=False)
                time.sleep(SETTLE_SECONDS)  # only to give a wrong change the time to show
                self.assertEqual(self.state(env.opacity)[browser], 254, "nothing changes while the thumb is dragged")
                env.xdotool("mouseup", 1)
                wait_until(lambda: self.state(env.opacity)[browser] < 254, f"{browser} lower once the thumb is let go")

    def test_pins(self):
        def above(xid):
            return "_NET_WM_STATE_ABOVE" in env.prop(xid, "_NET_WM_STATE")
        steps = [
            ("chromePin", {"chrome": True, "firefox": False}),
            ("firefoxPin", {"chrome": True, "firefox": True}),
            (None, {"chrome": True, "firefox": False}),  # Space, to the box clicked last
            (None, {"chrome": True, "firefox": True}),
            ("chromePin", {"chrome": False, "firefox": True}),
            ("firefoxPin", {"chrome": False, "firefox": False}),
        ]
        for box, expected in steps:
            if box:
                env.click(env.windows["vaskf5"], *centre(box))
            else:
                env.xdotool("windowactivate", "--sync", env.windows["vaskf5"], "key", "space")
            wait_until(lambda: self.state(above) == expected, f"above states {expected} (they are {self.state(above)})")


class RefreshUnderACompositor(unittest.TestCase):
    def test_layouts(self):
        play_layouts(self, env, [name for name in LAYOUTS if "covered" in name or "minimised" in name])


if __name__ == "__main__":
    unittest.main()
