# Vask F5 under Wine: sliders and digit keys make windows translucent, pin boxes keep browsers on top; both are
# read back from another process (without a compositor translucency is not visible on the screen).

import time
import unittest

from xharness import PIN_BOX, TILE_CLICK

from vask import CHROME, FIREFOX, IE, SLIDERS, WineCase
from vask.browsers import SETTLE_SECONDS
from vask.wine import PARK

ROWS = {"ie": IE, "chrome": CHROME, "firefox": FIREFOX}
SLIDER_MAX = 255


class Sliders(WineCase):
    def test_a_click_on_an_arrow_or_the_track_sets_its_browsers_alpha_or_without_one_the_programs_own(self):
        # An editor built on Chrome's window class is not Chrome: Chrome counts as absent.
        editor = self.start_browsers([(CHROME, 1)], name="editor", image="Code.exe").windows[0]
        self.launch()
        self.open_panel()
        values = dict.fromkeys(SLIDERS, SLIDER_MAX)
        x, y, _, height = SLIDERS["chrome"]
        self.click((x + 4, y + height // 2))
        values["chrome"] -= 1
        self.wait_windows("alpha", {"Vask F5": (self.main, "254"), "editor": (editor.hwnd, "none")},
                          "alphas after the Chrome slider")
        browsers = self.start_browsers([(IE, 2), (CHROME, 3), (FIREFOX, 2)])
        expected = {w.label: (w.hwnd, "none") for w in browsers.windows} | {
            "Vask F5": (self.main, "254"), "editor": (editor.hwnd, "none")}
        for row, (x, y, width, height) in SLIDERS.items():
            # The arrows are at the ends; the track between them, left of the thumb.
            for step, (part, point, change) in enumerate((("left arrow", x + 4, -1), ("left arrow", x + 4, -1),
                                                          ("track", x + width // 2, -1),
                                                          ("right arrow", x + width - 5, 1))):
                with self.subTest(slider=row, step=step, click=part):
                    target = browsers.zorder(ROWS[row])[0]
                    values[row] += change
                    self.click((point, y + height // 2))
                    expected[target.label] = (target.hwnd, str(values[row]))
                    self.wait_windows("alpha", expected, f"alphas after the {row} slider's {part}")

    def test_dragging_the_thumb_changes_nothing_until_it_is_let_go(self):
        ie = self.start_browsers([(IE, 1)]).windows[0]
        self.launch()
        self.open_panel()
        x, y, width, height = SLIDERS["ie"]
        left, top = self.env.rect(self.main)[:2]
        middle, grip = y + height // 2, x + width - 26  # the thumb starts at the right end, next to the arrow
        display = self.env.display
        before = display.grab(left + x, top + y, width, height)
        try:
            display.drag(self.xid, (grip, middle), (-35, 0), steps=7, release=False)

            def thumb_moved():  # once the thumb is drawn over the track's left half, the moves have arrived
                now = display.grab(left + x, top + y, width, height)
                return any(now.at(px, py) != before.at(px, py) for px in range(20, width // 2) for py in range(height))

            self.wait_for(thumb_moved, "the thumb to follow the pointer")
            time.sleep(SETTLE_SECONDS)  # proving an absence while the button is still held
            self.assertEqual((self.env.value("alpha", ie.hwnd), self.env.value("alpha", self.main)), ("none", "none"))
        finally:
            display.xdotool("mouseup", 1, "mousemove", *PARK)
        let_go = self.wait_for(lambda: self.env.value("alpha", ie.hwnd) != "none" and self.env.value("alpha", ie.hwnd),
                               "IE's alpha after letting go")
        self.assertLess(int(let_go), SLIDER_MAX, "the value where the thumb was let go, left of the right end")
        self.assertEqual(self.env.value("alpha", self.main), "none", "the program's own window is left alone")

    def test_digit_keys_alone_or_with_alt_set_the_windows_own_alpha_except_while_the_hidden_list_has_the_focus(self):
        self.launch()
        display = self.env.display
        display.tap("Num_Lock")  # on, in this fresh X server: numeric-pad keys then arrive as digits
        self.env.focus(self.main)
        # With Alt too, a digit acts as itself (Alt+F4 still ends the program: test_window types it).
        for key, alpha in (("1", 40), ("KP_1", 25), ("0", 255), ("7", 190), ("KP_9", 225), ("alt+3", 120),
                           ("alt+KP_2", 50), ("2", 80)):
            with self.subTest(key=key):
                display.tap(*key.split("+"))
                self.wait_windows("alpha", {"Vask F5": (self.main, str(alpha))}, f"the alpha after {key}")
        with self.subTest("one tab: the keys do nothing"):
            for key in ("Tab", "1", "KP_1", "9"):
                display.tap(key)
            # Input is handled in order: once the click that follows is stored, the keys before it were handled.
            # The click also gives the focus back to the window's surface.
            self.click(TILE_CLICK["ie"])
            self.wait_for(self.env.reg_read, "the click on IE to be stored", ("REG_SZ", "ie,chrome,autorefresh,"))
            self.assertEqual(self.env.value("alpha", self.main), "80")
        with self.subTest("a second tab: the keys work again"):
            self.env.focus(self.main)
            for key in ("Tab", "Tab", "1"):
                display.tap(key)
            self.wait_windows("alpha", {"Vask F5": (self.main, "40")}, "the alpha after two tabs and 1")


class PinBoxes(WineCase):
    def test_a_ticked_box_pins_its_browser_and_a_clear_box_releases_it_whoever_pinned_it(self):
        # A click on any box applies all three rows again, each on its browser's frontmost frame at that moment
        # (not a popup, helper or floating video). Two Chrome frames: the box releases the very frame it pinned,
        # the frontmost, which pinning kept in front.
        browsers = self.start_browsers([(IE, 1), (CHROME, 2), (FIREFOX, 1)])
        self.launch()
        self.open_panel()
        ie = browsers.zorder(IE)[0]
        self.env.probe("pin", ie.hwnd)  # pinned by somebody else
        boxes = dict.fromkeys(ROWS, False)
        # Firefox's floating video is on top by itself, and stays so: it is not Firefox's frame.
        pinned = {w.hwnd: w.role == "pip" or w == ie for w in browsers.windows}
        for step, row in enumerate((None, "chrome", "ie", "firefox", "chrome")):
            with self.subTest(step=step, box=row):
                if row:
                    targets = {name: browsers.zorder(cls)[0].hwnd for name, cls in ROWS.items()}
                    self.click(PIN_BOX[row])
                    boxes[row] = not boxes[row]
                    pinned |= {hwnd: boxes[name] for name, hwnd in targets.items()}
                # Owned popups are left out: the window manager pins them with their owner, whatever the program does.
                self.wait_windows("topmost", {w.label: (w.hwnd, str(int(pinned[w.hwnd]))) for w in browsers.windows
                                              if w.role not in ("popup", "hidden-popup")}, f"at step {step}")


if __name__ == "__main__":
    unittest.main()
