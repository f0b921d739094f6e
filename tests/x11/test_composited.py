"""With a compositor running (picom), the settings panel of the real vaskf5 sets the real browsers' opacity with
its sliders and their above state with its "置顶" boxes, and refresh still works where the compositor changes what
the browsers are told about being covered."""

import unittest

import test_browsers
from harness import Desktop
from xharness import PIN_BOX, SLIDER_THUMB, SLIDER_TRACK, wait_until

scene: Desktop


def setUpModule():
    global scene
    scene = Desktop("composited", compositor=True).start()


def tearDownModule():
    scene.stop()


class SettingsPanel(unittest.TestCase):
    """Each test clicks in the panel of a freshly started vaskf5 (sliders at 255, boxes clear) and reads the
    browsers' windows back as the window manager and the compositor see them."""

    def setUp(self):
        for window in scene.browsers.values():
            scene.env.run("xprop", "-id", window.id, "-remove", "_NET_WM_WINDOW_OPACITY")
        scene.use(["chrome", "firefox"], fresh=True)
        scene.env.open_panel(scene.program_window.id)

    def tearDown(self):
        for window in scene.browsers.values():
            scene.env.run("xprop", "-id", window.id, "-remove", "_NET_WM_WINDOW_OPACITY")
        scene.env.activate(scene.editor_window)

    def opacities(self) -> dict[str, int]:
        return {name: scene.env.opacity(window.id) for name, window in scene.browsers.items()}

    def above(self) -> dict[str, bool]:
        return {name: "_NET_WM_STATE_ABOVE" in scene.env.prop(window.id, "_NET_WM_STATE")
                for name, window in scene.browsers.items()}

    def test_a_track_click_lowers_only_its_browsers_opacity_one_step_and_a_dragged_thumb_more_when_let_go(self):
        program = scene.program_window.id
        other = {"chrome": "firefox", "firefox": "chrome"}
        for browser in ("chrome", "firefox"):
            with self.subTest(browser=browser):
                before = self.opacities()
                scene.env.click(program, *SLIDER_TRACK[browser])
                wait_until(lambda: self.opacities()[browser] == 254, f"{browser} at opacity 254 after a track click")
                self.assertEqual(self.opacities()[other[browser]], before[other[browser]], "the other browser")
                thumb = (SLIDER_THUMB[browser][0] - 1, SLIDER_THUMB[browser][1])
                scene.env.drag(program, thumb, (-40, 0))
                wait_until(lambda: self.opacities()[browser] < 254, f"{browser} lower once the thumb is let go")

    def test_a_ticked_pin_box_puts_its_browser_above_and_clearing_it_takes_it_out(self):
        program = scene.program_window.id
        steps = [
            ("chrome", {"chrome": True, "firefox": False}),
            ("firefox", {"chrome": True, "firefox": True}),
            ("chrome", {"chrome": False, "firefox": True}),
            ("firefox", {"chrome": False, "firefox": False}),
        ]
        for box, expected in steps:
            scene.env.click(program, *PIN_BOX[box])
            wait_until(lambda: self.above() == expected, f"above states {expected} (they are {self.above()})")


class RefreshUnderACompositor(unittest.TestCase):
    def test_covered_and_minimised_browsers_reload_once_per_chord(self):
        layouts = [layout for layout in test_browsers.LAYOUTS if "covered" in layout[0] or "minimised" in layout[0]]
        test_browsers.play_layouts(self, scene, layouts)


if __name__ == "__main__":
    unittest.main()
