"""With picom running, the settings panel of the real vaskf5 sets the real browsers' opacity and above state, and
refresh still works where the compositor changes what the browsers are told about being covered."""

import time
import unittest

from harness import SETTLE_SECONDS, X11Env
from test_browsers import LAYOUTS, play_layouts
from xharness import PIN_BOX, SLIDER_THUMB, SLIDER_TRACK, wait_until

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

    def test_a_track_click_lowers_only_its_browsers_opacity_one_step_and_a_dragged_thumb_more_only_once_let_go(self):
        for browser, other in (("chrome", "firefox"), ("firefox", "chrome")):
            with self.subTest(browser=browser):
                before = self.state(env.opacity)[other]
                env.click(env.windows["vaskf5"], *SLIDER_TRACK[browser])
                wait_until(lambda: self.state(env.opacity)[browser] == 254, f"{browser} at 254 after a track click")
                self.assertEqual(self.state(env.opacity)[other], before, "the other browser")
                thumb = (SLIDER_THUMB[browser][0] - 1, SLIDER_THUMB[browser][1])
                env.drag(env.windows["vaskf5"], thumb, (-40, 0), release=False)
                time.sleep(SETTLE_SECONDS)  # only to give a wrong change the time to show
                self.assertEqual(self.state(env.opacity)[browser], 254, "nothing changes while the thumb is dragged")
                env.xdotool("mouseup", 1)
                wait_until(lambda: self.state(env.opacity)[browser] < 254, f"{browser} lower once the thumb is let go")

    def test_a_pin_box_ticked_by_a_click_or_space_puts_its_browser_above_and_clearing_it_takes_it_out(self):
        def above(xid):
            return "_NET_WM_STATE_ABOVE" in env.prop(xid, "_NET_WM_STATE")
        steps = [
            (PIN_BOX["chrome"], {"chrome": True, "firefox": False}),
            (PIN_BOX["firefox"], {"chrome": True, "firefox": True}),
            (None, {"chrome": True, "firefox": False}),  # Space, to the box clicked last
            (None, {"chrome": True, "firefox": True}),
            (PIN_BOX["chrome"], {"chrome": False, "firefox": True}),
            (PIN_BOX["firefox"], {"chrome": False, "firefox": False}),
        ]
        for point, expected in steps:
            if point:
                env.click(env.windows["vaskf5"], *point)
            else:
                env.xdotool("windowactivate", "--sync", env.windows["vaskf5"], "key", "space")
            wait_until(lambda: self.state(above) == expected, f"above states {expected} (they are {self.state(above)})")


class RefreshUnderACompositor(unittest.TestCase):
    def test_covered_and_minimised_browsers_reload_once_per_chord(self):
        play_layouts(self, env, [name for name in LAYOUTS if "covered" in name or "minimised" in name])


if __name__ == "__main__":
    unittest.main()
