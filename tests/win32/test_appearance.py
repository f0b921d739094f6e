"""Vask F5 under Wine: how it changes windows' looks. The settings panel's sliders make a browser's window (or the
program's own) translucent, its pin boxes keep browsers above other windows, and digit keys set the program's own
translucency.

Fake browsers stand in for IE, Chrome and Firefox. Which window of a class the program should act on is read from
the window manager right before each click (front to back), never assumed from the order the windows were made.
Translucency and pinning are read back from another process (``probe alpha`` / ``probe topmost``); without a
compositor they are stored but not visible on the screen.
"""

from __future__ import annotations

import time
import unittest

import harness
from harness import CHROME, FIREFOX, IE, wait_until

ROWS = ("ie", "chrome", "firefox")
CLASS_OF = {"ie": IE, "chrome": CHROME, "firefox": FIREFOX}
PIN_CAPTION = "置顶"
PANEL_CAPTION = "设置勾选的浏览器"

# Where the panel's controls are laid out, client pixels at 96 dpi: x, y, width, height.
PIN_BOXES = {"ie": (104, 33, 49, 17), "chrome": (104, 65, 49, 17), "firefox": (104, 97, 49, 17)}
SLIDERS = {"ie": (232, 37, 105, 9), "chrome": (232, 70, 105, 9), "firefox": (232, 101, 105, 9)}
SLIDER_MAX = 255

SETTINGS_CLICK = (350, 22)
IE_TILE_CLICK = (160, 108)
PARK = (1270, 790)  # a corner of the screen that no window of these tests covers


def setUpModule():
    harness.require_program()
    harness.start_module(__name__)


def tearDownModule():
    harness.stop_module()


class AppearanceCase(harness.WineTestCase):
    def launch(self) -> int:
        self.program = self.start_program()
        self.main = self.wait_main_window(self.program)
        self.xid = self.env.wait_xid(self.main)
        return self.main

    def click(self, point: tuple[int, int]) -> None:
        """A left click at a point of the client area, then the pointer out of the way."""
        self.env.click(self.xid, *point)
        self.env.xdotool("mousemove", *PARK)

    def open_panel(self) -> None:
        self.click(SETTINGS_CLICK)
        panel = wait_until(lambda: self.child_windows("VaskF5Surface", PANEL_CAPTION, visible=True),
                           harness.EVENT_TIMEOUT, "the settings panel")[0]
        self.assertEqual(self.client_rect(panel)[:2], (16, 9), "the panel's place")

    def child_windows(self, cls: str, text: str, visible: bool = False) -> list[int]:
        _, out = self.env.probe("children", self.main)
        found = [int(line.split()[0]) for line in out.splitlines()
                 if line.split()[1:2] == [cls] and line.endswith(f'"{text}"')]
        if visible:
            found = [hwnd for hwnd in found if self.env.probe_value("visible", hwnd) == "1"]
        return found

    def client_rect(self, hwnd: int) -> tuple[int, int, int, int]:
        """A child window's place and size in the main window's client pixels."""
        left, top, *_ = self.env.rect(self.main)
        x, y, width, height, _, _ = self.env.rect(hwnd)
        return x - left, y - top, width, height

    def panel_controls(self, cls: str, text: str) -> dict[str, tuple[int, int, int, int]]:
        """The panel's three controls of a kind, top to bottom as IE, Chrome, Firefox, where they really are."""
        rects = sorted((self.client_rect(hwnd) for hwnd in self.child_windows(cls, text)), key=lambda r: r[1])
        self.assertEqual(len(rects), 3, f"three {cls} controls in the panel")
        return dict(zip(ROWS, rects))

    def alpha(self, hwnd: int) -> str:
        return self.env.probe_value("alpha", hwnd)

    def wait_values(self, read, expected: dict, what: str) -> None:
        """Waits until ``read`` of every window named in ``expected`` gives its value; fails showing all of them."""
        seen: dict = {}

        def reached():
            nonlocal seen
            seen = {name: read(hwnd) for name, (hwnd, _) in expected.items()}
            return seen == {name: value for name, (_, value) in expected.items()}

        try:
            wait_until(reached, harness.EVENT_TIMEOUT, what)
        except TimeoutError:
            self.assertEqual(seen, {name: value for name, (_, value) in expected.items()}, what)


