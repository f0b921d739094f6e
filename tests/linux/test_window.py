"""vaskf5 on X11 with openbox: what it draws, what clicks store, dragging, the settings panel, minimising and
restoring, ending it, a second copy, its own opacity and its pictures at 2x.

The real program is driven through the X server (xdotool) and observed from outside: pixels of the screen, the
settings file, and the window's place, state and properties as the window manager sees them.
"""

from __future__ import annotations

import unittest

from harness import OUT, PICTURES, REPO, ProgramCase, Region, picture, stop_display, wait_until
from xharness import (AUTO_LABEL_CLICK, BACKGROUND, CLOSE_CLICK, EXIT_CLICK, MINIMISE_CLICK, PANEL_BACKGROUND,
                      PANEL_CLOSE_CLICK, PIN_BOX, PIN_BOX_AREA, SLIDER_THUMB,
                      SLIDER_TRACK, TICK_ORIGIN, TILE_CLICK)

TICK_BLUE = (9, 74, 178)
STORE_ORDER = ("ie", "chrome", "firefox", "opera", "autorefresh")

# The row of browser tiles, which nothing but a tick overlay covers: x, y, width, height at scale 1.
TILE_ROW = (30, 70, 360, 75)


def stored(*ticked: str) -> str:
    """The selection text the program stores for a set of ticked choices."""
    return "".join(token + "," for token in STORE_ORDER if token in ticked)


def tick_frame(tile: str, scale: int = 1) -> list[tuple[int, int]]:
    """Every pixel of the blue 2-pixel frame the tick overlay draws over a tile (68 pixels square at scale 1)."""
    left, top = (v * scale for v in TICK_ORIGIN[tile])
    size, frame = 68 * scale, 2 * scale
    return [(x, y) for y in range(top, top + size) for x in range(left, left + size)
            if min(x - left, y - top, left + size - 1 - x, top + size - 1 - y) < frame]


def tile_state(pixels: Region, tile: str, scale: int = 1) -> str:
    """'ticked' when the whole frame is the tick's blue, 'clear' when none of it is, else what was seen."""
    frame = tick_frame(tile, scale)
    blue = pixels.count(frame, TICK_BLUE)
    if blue == len(frame):
        return "ticked"
    return "clear" if blue == 0 else f"{blue} of {len(frame)} frame pixels blue"


def mismatches(pixels: Region, expected: Region, box: tuple[int, int, int, int], skip=()) -> int:
    """How many pixels of a box differ between two images of the same size (points in ``skip`` ignored)."""
    x0, y0, width, height = box
    skipped = set(skip)
    return sum(1 for y in range(y0, y0 + height) for x in range(x0, x0 + width)
               if (x, y) not in skipped and pixels.at(x, y) != expected.at(x, y))


class FirstStart(ProgramCase):
    def test_a_first_start_ticks_chrome_and_draws_the_skin_as_the_windows_program_does(self):
        program = self.start()
        self.assertEqual(program.size(), (416, 217))
        pixels = program.grab(keep=OUT / "first-start.png")
        self.assertEqual({tile: tile_state(pixels, tile) for tile in TILE_CLICK},
                         {"chrome": "ticked", "ie": "clear", "firefox": "clear", "opera": "clear"})
        # The tiles and the tick come from the same pictures as on Windows, drawn unscaled: the row matches the
        # Windows program's screenshot pixel for pixel.
        windows = picture(REPO / "docs" / "screenshot.png")
        self.assertEqual(mismatches(pixels, windows, TILE_ROW), 0)
        self.assertIsNone(self.stored(), "the first-start default is not stored")

    def test_the_window_is_borderless_above_others_and_has_no_taskbar_entry(self):
        program = self.start()
        state = program.prop("_NET_WM_STATE")
        self.assertIn("_NET_WM_STATE_ABOVE", state)
        self.assertIn("_NET_WM_STATE_SKIP_TASKBAR", state)
        self.assertIn("Vask F5", program.prop("WM_NAME"))


