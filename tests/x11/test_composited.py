"""With a compositor running (picom), the sliders' opacity and the pin boxes' above state reach the real
browsers' windows, and refresh still works where the compositor changes what the browsers are told about
being covered."""

import unittest

from harness import Desktop
import test_browsers

scene: Desktop


def setUpModule():
    global scene
    scene = Desktop("composited", compositor=True).start()


def tearDownModule():
    scene.stop()


class Appearance(unittest.TestCase):
    def set_and_read(self, verb: str, browser: str, value: int, prop: str) -> str:
        seen = len(scene.refresher.snapshot())
        scene.refresher.send(f"{verb} {browser} {value}")
        scene.refresher.wait_line(f"done {verb}", after=seen)
        return scene.env.prop(scene.browsers[browser], prop)

    def test_the_opacity_lands_on_each_browser_window(self):
        for browser in scene.browsers:
            for alpha, stored in [(128, 0x80808080), (40, 0x28282828), (255, 0xFFFFFFFF), (0, 0)]:
                with self.subTest(browser=browser, alpha=alpha):
                    text = self.set_and_read("opacity", browser, alpha, "_NET_WM_WINDOW_OPACITY")
                    self.assertTrue(text.endswith(f"= {stored}"), text)

    def test_pinning_puts_each_browser_above_and_unpinning_takes_it_out(self):
        for browser in scene.browsers:
            for above in (1, 0, 1, 0):
                with self.subTest(browser=browser, above=above):
                    scene.refresher.send(f"above {browser} {above}")
                    window = scene.browsers[browser]
                    test_browsers.harness.wait_until(
                        lambda: ("_NET_WM_STATE_ABOVE" in scene.env.prop(window, "_NET_WM_STATE")) == bool(above),
                        test_browsers.harness.EVENT_TIMEOUT, f"{browser} above={above}")


class RefreshUnderACompositor(unittest.TestCase):
    def test_covered_and_minimised_browsers_reload_once_per_chord(self):
        layouts = [layout for layout in test_browsers.LAYOUTS if "covered" in layout[0] or "minimised" in layout[0]]
        test_browsers.play_layouts(self, scene, layouts)


if __name__ == "__main__":
    unittest.main()