class Sliders(AppearanceCase):
    def arrow_and_track_points(self, rect) -> dict[str, tuple[int, int]]:
        x, y, width, height = rect
        middle = y + height // 2
        # The arrows are at the ends; the track between them, left of the thumb that starts at the right end.
        return {"left arrow": (x + 4, middle), "right arrow": (x + width - 5, middle),
                "track": (x + width // 2, middle)}

    def test_the_panels_controls_are_where_they_are_laid_out(self):
        self.launch()
        self.open_panel()
        with self.subTest("sliders"):
            self.assertEqual(self.panel_controls("ScrollBar", ""), SLIDERS)
        with self.subTest("pin boxes"):
            self.assertEqual(self.panel_controls("Button", PIN_CAPTION), PIN_BOXES)

    def test_a_click_on_an_arrow_or_the_track_sets_that_browsers_alpha_to_the_sliders_value(self):
        browsers = self.start_browsers([(IE, 2), (CHROME, 3), (FIREFOX, 2)])
        self.launch()
        self.open_panel()
        sliders = self.panel_controls("ScrollBar", "")
        expected = {w.label: (w.hwnd, "none") for w in browsers.windows} | {"Vask F5": (self.main, "none")}
        value = dict.fromkeys(ROWS, SLIDER_MAX)
        for row in ROWS:
            points = self.arrow_and_track_points(sliders[row])
            for step, part in enumerate(("left arrow", "left arrow", "track", "right arrow")):
                with self.subTest(slider=row, step=step, click=part):
                    target = browsers.zorder(CLASS_OF[row])[0]
                    value[row] += 1 if part == "right arrow" else -1
                    self.click(points[part])
                    expected[target.label] = (target.hwnd, str(value[row]))
                    self.wait_values(self.alpha, expected, f"alphas after the {row} slider's {part}")

    def test_with_its_browser_absent_a_slider_acts_on_the_programs_own_window(self):
        # An editor built on Chrome's window class is not Chrome: Chrome counts as absent.
        browsers = self.start_browsers([(CHROME, 1)], image="Code.exe")
        editor = browsers.windows[0]
        self.launch()
        self.open_panel()
        sliders = self.panel_controls("ScrollBar", "")
        # A different number of clicks on each, so that each slider leaves its own value on the window.
        for row, clicks in (("ie", 1), ("chrome", 2), ("firefox", 3)):
            with self.subTest(slider=row):
                x, y, _, height = sliders[row]
                for _ in range(clicks):
                    self.click((x + 4, y + height // 2))
                expected = {"Vask F5": (self.main, str(SLIDER_MAX - clicks)), "editor": (editor.hwnd, "none")}
                self.wait_values(self.alpha, expected, f"alphas after the {row} slider")

    def test_dragging_the_thumb_changes_nothing_until_it_is_let_go(self):
        browsers = self.start_browsers([(IE, 1)])
        ie = browsers.windows[0]
        self.launch()
        self.open_panel()
        x, y, width, height = self.panel_controls("ScrollBar", "")["ie"]
        left, top, *_ = self.env.rect(self.main)
        middle = y + height // 2
        # The thumb starts at the right end, next to the right arrow (both about 16 pixels wide here).
        grip = x + width - 26
        before = self.env.grab(left + x, top + y, width, height, origin=(x, y))
        try:
            self.env.xdotool("mousemove", "--window", self.xid, grip, middle, "sleep", harness.HOLD, "mousedown", 1)
            for to in range(grip - 5, grip - 41, -5):
                self.env.xdotool("sleep", 0.03, "mousemove", "--window", self.xid, to, middle)

            # The thumb follows the pointer: once it is drawn over the track's left half, the moves have arrived.
            def thumb_moved():
                now = self.env.grab(left + x, top + y, width, height, origin=(x, y))
                return any(now.at(px, py) != before.at(px, py)
                           for px in range(x + 20, x + width // 2) for py in range(y, y + height))

            wait_until(thumb_moved, harness.EVENT_TIMEOUT, "the thumb to follow the pointer")
            # Proving an absence: watch for a moment while the button is still held.
            time.sleep(harness.SETTLE_SECONDS)
            self.assertEqual((self.alpha(ie.hwnd), self.alpha(self.main)), ("none", "none"), "while dragging")
        finally:
            self.env.xdotool("mouseup", 1)
        self.env.xdotool("mousemove", *PARK)

        def set_alpha():
            alpha = self.alpha(ie.hwnd)
            return alpha if alpha != "none" else None

        let_go = wait_until(set_alpha, harness.EVENT_TIMEOUT, "IE's alpha after letting go")
        self.assertLess(int(let_go), SLIDER_MAX, "the value where the thumb was let go, left of the right end")
        self.assertEqual(self.alpha(self.main), "none", "the program's own window is left alone")


class DigitKeys(AppearanceCase):
    def test_digit_keys_on_the_window_set_its_own_alpha(self):
        self.launch()
        self.env.turn_numlock_on()
        self.env.focus(self.main)
        for key, alpha in (("1", 40), ("KP_1", 25), ("0", 255), ("7", 190), ("KP_9", 225)):
            with self.subTest(key=key):
                self.env.press(key)
                self.wait_values(self.alpha, {"Vask F5": (self.main, str(alpha))}, f"the alpha after {key}")

    def test_alt_with_a_digit_acts_as_the_digit(self):
        # Alt+F4 still ends the program: test_refresh types it.
        self.launch()
        self.env.turn_numlock_on()
        self.env.focus(self.main)
        for key, alpha in (("3", 120), ("KP_2", 50), ("0", 255)):
            with self.subTest(key=f"Alt+{key}"):
                self.env.combo("alt", key)
                self.wait_values(self.alpha, {"Vask F5": (self.main, str(alpha))}, f"the alpha after Alt+{key}")

    def test_digit_keys_do_nothing_while_the_hidden_list_has_the_focus(self):
        self.launch()
        self.env.turn_numlock_on()
        self.env.focus(self.main)
        self.env.press("2")
        self.wait_values(self.alpha, {"Vask F5": (self.main, "80")}, "the alpha after 2")

        with self.subTest("one tab: the keys do nothing"):
            for key in ("Tab", "1", "KP_1", "9"):
                self.env.press(key)
            # Input is handled in the order it came: once the click that follows has ticked IE, the keys before it
            # have been handled. The click also gives the focus back to the window's surface.
            self.click(IE_TILE_CLICK)
            wait_until(lambda: self.env.reg_read() == ("REG_SZ", "ie,chrome,autorefresh,"), harness.EVENT_TIMEOUT,
                       "the click on IE to be stored")
            self.assertEqual(self.alpha(self.main), "80")

        with self.subTest("a second tab: the keys work again"):
            self.env.focus(self.main)
            for key in ("Tab", "Tab", "1"):
                self.env.press(key)
            self.wait_values(self.alpha, {"Vask F5": (self.main, "40")}, "the alpha after two tabs and 1")


class PinBoxes(AppearanceCase):
    """Each case keeps the expected state of every fake browser window: a click on any box applies all three rows
    again, in the order IE, Chrome, Firefox, each on the window that row acts on at the moment of the click."""

    def targets(self, groups) -> dict[str, harness.FakeWindow | None]:
        """The window each row acts on now: the browser's frontmost frame (not a popup, helper or floating video)."""
        ours = {w.hwnd: w for group in groups for w in group.windows if w.role == "frame"}
        found = {}
        for row in ROWS:
            front_to_back = [ours[hwnd] for hwnd in self.env.find(CLASS_OF[row]) if hwnd in ours]
            found[row] = front_to_back[0] if front_to_back else None
        return found

    def topmost(self, hwnd: int) -> bool:
        return self.env.probe_value("topmost", hwnd) == "1"

    def click_box(self, row: str, groups, boxes: dict, pinned: dict) -> None:
        """Clicks a pin box and updates ``boxes`` and the expected ``pinned`` state of the fake windows."""
        targets = self.targets(groups)
        x, y, _, height = self.boxes[row]
        self.click((x + 7, y + height // 2))
        boxes[row] = not boxes[row]
        for name, window in targets.items():
            if window is not None:
                pinned[window.label] = boxes[name]

    def assert_pinned(self, groups, pinned: dict, what: str) -> None:
        # Owned popups are left out: the window manager pins them with their owner (and Wine does not release them
        # with it), whatever the program does.
        windows = [w for group in groups for w in group.windows if w.role not in ("popup", "hidden-popup")]
        self.wait_values(self.topmost, {w.label: (w.hwnd, pinned[w.label]) for w in windows}, what)

    def start(self, browsers_wanted):
        browsers = self.start_browsers(browsers_wanted)
        self.launch()
        self.open_panel()
        self.boxes = self.panel_controls("Button", PIN_CAPTION)
        return browsers

    def test_a_ticked_box_pins_its_browser_and_a_clear_box_releases_it(self):
        # Two Chrome frames: the box releases the very frame it pinned, the frontmost, which pinning kept in front.
        groups = [self.start([(IE, 1), (CHROME, 2), (FIREFOX, 1)])]
        boxes = dict.fromkeys(ROWS, False)
        # Firefox's floating video is on top by itself, and stays so: it is not Firefox's frame.
        pinned = {w.label: w.role == "pip" for w in groups[0].windows}
        self.assert_pinned(groups, pinned, "nothing but the floating video on top at the start")
        for step, row in enumerate(("ie", "chrome", "firefox", "ie", "chrome", "firefox")):
            with self.subTest(step=step, box=row, ticked_before=boxes[row]):
                self.click_box(row, groups, boxes, pinned)
                self.assert_pinned(groups, pinned, f"after the {row} box")

    def test_a_clear_box_releases_a_browser_pinned_by_someone_else(self):
        groups = [self.start([(IE, 1), (CHROME, 2), (FIREFOX, 1)])]
        for window in groups[0].windows:
            self.env.probe("pin", window.hwnd, check=True)
        boxes = dict.fromkeys(ROWS, False)
        pinned = {w.label: True for w in groups[0].windows}
        self.assert_pinned(groups, pinned, "everything pinned by the probe")
        for step, row in enumerate(("ie", "ie")):
            with self.subTest(step=step, box=row, ticked_before=boxes[row]):
                self.click_box(row, groups, boxes, pinned)
                self.assert_pinned(groups, pinned, f"after the {row} box")

    def test_a_browser_started_later_is_pinned_only_at_the_next_click(self):
        groups = [self.start([(IE, 1)])]
        ie = groups[0].windows[0]
        self.env.probe("pin", ie.hwnd, check=True)
        boxes = dict.fromkeys(ROWS, False)
        pinned = {ie.label: True}
        # Ticking Firefox's box while no Firefox runs; IE's clear box releases IE, which shows the click was handled.
        self.click_box("firefox", groups, boxes, pinned)
        self.assert_pinned(groups, pinned, "after the Firefox box, with no Firefox running")

        groups.append(self.start_browsers([(FIREFOX, 1)], name="later"))
        firefox = groups[1].windows[0]
        pinned |= {w.label: w.role == "pip" for w in groups[1].windows}
        # Proving an absence: nothing in the program looks for browsers until a box is clicked.
        groups[1].settle()
        self.assert_pinned(groups, pinned, "when Firefox appears")

        # Both boxes are ticked now: IE is pinned again, and Firefox, found at this click, too.
        self.click_box("ie", groups, boxes, pinned)
        self.assert_pinned(groups, pinned | {ie.label: True, firefox.label: True}, "after a click on IE's box")


if __name__ == "__main__":
    unittest.main()