class Selection(ProgramCase):
    def test_tile_clicks_write_the_selection_as_on_windows(self):
        program = self.start()
        steps = [
            (TILE_CLICK["firefox"], stored("chrome", "firefox", "autorefresh")),
            (TILE_CLICK["chrome"], stored("firefox", "autorefresh")),
            (TILE_CLICK["ie"], stored("ie", "firefox", "autorefresh")),
            (AUTO_LABEL_CLICK, stored("ie", "firefox")),
            (TILE_CLICK["firefox"], stored("ie")),
        ]
        for point, expected in steps:
            program.click(*point)
            wait_until(lambda: self.stored() == expected, f"the store to hold {expected!r} (it holds {self.stored()!r})")
        pixels = program.grab()
        self.assertEqual({tile: tile_state(pixels, tile) for tile in TILE_CLICK},
                         {"chrome": "clear", "ie": "ticked", "firefox": "clear", "opera": "clear"})

    def test_ticking_opera_says_it_is_not_supported_in_a_message_over_the_window_and_stores_it(self):
        program = self.start()
        program.click(*TILE_CLICK["opera"])
        message = wait_until(lambda: program.windows_of_type("DIALOG"), "the Opera message")[0]
        self.assertIn(f"0x{int(program.xid):x}", program.display.run("xprop", "-id", message, "WM_TRANSIENT_FOR"))
        program.display.xdotool("windowactivate", "--sync", message, "key", "Return")
        wait_until(lambda: not program.windows_of_type("DIALOG"), "the message closed by its OK button")
        wait_until(lambda: self.stored() == stored("chrome", "opera", "autorefresh"), "Opera stored")

    def test_a_stored_selection_is_restored_and_rewritten_at_start(self):
        self.store("[Refresh]\nApps=firefox,\n")
        program = self.start()
        pixels = program.grab()
        self.assertEqual({tile: tile_state(pixels, tile) for tile in TILE_CLICK},
                         {"chrome": "clear", "ie": "clear", "firefox": "ticked", "opera": "clear"})
        self.assertEqual(self.stored(), stored("firefox"))

    def test_a_garbled_settings_file_counts_as_a_first_start_and_is_replaced_at_the_next_change(self):
        self.store("\x00\x01 not a key file [[[")
        program = self.start()
        self.assertEqual(tile_state(program.grab(), "chrome"), "ticked")
        program.click(*TILE_CLICK["ie"])
        wait_until(lambda: self.stored() == stored("ie", "chrome", "autorefresh"), "the file to be replaced")


