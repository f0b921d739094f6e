# Vask F5 under Wine: its window, driven through the X server at a person's speed and observed from outside: the
# pixels, the stored selection, its styles and place as another process sees them.

import subprocess
import unittest

from xharness import AUTO_LABEL_CLICK, BACKGROUND, CLOSE_CLICK, MINIMISE_CLICK, PANEL_CLOSE_CLICK, REPO, TILE_CLICK

from vask import AUTO_TICK, CHROME, PANEL_PLACE, WineCase
from vask.case import PANEL
from vask.wine import PARK

TICK_BLUE, AUTO_GREY, WHITE = (9, 74, 178), (89, 89, 89), (255, 255, 255)
# The layout is kept in twips, 1440 to the inch (15 to a pixel at 96 dpi): the client area, and the tick overlay's
# place over each tile; the overlay picture is 68 pixels square at 96 dpi with a 2-pixel blue frame.
CLIENT_TWIPS = (6240, 3255)
TICK_LEFT_TWIPS = {"chrome": 530, "ie": 1890, "firefox": 3270, "opera": 4640}
TICK_TOP_TWIPS, TICK_SIZE, TICK_FRAME = 1110, 68, 2
# The automatic-refresh tick: the 11x11 square it fills, and the part where its tick is drawn.
AUTO_BOX = [(x, y) for y in range(177, 188) for x in range(40, 51)]
AUTO_TICK_AREA = {(x, y) for y in range(179, 186) for x in range(42, 49)}
WS_EX_TOPMOST, WS_EX_TOOLWINDOW, WS_EX_APPWINDOW = 0x8, 0x80, 0x40000
WM_SYSCOMMAND, SC_MINIMIZE, SC_RESTORE, WM_CANCELMODE = 0x0112, 0xF020, 0xF120, 0x001F


def mul_div(number: int, numerator: int, denominator: int) -> int:  # Windows' MulDiv, rounded half up
    return (number * numerator * 2 + denominator) // (denominator * 2)


def centred() -> tuple[int, int]:  # without a task bar the work area is the whole 1280x800 test display
    width, height = (mul_div(twips, 96, 1440) for twips in CLIENT_TWIPS)
    return (1280 - width) // 2, (800 - height) // 2


def stored(ticked) -> tuple[str, str]:
    return "REG_SZ", "".join(f"{t}," for t in ("ie", "chrome", "firefox", "opera", "autorefresh") if t in ticked)


def tick_origin(tile: str, dpi: int = 96) -> tuple[int, int]:
    return mul_div(TICK_LEFT_TWIPS[tile], dpi, 1440), mul_div(TICK_TOP_TWIPS, dpi, 1440)


def tile_state(pixels, tile: str, dpi: int = 96) -> str:  # ticked: all the overlay's frame blue; clear: none
    left, top = tick_origin(tile, dpi)
    size, width = mul_div(TICK_SIZE, dpi, 96), TICK_FRAME * dpi // 96
    frame = [(x, y) for y in range(top, top + size) for x in range(left, left + size)
             if min(x - left, y - top, left + size - 1 - x, top + size - 1 - y) < width]
    blue = pixels.count(frame, TICK_BLUE)
    return "ticked" if blue == len(frame) else "clear" if blue == 0 else f"{blue} of {len(frame)} frame pixels blue"


def auto_state(pixels) -> str:  # on: the dark tick drawn in its place in the square; off: the square empty
    colours = {point: pixels.at(*point) for point in AUTO_BOX}
    grey = {point for point, colour in colours.items() if colour == AUTO_GREY}
    others = set(colours.values()) - {WHITE, AUTO_GREY}
    if not others and not grey:
        return "off"
    return "on" if not others and grey <= AUTO_TICK_AREA else f"grey {len(grey)}, other colours {others}"