class MovingAndPanel(ProgramCase):
    def test_dragging_the_background_or_the_open_panel_moves_the_window_by_exactly_the_distance(self):
        program = self.start()
        for start, by in ((BACKGROUND, (37, 23)), (BACKGROUND, (-52, 11))):
            before = program.origin()
            program.drag(start, by)
            expected = (before[0] + by[0], before[1] + by[1])
            wait_until(lambda: program.origin() == expected, f"the window at {expected} (it is at {program.origin()})")
        program.display.open_panel(program.xid)
        before = program.origin()
        program.drag(PANEL_BACKGROUND, (25, -30))
        expected = (before[0] + 25, before[1] - 30)
        wait_until(lambda: program.origin() == expected, f"the window at {expected} (it is at {program.origin()})")

    def test_the_window_opens_where_it_was_left_and_centred_on_the_work_area_when_the_stored_place_is_unusable(self):
        program = self.start()
        before = program.origin()
        program.drag(BACKGROUND, (-150, 90))
        left_at = (before[0] - 150, before[1] + 90)
        wait_until(lambda: self.stored("Position") == f"{left_at[0]},{left_at[1]}", f"the place {left_at} stored")
        program.key("Escape")
        program.wait_ended("the program to end after Esc")
        self.assertEqual(self.start().origin(), left_at)
        self.stop_programs()

        x, y, width, height = (int(v) for v in self.display.run("xprop", "-root", "_NET_WORKAREA")
                               .partition("=")[2].split(",")[:4])
        centred = (x + (width - 416) // 2, y + (height - 217) // 2)
        for garbage in ("garbage", "12", "12,", "x,40", "99999999999,5", "5000,5000"):
            with self.subTest(position=garbage):
                self.store(f"[Refresh]\nApps=chrome,\nPosition={garbage}\n")
                self.assertEqual(self.start().origin(), centred)
                self.stop_programs()

    def test_the_settings_panel_opens_over_the_tiles_and_closes_again(self):
        program = self.start()
        program.display.open_panel(program.xid)
        self.assertEqual(tile_state(program.grab(), "chrome"), "clear", "the panel covers the tiles")
        program.click(*PANEL_CLOSE_CLICK)
        wait_until(lambda: tile_state(program.grab(), "chrome") == "ticked", "the tiles again")

    def test_a_pin_box_toggles_on_a_click_and_on_space_and_back_on_the_next(self):
        program = self.start()
        program.display.open_panel(program.xid)

        def mark() -> bytes:
            x, y, width, height = PIN_BOX_AREA
            pixels = program.grab()
            return bytes(v for row in range(y, y + height) for col in range(x, x + width) for v in pixels.at(col, row))

        def settled_change(before: bytes, what: str) -> bytes:
            """The box's look once it has changed from ``before`` and stays so (hover and focus effects fade)."""
            seen = [mark()]

            def settled():
                seen.append(mark())
                return seen[-1] != before and seen[-1] == seen[-2] and seen[-1]
            return wait_until(settled, what, interval=0.2)

        unticked = mark()
        program.click(*PIN_BOX["ie"])
        ticked = settled_change(unticked, "the box ticked by a click")
        # The click gave the box the focus; once a key is used GTK draws its focus ring, in either state.
        program.key("space")
        cleared = settled_change(ticked, "the box cleared by Space")
        program.key("space")
        ticked_with_ring = settled_change(cleared, "the box ticked again by Space")
        program.click(*PIN_BOX["ie"])
        self.assertEqual(settled_change(ticked_with_ring, "the box cleared again by a click"), cleared)

    def test_a_click_on_a_slider_track_changes_the_windows_opacity_once_and_a_dragged_thumb_only_when_let_go(self):
        # No browser is found yet on Linux, so the sliders act on the program's own window.
        program = self.start()
        program.display.open_panel(program.xid)
        program.click(*SLIDER_TRACK["firefox"])
        wait_until(lambda: program.opacity() == 254, "opacity 254 after one click on the track")
        x0, y0 = program.origin()
        thumb = (x0 + SLIDER_THUMB["firefox"][0] - 1, y0 + SLIDER_THUMB["firefox"][1])
        program.display.xdotool("mousemove", *thumb, "sleep", 0.1, "mousedown", 1, "sleep", 0.1,
                                "mousemove", thumb[0] - 40, thumb[1], "sleep", 0.3)
        self.assertEqual(program.opacity(), 254, "nothing changes while the thumb is dragged")
        program.display.xdotool("mouseup", 1)
        wait_until(lambda: program.opacity() < 254, "a lower opacity once the thumb is let go")


class WindowState(ProgramCase):
    def test_the_minimise_mark_shows_its_tool_tip_on_hover(self):
        program = self.start()
        program.hover(*MINIMISE_CLICK)
        wait_until(lambda: program.windows_of_type("TOOLTIP"), "a tool tip")
        program.park_pointer()
        wait_until(lambda: not program.windows_of_type("TOOLTIP"), "the tool tip gone with the pointer")

    def test_minimising_gives_a_taskbar_entry_until_the_window_manager_restores_it(self):
        program = self.start()
        ways = {
            "the minimise mark": lambda: program.click(*MINIMISE_CLICK),
            "the window manager": lambda: program.display.xdotool("windowminimize", program.xid),
        }
        for way, minimise in ways.items():
            with self.subTest(way):
                minimise()
                wait_until(lambda: "Iconic" in program.prop("WM_STATE"), f"the window minimised by {way}")
                wait_until(lambda: "_NET_WM_STATE_SKIP_TASKBAR" not in program.prop("_NET_WM_STATE"),
                           "a taskbar entry while minimised")
                program.display.xdotool("windowactivate", program.xid)
                wait_until(lambda: "Normal" in program.prop("WM_STATE"), "the window restored")
                wait_until(lambda: "_NET_WM_STATE_SKIP_TASKBAR" in program.prop("_NET_WM_STATE"),
                           "no taskbar entry again")
                self.assertEqual(tile_state(program.grab(), "chrome"), "ticked")

    def test_digit_keys_set_the_windows_own_opacity(self):
        program = self.start()
        for key, alpha in (("1", 40), ("KP_1", 25), ("9", 220), ("0", 255)):
            program.key(key)
            wait_until(lambda: program.opacity() == alpha, f"opacity {alpha} after {key}")

    def test_a_second_copy_ends_at_once_and_leaves_the_first_running(self):
        first = self.start()
        second = self.run_second_copy()
        self.assertEqual(second.returncode, 0)
        self.assertIsNone(first.process.poll())
        self.assertEqual(len(first.display.xdotool("search", "--name", "^Vask F5$").split()), 1)


class Ending(ProgramCase):
    def test_esc_the_close_mark_exit_and_the_window_managers_close_each_end_the_program(self):
        ways = {
            "Esc": lambda program: program.key("Escape"),
            "the close mark": lambda program: program.click(*CLOSE_CLICK),
            "Exit": lambda program: program.click(*EXIT_CLICK),
            "the window manager's close (Alt+F4)": lambda program: program.key("alt+F4"),
        }
        for way, end in ways.items():
            with self.subTest(way):
                program = self.start()
                end(program)
                self.assertEqual(program.wait_ended(f"the program to end after {way}"), 0)

    def test_esc_does_nothing_while_tab_has_moved_the_focus_to_the_unseen_list(self):
        program = self.start()
        program.key("Tab")
        program.key("Escape")
        program.key("1")
        wait_until(lambda: program.process.poll() is None and program.opacity() == 255, "the program untouched")
        program.key("Tab")
        program.key("Escape")
        self.assertEqual(program.wait_ended("the program to end after Tab back and Esc"), 0)


class DoubleScale(ProgramCase):
    def test_at_scale_2_the_window_doubles_and_draws_the_2x_pictures_pixel_for_pixel(self):
        program = self.start(GDK_SCALE="2")
        self.assertEqual(program.size(), (832, 434))
        pixels = program.grab(keep=OUT / "scale-2.png")
        self.assertEqual(tile_state(pixels, "chrome", 2), "ticked")
        self.assertEqual(tile_state(pixels, "firefox", 2), "clear")
        # Crisp: the skin and the tick are the 2x pictures unscaled, not the 1x ones blown up.
        skin = picture(PICTURES / "skin@2x.png")
        x, y, width, height = TILE_ROW
        box = (2 * x, 2 * y, 2 * width, 2 * height)
        chrome_tick = set(tick_frame("chrome", 2))
        left, top = (2 * v for v in TICK_ORIGIN["chrome"])
        tick_area = {(px, py) for py in range(top, top + 136) for px in range(left, left + 136)}
        self.assertEqual(mismatches(pixels, skin, box, skip=chrome_tick | tick_area), 0)


tearDownModule = stop_display

if __name__ == "__main__":
    unittest.main()