# Fully opaque pixels of a picture (which any background leaves as they are) not drawn in their own colour when
# the picture is drawn unscaled at ``at``.
def differences_from_picture(pixels, picture: str, at: tuple[int, int]) -> list:
    path = str(REPO / "assets" / "out" / picture)
    width = int(subprocess.run(["identify", "-format", "%w", path], check=True, capture_output=True).stdout)
    data = subprocess.run(["convert", path, "-depth", "8", "rgba:-"], check=True, capture_output=True).stdout
    opaque = {(i % width, i // width): tuple(data[4 * i:4 * i + 3]) for i in range(len(data) // 4)
              if data[4 * i + 3] == 255}
    return [(point, colour) for point, colour in opaque.items()
            if pixels.at(at[0] + point[0], at[1] + point[1]) != colour]


class WindowCase(WineCase):
    def place(self) -> tuple[int, int]:
        return self.env.rect(self.main)[:2]

    def wait_drawn(self, expected: dict[str, str], what: str, dpi: int = 96, keep: str | None = None):
        # Tiles and the automatic-refresh tick ("auto") as drawn; returns the client area's pixels.
        def seen():
            x, y, _, _, width, height = self.env.rect(self.main)
            self.pixels = self.env.display.grab(x, y, width, height, keep=self.out / keep if keep else None)
            return {name: auto_state(self.pixels) if name == "auto" else tile_state(self.pixels, name, dpi)
                    for name in expected}

        self.wait_for(seen, what, expected)
        return self.pixels


class Clicks(WindowCase):
    def test_the_first_start_draws_chrome_ticked_and_clicks_tick_untick_and_store_opera_warns(self):
        self.launch()
        self.assertEqual(self.env.rect(self.main), (*centred(), 416, 217, 416, 217), "centred, at its size at 96 dpi")
        pixels = self.wait_drawn({"chrome": "ticked", "ie": "clear", "firefox": "clear", "opera": "clear",
                                  "auto": "on"}, "the first start's drawing", keep="first-start.png")
        differences = differences_from_picture(pixels, "tick.png", tick_origin("chrome"))
        self.assertEqual(differences[:5], [], f"{len(differences)} pixels of the tick picture differ")
        # The picture of the program in the README: the window alone, as a first start draws it.
        self.env.display.screenshot(REPO / "docs" / "screenshot.png", (*centred(), 416, 217))
        self.assertIsNone(self.env.reg_read(), "the first start's choice is not stored")
        ticked = {"chrome", "autorefresh"}
        # Which click flips what is main_window_test's table; here each tile once, and Opera both ways.
        for step, tile in enumerate(("ie", "firefox", "chrome", "opera", "opera")):
            with self.subTest(step=step, click=tile, ticked_before=tile in ticked):
                ticked ^= {tile}
                self.click(TILE_CLICK[tile])
                if tile == "opera":  # ticked or not, it is not supported
                    self.dismiss_opera_message()
                self.wait_for(self.env.reg_read, f"the selection after clicking {tile}", stored(ticked))
                expected = {name: "ticked" if name in ticked else "clear" for name in TICK_LEFT_TWIPS}
                self.wait_drawn(expected | {"auto": "on"}, f"after clicking {tile}")
        self.assertEqual(self.program_dialogs(), [], "one message per click")

    def test_at_150_and_200_percent_the_window_and_its_pictures_scale(self):
        # Each Wine process reads the display's dots per inch when it starts, so the value applies to the next
        # program started.
        desktop = r"HKCU\Control Panel\Desktop"
        self.addCleanup(self.env.reg_delete, desktop, "LogPixels")
        for dpi in (144, 192):
            with self.subTest(dpi=dpi):
                self.env.reg_delete()
                self.env.reg_add("REG_DWORD", str(dpi), key=desktop, name="LogPixels")
                self.launch(name=f"vaskf5-{dpi}")
                width, height = (mul_div(twips, dpi, 1440) for twips in CLIENT_TWIPS)
                self.assertEqual(self.env.rect(self.main)[2:], (width, height, width, height), "scaled size")
                pixels = self.wait_drawn({"chrome": "ticked", "ie": "clear"}, f"the first start at {dpi} dpi", dpi,
                                         keep=f"first-start-{dpi}dpi.png")
                if dpi == 192:
                    # At twice the size the double-size picture is drawn unscaled, pixel for pixel.
                    differences = differences_from_picture(pixels, "tick@2x.png", tick_origin("chrome", dpi))
                    self.assertEqual(differences[:5], [], f"{len(differences)} pixels of tick@2x.png differ")
                half = mul_div(TICK_SIZE, dpi, 96) // 2
                self.click(tuple(v + half for v in tick_origin("ie", dpi)))
                self.wait_for(self.env.reg_read, f"a click on IE at {dpi} dpi", stored({"ie", "chrome", "autorefresh"}))
                self.wait_drawn({"chrome": "ticked", "ie": "ticked"}, f"IE ticked at {dpi} dpi", dpi)
                self.stop()

    def test_the_label_and_the_tick_switch_automatic_refresh_and_the_chord_follows(self):
        browsers, pad = self.scene([(CHROME, 2)])
        on = True
        for step, (where, point) in enumerate((("label", AUTO_LABEL_CLICK), ("label", AUTO_LABEL_CLICK),
                                               ("tick", AUTO_TICK), ("label", AUTO_LABEL_CLICK))):
            with self.subTest(step=step, click=where, on_before=on):
                on = not on
                self.click(point)
                self.wait_for(self.env.reg_read, f"the selection after the {where}",
                              stored({"chrome"} | ({"autorefresh"} if on else set())))
                self.wait_drawn({"auto": "on" if on else "off", "chrome": "ticked"}, f"the tick after the {where}")
                self.assert_chord_refreshes(browsers, pad, [browsers.front(CHROME)] if on else [])


class MovingAndPanel(WindowCase):
    def test_a_left_drag_on_the_background_moves_the_window_a_right_drag_does_not_and_the_close_mark_ends_it(self):
        self.launch()
        for by, panel_open in (((60, 40), False), ((-166, -113), False), ((40, 30), True), ((-15, 55), True)):
            with self.subTest(by=by, panel_open=panel_open):
                if panel_open and not self.panel_shown():
                    self.open_panel()
                x, y = self.place()
                self.env.display.drag(self.xid, BACKGROUND, by)
                self.wait_for(self.place, f"the window moved by {by}", (x + by[0], y + by[1]))
                self.assertEqual(self.panel_shown(), panel_open)
        with self.subTest("a right drag"):
            self.click(PANEL_CLOSE_CLICK)
            place = self.place()
            self.env.display.xdotool("mousemove", place[0] + BACKGROUND[0], place[1] + BACKGROUND[1], "sleep", 0.08,
                                     "mousedown", 3, "sleep", 0.08, "mousemove_relative", "--", 90, 70, "sleep", 0.08,
                                     "mouseup", 3)
            # Input is handled in order: once the click that follows is stored, the drag was handled too.
            self.click(TILE_CLICK["ie"])
            self.wait_for(self.env.reg_read, "the click after the drag", stored({"ie", "chrome", "autorefresh"}))
            self.assertEqual(self.place(), place)
        self.click(CLOSE_CLICK)  # Esc: test_reliability's quick starts; the Exit word: main_window_test
        self.assertEqual(self.wait_exit(self.program), 0)

    def test_minimised_it_has_a_taskbar_button_restored_it_is_a_tool_window_with_its_panel_and_alt_f4_ends_it(self):
        self.launch()
        start = self.place()
        restored = ("0", "1", WS_EX_TOOLWINDOW | WS_EX_TOPMOST)  # iconic, visible, styles among the three

        def state():
            style = int(self.env.value("exstyle", self.main)) & (WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_APPWINDOW)
            return self.env.value("iconic", self.main), self.env.value("visible", self.main), style

        self.assertEqual(state(), restored, "at the start: pinned, without a taskbar button")
        self.assertFalse(self.panel_shown(), "the panel is hidden at the start")
        for panel_open in (False, True):
            with self.subTest(panel_open=panel_open):
                if panel_open:
                    self.open_panel()
                    panel = next(hwnd for hwnd, _, *child in self.env.windows("children", self.main)
                                 if tuple(child) == PANEL)
                    x, y, width, height, _, _ = self.env.rect(panel)
                    self.assertEqual((x - start[0], y - start[1], width, height), PANEL_PLACE, "the panel's place")
                    # The panel covers the minimise mark; the taskbar's menu minimises the window instead.
                    self.env.probe("post", self.main, WM_SYSCOMMAND, SC_MINIMIZE, 0)
                else:
                    self.click(MINIMISE_CLICK)
                # Hiding and showing around the style change waits on the desktop: a couple of seconds here.
                self.wait_for(lambda: state()[:2] == ("1", "1") and state()[2] & ~WS_EX_TOPMOST == WS_EX_APPWINDOW,
                              "minimised, still shown, with a taskbar button")
                self.env.probe("post", self.main, WM_SYSCOMMAND, SC_RESTORE, 0)  # a taskbar click
                self.wait_for(state, "restored", restored)
                self.assertEqual(self.place(), start, "back where it was")
                self.assertEqual(self.panel_shown(), panel_open, "the panel as it was")
        self.click(PANEL_CLOSE_CLICK)
        self.click(TILE_CLICK["ie"])
        self.wait_for(self.env.reg_read, "a click after restoring", stored({"ie", "chrome", "autorefresh"}))
        self.env.focus(self.main)
        self.env.display.tap("alt", "F4")
        self.assertEqual(self.wait_exit(self.program), 0)


class RememberedPlace(WindowCase):
    def drag_by(self, by: tuple[int, int]) -> tuple[int, int]:  # where the window is left, once that is stored
        x, y = self.place()
        self.env.display.drag(self.xid, BACKGROUND, by)
        left = (x + by[0], y + by[1])
        self.wait_for(self.place, f"the window moved by {by}", left)
        self.wait_for(lambda: self.env.reg_read(name="Position"), "the place stored at the end of the drag",
                      ("REG_SZ", f"{left[0]},{left[1]}"))
        return left

    def test_a_restart_opens_where_the_window_was_left_with_what_was_unticked_unticked(self):
        # An empty stored selection is the user's choice, not a first start.
        browsers, pad = self.scene([(CHROME, 1)])
        left = self.drag_by((-300, -200))
        self.assertIsNone(self.env.reg_read(), "moving stores no selection")
        self.click(TILE_CLICK["chrome"])
        self.click(AUTO_TICK)
        self.wait_for(self.env.reg_read, "the empty selection", stored(set()))
        self.stop()
        self.launch(name="vaskf5-again")
        self.assertEqual(self.place(), left, "opened where it was left")
        self.wait_drawn({"chrome": "clear", "ie": "clear", "firefox": "clear", "opera": "clear", "auto": "off"},
                        "nothing ticked after the restart")
        self.assert_chord_refreshes(browsers, pad, [])
        self.assertEqual(self.env.reg_read(), stored(set()), "the empty selection is kept")

    def test_an_unusable_stored_place_opens_centred_and_is_replaced_at_the_next_move(self):
        # Which texts are places is window_place_test's table; these reach the monitors and the registry.
        for value_type, data in (("REG_SZ", "-30000,-30000"), ("REG_DWORD", "300"), ("REG_SZ", "1" * 1030)):
            with self.subTest(value_type=value_type, data=data[:20]):
                self.env.reg_delete()
                self.env.reg_add(value_type, data, name="Position")
                self.launch(name="vaskf5-unusable")
                self.assertEqual(self.place(), centred(), "centred on the work area")
                self.drag_by((40, 30))
                self.stop()

    def test_a_drag_cancelled_midway_ends_and_the_window_stays_still_afterwards(self):
        # The other program's window comes first: without a window manager the window mapped last lies on top.
        _, pad = self.scene([])
        cancels = {"WM_CANCELMODE": lambda: self.env.probe("post", self.main, WM_CANCELMODE, 0, 0),
                   "another window to the front": lambda: self.env.focus(pad)}
        ticked = {"chrome", "autorefresh"}
        display = self.env.display
        for (name, cancel), tile in zip(cancels.items(), ("ie", "firefox")):
            with self.subTest(cancel=name):
                self.env.focus(self.main)
                x, y = self.place()
                try:
                    display.drag(self.xid, BACKGROUND, (50, 30), steps=5, release=False)
                    self.wait_for(self.place, "the window following the drag", (x + 50, y + 30))
                    cancel()
                    # The drag's end stores the place: from then on the pointer is free.
                    self.wait_for(lambda: self.env.reg_read(name="Position"), "the place stored when the drag ended",
                                  ("REG_SZ", f"{x + 50},{y + 30}"))
                    for step in range(1, 6):  # the pointer goes on, without the window
                        display.xdotool("sleep", 0.03, "mousemove_relative", "--", -20, 15)
                finally:
                    display.xdotool("mouseup", 1, "mousemove", *PARK)
                # Input is handled in order: once the click that follows is stored, the moves before it were handled.
                self.click(TILE_CLICK[tile])
                ticked.add(tile)
                self.wait_for(self.env.reg_read, "the click after the cancelled drag", stored(ticked))
                self.assertEqual(self.place(), (x + 50, y + 30), "the window stays where the drag ended")


if __name__ == "__main__":
    unittest.main()
