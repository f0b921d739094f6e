"""Vask F5 under Wine: its window. What it draws, what clicks on it do, dragging it, the settings panel,
minimising and restoring, ending it, and its size and pictures at high DPI.

Everything is driven through the X server (clicks at a person's speed, drags in small steps) and observed from
outside: the screen's pixels, the stored selection, and the window's styles and place as another process sees them.
The pointer is parked off the window after each click, so that no tool tip lies over the pixels being read.
"""

from __future__ import annotations

import subprocess
import unittest
from pathlib import Path

import harness
from harness import CHROME, MAIN_CLASS, refresh_of, wait_until

OPERA_MESSAGE = ":( 暂不支持 Opera 浏览器"
PANEL_CAPTION = "设置勾选的浏览器"
PANEL_CLASS = "VaskF5Surface"

# Colours of the pictures: the tick overlay's frame and the automatic-refresh tick.
TICK_BLUE = (9, 74, 178)
AUTO_GREY = (89, 89, 89)
WHITE = (255, 255, 255)

# The layout is kept in twips, 1440 to the inch: 15 to a pixel at 96 dpi.
CLIENT_TWIPS = (6240, 3255)
TICK_LEFT_TWIPS = {"chrome": 530, "ie": 1890, "firefox": 3270, "opera": 4640}
TICK_TOP_TWIPS = 1110
# The tick overlay picture: its size and the width of its blue frame, in pixels at 96 dpi.
TICK_SIZE = 68
TICK_FRAME = 2

# Where a person clicks on each tile, client pixels at 96 dpi (the middle of the tile).
TILE_CLICK = {"chrome": (69, 108), "ie": (160, 108), "firefox": (252, 108), "opera": (343, 108)}
AUTO_LABEL_CLICK = (120, 181)
AUTO_TICK_CLICK = (45, 182)
SETTINGS_CLICK = (350, 22)
PANEL_CLOSE_CLICK = (385, 30)
MINIMISE_CLICK = (369, 20)
CLOSE_CLICK = (400, 20)
EXIT_CLICK = (391, 197)
BACKGROUND = (200, 160)

# The automatic-refresh tick picture at 96 dpi: the 11x11 square it fills, and the part where its tick is drawn.
AUTO_BOX = [(x, y) for y in range(177, 188) for x in range(40, 51)]
AUTO_TICK_AREA = {(x, y) for y in range(179, 186) for x in range(42, 49)}

# The order in which the selection is stored, each token followed by a comma.
STORE_ORDER = ("ie", "chrome", "firefox", "opera", "autorefresh")

WS_EX_TOPMOST = 0x8
WS_EX_TOOLWINDOW = 0x80
WS_EX_APPWINDOW = 0x40000
WM_SYSCOMMAND = 0x0112
SC_MINIMIZE = 0xF020
SC_RESTORE = 0xF120

# The pictures built into the program.
PICTURES = harness.REPO / "assets" / "out"

DESKTOP_KEY = r"HKCU\Control Panel\Desktop"
PARK = (1270, 790)  # a corner of the screen that no window of these tests covers
# Without a task bar the work area is the whole of the test display.
SCREEN = (1280, 800)
POSITION_VALUE = "Position"
WM_CANCELMODE = 0x001F


def mul_div(number: int, numerator: int, denominator: int) -> int:
    """Windows' MulDiv for positive numbers: number * numerator / denominator, rounded half up."""
    return (number * numerator * 2 + denominator) // (denominator * 2)


def stored(ticked) -> str:
    """The selection text the program stores for a set of ticked choices."""
    return "".join(token + "," for token in STORE_ORDER if token in ticked)


def centred(dpi: int = 96) -> tuple[int, int]:
    """Where the window opens when no usable place is stored: the middle of the work area."""
    width, height = (mul_div(twips, dpi, 1440) for twips in CLIENT_TWIPS)
    return (SCREEN[0] - width) // 2, (SCREEN[1] - height) // 2


def tick_origin(tile: str, dpi: int = 96) -> tuple[int, int]:
    """Where the tick overlay of a tile is drawn, in client pixels at that dpi."""
    return mul_div(TICK_LEFT_TWIPS[tile], dpi, 1440), mul_div(TICK_TOP_TWIPS, dpi, 1440)


def tick_frame(tile: str, dpi: int = 96) -> list[tuple[int, int]]:
    """Every pixel of the blue frame the tick overlay draws over a tile, in client pixels at that dpi."""
    left, top = tick_origin(tile, dpi)
    size = mul_div(TICK_SIZE, dpi, 96)
    frame = TICK_FRAME * dpi // 96
    return [(x, y) for y in range(top, top + size) for x in range(left, left + size)
            if min(x - left, y - top, left + size - 1 - x, top + size - 1 - y) < frame]


def opaque_pixels(picture: Path) -> dict[tuple[int, int], tuple[int, int, int]]:
    """The colours of a picture's fully opaque pixels, which any background leaves as they are."""
    width, height = (int(v) for v in subprocess.run(["identify", "-format", "%w %h", str(picture)], check=True,
                                                    capture_output=True, text=True, timeout=60).stdout.split())
    data = subprocess.run(["convert", str(picture), "-depth", "8", "rgba:-"], check=True, capture_output=True,
                          timeout=60).stdout
    return {(i % width, i // width): tuple(data[4 * i:4 * i + 3]) for i in range(width * height)
            if data[4 * i + 3] == 255}


def differences_from_picture(pixels: harness.Region, picture: Path, at: tuple[int, int]) -> list:
    """Opaque pixels of a picture that are not drawn in their own colour when it is drawn at ``at``, unscaled."""
    return [((x, y), colour, pixels.at(at[0] + x, at[1] + y)) for (x, y), colour in opaque_pixels(picture).items()
            if pixels.at(at[0] + x, at[1] + y) != colour]


def tile_centre(tile: str, dpi: int) -> tuple[int, int]:
    left, top = tick_origin(tile, dpi)
    half = mul_div(TICK_SIZE, dpi, 96) // 2
    return left + half, top + half


def tile_state(pixels: harness.Region, tile: str, dpi: int = 96) -> str:
    """'ticked' when the whole frame is the tick's blue, 'clear' when none of it is, else what was seen."""
    frame = tick_frame(tile, dpi)
    blue = pixels.count(frame, TICK_BLUE)
    if blue == len(frame):
        return "ticked"
    return "clear" if blue == 0 else f"{blue} of {len(frame)} frame pixels blue"


def auto_state(pixels: harness.Region) -> str:
    """'on' when the dark tick is drawn in the square, 'off' when the square is empty, else what was seen."""
    colours = {point: pixels.at(*point) for point in AUTO_BOX}
    grey = {point for point, colour in colours.items() if colour == AUTO_GREY}
    others = {colour for colour in colours.values() if colour not in (WHITE, AUTO_GREY)}
    if not grey and not others:
        return "off"
    if grey and grey <= AUTO_TICK_AREA and not others:
        return "on"
    return f"{len(grey)} grey pixels, {len(grey - AUTO_TICK_AREA)} outside the tick's place, other colours {others}"


def setUpModule():
    harness.require_program()
    harness.start_module(__name__)


def tearDownModule():
    harness.stop_module()


class WindowCase(harness.WineTestCase):
    """Starting the program and clicking on it, reading its window from the screen, and its stored selection."""

    def launch(self, name: str = "vaskf5"):
        self.program = self.start_program(name)
        self.main = self.wait_main_window(self.program)
        self.xid = self.env.wait_xid(self.main)
        return self.program, self.main

    def stop_program(self) -> None:
        self.env.kill(self.program)
        self.case_processes.remove(self.program)
        self.env.wait_gone(MAIN_CLASS)

    def park_pointer(self) -> None:
        self.env.xdotool("mousemove", *PARK)

    def click(self, point: tuple[int, int]) -> None:
        """A left click at a point of the client area, then the pointer out of the way."""
        self.env.click(self.xid, *point)
        self.park_pointer()

    def place(self) -> tuple[int, int]:
        x, y, *_ = self.env.rect(self.main)
        return x, y

    def client_pixels(self, keep: str | None = None) -> harness.Region:
        """The client area as drawn on the screen now, addressed in client pixels."""
        x, y, _, _, width, height = self.env.rect(self.main)
        return self.env.grab(x, y, width, height, keep=self.out / keep if keep else None, origin=(0, 0))

    def wait_drawn(self, expected: dict[str, str], what: str, dpi: int = 96, keep: str | None = None):
        """Waits until the tiles and the automatic-refresh tick named in ``expected`` are drawn that way.

        A wrong drawing shows as a failure that names what was last seen on the screen."""
        seen: dict[str, str] = {}
        pixels = None

        def matches():
            nonlocal seen, pixels
            pixels = self.client_pixels(keep)
            seen = {name: auto_state(pixels) if name == "auto" else tile_state(pixels, name, dpi)
                    for name in expected}
            return seen == expected

        try:
            wait_until(matches, harness.EVENT_TIMEOUT, what, interval=0.1)
        except TimeoutError:
            self.fail(f"{what}: expected {expected}, the screen shows {seen}")
        return pixels

    def wait_stored(self, ticked, what: str) -> None:
        self.wait_value(("REG_SZ", stored(ticked)), what)

    def wait_value(self, expected: tuple[str, str], what: str, name: str = harness.SELECTION_VALUE) -> None:
        try:
            wait_until(lambda: self.env.reg_read(name=name) == expected, harness.EVENT_TIMEOUT, what)
        except TimeoutError:
            self.assertEqual(self.env.reg_read(name=name), expected, what)

    def wait_place(self, expected: tuple[int, int], what: str) -> None:
        try:
            wait_until(lambda: self.place() == expected, harness.EVENT_TIMEOUT, what)
        except TimeoutError:
            self.assertEqual(self.place(), expected, what)

    def panel(self) -> int | None:
        """The settings panel's window, a child of the main window; None before the panel was first opened."""
        _, out = self.env.probe("children", self.main)
        panels = [int(line.split()[0]) for line in out.splitlines()
                  if line.split()[1:2] == [PANEL_CLASS] and line.endswith(f'"{PANEL_CAPTION}"')]
        self.assertLessEqual(len(panels), 1, f"at most one settings panel among the children: {out}")
        return panels[0] if panels else None

    def panel_shown(self) -> bool:
        panel = self.panel()
        return panel is not None and self.env.probe_value("visible", panel) == "1"

    def wait_panel(self, shown: bool, what: str) -> None:
        try:
            wait_until(lambda: self.panel_shown() == shown, harness.EVENT_TIMEOUT, what)
        except TimeoutError:
            self.fail(f"{what}: the panel is {'hidden' if shown else 'still shown'}")

    def program_dialogs(self) -> list[int]:
        if self.program.poll() is not None:
            self.fail(f"VaskF5.exe ended with code {self.program.returncode}")
        return self.env.dialogs(harness.CONFIG.exe.name)

    def dismiss_opera_message(self) -> None:
        """Waits for the message about Opera, checks what it says and presses its OK button."""
        try:
            dialog = wait_until(self.program_dialogs, harness.EVENT_TIMEOUT, "the Opera message box")[0]
        except TimeoutError:
            self.fail("no message about Opera")
        texts = self.env.window_texts(dialog)
        self.assertIn(OPERA_MESSAGE, texts, "the message box's text")
        self.env.probe("close-dialogs", harness.CONFIG.exe.name, check=True)
        wait_until(lambda: not self.program_dialogs(), harness.EVENT_TIMEOUT, "the message box to close")


class FirstStart(WindowCase):
    def test_the_first_start_draws_chrome_ticked_and_automatic_refresh_on(self):
        self.launch()
        self.assertEqual(self.env.rect(self.main), (*centred(), 416, 217, 416, 217),
                         "centred on the work area, at its size at 96 dpi")
        # Chrome alone is ticked, the other tiles are not, and automatic refresh is on.
        expected = {"chrome": "ticked", "ie": "clear", "firefox": "clear", "opera": "clear", "auto": "on"}
        pixels = self.wait_drawn(expected, "the first start's drawing", keep="first-start.png")
        differences = differences_from_picture(pixels, PICTURES / "tick.png", tick_origin("chrome"))
        self.assertEqual(differences[:5], [], f"the tick picture is drawn as it is; {len(differences)} pixels "
                                              "differ: (place, picture, screen)")

        # The picture of the program in the README: the window alone, as a first start draws it.
        self.env.screenshot_region(harness.REPO / "docs" / "screenshot.png", *centred(), 416, 217)
        self.env.screenshot_region(self.out / "first-start-window.png", *centred(), 416, 217)

        style = self.env.exstyle(self.main)
        self.assertTrue(style & WS_EX_TOOLWINDOW, f"a tool window, without a taskbar button: {style:#x}")
        self.assertFalse(style & WS_EX_APPWINDOW, f"not forced onto the taskbar: {style:#x}")


class Ticking(WindowCase):
    def test_a_click_ticks_a_clear_tile_and_unticks_a_ticked_one_and_stores_each_change(self):
        self.launch()
        ticked = {"chrome", "autorefresh"}  # the first start's choice, not yet stored
        self.wait_drawn({"chrome": "ticked", "ie": "clear", "firefox": "clear"}, "the first start")
        self.assertIsNone(self.env.reg_read())
        for step, tile in enumerate(("ie", "firefox", "chrome", "ie", "firefox", "chrome")):
            with self.subTest(step=step, click=tile, ticked_before=tile in ticked):
                ticked ^= {tile}
                self.click(TILE_CLICK[tile])
                self.wait_stored(ticked, f"the selection after clicking {tile}")
                expected = {name: "ticked" if name in ticked else "clear" for name in ("chrome", "ie", "firefox")}
                keep = "ie-and-firefox-ticked.png" if ticked == {"chrome", "ie", "firefox", "autorefresh"} else None
                self.wait_drawn(expected | {"opera": "clear", "auto": "on"}, f"after clicking {tile}", keep=keep)

    def test_ticking_and_unticking_opera_shows_that_it_is_not_supported(self):
        self.launch()
        for ticked in (True, False):
            with self.subTest(opera_ticked=ticked):
                self.click(TILE_CLICK["opera"])
                self.dismiss_opera_message()
                expected = {"chrome", "autorefresh"} | ({"opera"} if ticked else set())
                self.wait_stored(expected, "the selection after the message")
                self.wait_drawn({"opera": "ticked" if ticked else "clear", "chrome": "ticked"}, "the Opera tile")
        self.assertEqual(self.program_dialogs(), [], "one message per click")


class AutomaticRefresh(WindowCase):
    def type_chord(self, browsers, pad: int, expected_count: int):
        """Types the save chord into our own window; returns what the fake browsers got."""
        self.env.focus(pad)
        mark = browsers.checkpoint()
        self.env.chord_ctrl_s()
        if expected_count:
            browsers.wait_events(expected_count, since=mark)
        browsers.settle()
        return browsers.events(since=mark)

    def test_the_label_and_the_tick_switch_it_the_choice_is_stored_and_the_chord_follows(self):
        browsers = self.start_browsers([(CHROME, 2)])
        _, pad = self.start_typepad()
        self.launch()
        on = True
        self.wait_drawn({"auto": "on"}, "automatic refresh at the first start")
        steps = [("label", AUTO_LABEL_CLICK), ("label", AUTO_LABEL_CLICK), ("tick", AUTO_TICK_CLICK),
                 ("label", AUTO_LABEL_CLICK)]
        for step, (where, point) in enumerate(steps):
            with self.subTest(step=step, click=where, on_before=on):
                on = not on
                self.click(point)
                self.wait_stored({"chrome"} | ({"autorefresh"} if on else set()), f"the selection after the {where}")
                self.wait_drawn({"auto": "on" if on else "off", "chrome": "ticked"}, f"the tick after the {where}")
                expected = refresh_of(browsers.zorder(CHROME)[0].label) if on else []
                self.assertEqual(self.type_chord(browsers, pad, len(expected)), expected,
                                 f"the chord with automatic refresh {'on' if on else 'off'}")

    def test_with_everything_unticked_a_restart_ticks_nothing_and_refreshes_nothing(self):
        # An empty stored selection is the user's choice, not a first start: Chrome stays unticked and automatic
        # refresh stays off.
        browsers = self.start_browsers([(CHROME, 1)])
        _, pad = self.start_typepad()
        self.launch()
        self.click(TILE_CLICK["chrome"])
        self.click(AUTO_TICK_CLICK)
        self.wait_stored(set(), "the empty selection")
        self.stop_program()

        self.launch(name="vaskf5-again")
        self.wait_drawn({"chrome": "clear", "ie": "clear", "firefox": "clear", "opera": "clear", "auto": "off"},
                        "nothing ticked after the restart")
        self.assertEqual(self.type_chord(browsers, pad, 0), [], "nothing is refreshed")
        self.assertEqual(self.env.reg_read(), ("REG_SZ", ""), "and the empty selection is kept")


class Dragging(WindowCase):
    def drag(self, start: tuple[int, int], by: tuple[int, int], button: int = 1) -> tuple[int, int]:
        """Drags from a client point by a distance; returns where the window was before."""
        x, y = self.place()
        self.env.drag_on_screen((x + start[0], y + start[1]), (x + start[0] + by[0], y + start[1] + by[1]),
                                button=button)
        self.park_pointer()
        return x, y

    def test_dragging_the_background_moves_the_window_by_the_dragged_distance(self):
        self.launch()
        for by in ((60, 40), (-25, 90), (131, -17), (-166, -113)):
            with self.subTest(by=by):
                x, y = self.drag(BACKGROUND, by)
                self.wait_place((x + by[0], y + by[1]), f"the window moved by {by}")

    def test_dragging_the_open_settings_panel_moves_the_window_too(self):
        self.launch()
        self.click(SETTINGS_CLICK)
        self.wait_panel(True, "the panel to open")
        for by in ((40, 30), (-15, 55)):
            with self.subTest(by=by):
                x, y = self.drag(BACKGROUND, by)
                self.wait_place((x + by[0], y + by[1]), f"the window moved by {by}")
                self.assertTrue(self.panel_shown(), "the panel stays open")

    def test_a_right_button_drag_does_not_move_the_window(self):
        self.launch()
        before = self.place()
        self.drag(BACKGROUND, (90, 70), button=3)
        # Input is handled in the order it came: once the click that follows has ticked IE, the drag before it
        # has been handled too.
        self.click(TILE_CLICK["ie"])
        self.wait_stored({"ie", "chrome", "autorefresh"}, "the click after the drag")
        self.assertEqual(self.place(), before)


class RememberedPlace(WindowCase):
    def drag_by(self, by: tuple[int, int]) -> tuple[int, int]:
        """Drags the background by a distance; returns the place the window is left at, once it has been stored."""
        x, y = self.place()
        self.env.drag_on_screen((x + BACKGROUND[0], y + BACKGROUND[1]),
                                (x + BACKGROUND[0] + by[0], y + BACKGROUND[1] + by[1]))
        self.park_pointer()
        left = (x + by[0], y + by[1])
        self.wait_place(left, f"the window moved by {by}")
        self.wait_value(("REG_SZ", f"{left[0]},{left[1]}"), "the place stored at the end of the drag",
                        name=POSITION_VALUE)
        return left

    def test_a_moved_window_opens_where_it_was_left_and_the_selection_is_untouched(self):
        self.launch()
        self.assertEqual(self.place(), centred(), "the first start")
        left = self.drag_by((-300, -200))
        self.assertIsNone(self.env.reg_read(), "moving stores no selection")
        self.stop_program()
        self.launch(name="vaskf5-again")
        self.assertEqual(self.place(), left, "opened where it was left")

    def test_an_unusable_stored_place_opens_centred_and_is_replaced_at_the_next_move(self):
        for value_type, data in (("REG_SZ", "-30000,-30000"), ("REG_SZ", "5000,100"), ("REG_DWORD", "300"),
                                 ("REG_SZ", "garbage"), ("REG_SZ", "1" * 1030)):
            with self.subTest(value_type=value_type, data=data[:20]):
                self.env.reg_delete()
                self.env.reg_add(value_type, data, name=POSITION_VALUE)
                self.launch(name="vaskf5-unusable")
                self.assertEqual(self.place(), centred(), "centred on the work area")
                self.drag_by((40, 30))
                self.stop_program()

    def test_a_drag_cancelled_midway_ends_and_the_window_stays_still_afterwards(self):
        # The other program's window comes first: on a display without a window manager the window mapped last lies
        # on top, pinned or not.
        _, pad = self.start_typepad()
        self.launch()
        cancels = {"WM_CANCELMODE": lambda: self.env.probe("post", self.main, WM_CANCELMODE, 0, 0, check=True),
                   "another window to the front": lambda: self.env.focus(pad)}
        for name, cancel in cancels.items():
            with self.subTest(cancel=name):
                self.env.focus(self.main)
                x, y = self.place()
                start = (x + BACKGROUND[0], y + BACKGROUND[1])
                self.env.xdotool("mousemove", *start, "sleep", harness.HOLD, "mousedown", 1)
                try:
                    for step in range(1, 6):
                        self.env.xdotool("sleep", 0.03, "mousemove", start[0] + 10 * step, start[1] + 6 * step)
                    self.wait_place((x + 50, y + 30), "the window following the drag")
                    cancel()
                    # The drag's end stores the place: from then on the pointer is free.
                    self.wait_value(("REG_SZ", f"{x + 50},{y + 30}"), "the place stored when the drag ended",
                                    name=POSITION_VALUE)
                    for step in range(1, 6):
                        self.env.xdotool("sleep", 0.03, "mousemove", start[0] + 50 - 20 * step, start[1] + 30 + 15 * step)
                finally:
                    self.env.xdotool("mouseup", 1)
                self.park_pointer()
                # Input is handled in the order it came: once the click that follows has ticked a tile, the moves
                # before it have been handled too.
                self.click(TILE_CLICK["ie" if name == "WM_CANCELMODE" else "firefox"])
                self.wait_value(("REG_SZ", stored({"chrome", "ie", "autorefresh"} |
                                                   ({"firefox"} if name != "WM_CANCELMODE" else set()))),
                                "the click after the cancelled drag")
                self.assertEqual(self.place(), (x + 50, y + 30), "the window stays where the drag ended")


class SettingsPanel(WindowCase):
    def test_the_settings_button_opens_the_panel_and_its_close_mark_hides_it(self):
        self.launch()
        self.assertFalse(self.panel_shown(), "hidden at the start")
        for round_ in (1, 2):
            with self.subTest(round=round_):
                self.click(SETTINGS_CLICK)
                self.wait_panel(True, "the settings button to open the panel")
                x, y, width, height, _, _ = self.env.rect(self.panel())
                left, top = self.place()
                self.assertEqual((x - left, y - top), (16, 9), "the panel's place in the window")
                self.assertEqual((width, height), (385, 193), "the panel's size")
                self.click(PANEL_CLOSE_CLICK)
                self.wait_panel(False, "the close mark to hide the panel")


class Minimising(WindowCase):
    def exstyle_has(self, flags: int, absent: int) -> bool:
        style = self.env.exstyle(self.main)
        return (style & flags) == flags and not style & absent

    def wait_style(self, iconic: bool, what: str) -> None:
        """Minimised: iconic, with a taskbar button. Restored: shown, a tool window again, still pinned."""
        def reached():
            if self.env.probe_value("iconic", self.main) != ("1" if iconic else "0"):
                return False
            if self.env.probe_value("visible", self.main) != "1":
                return False
            if iconic:
                return self.exstyle_has(WS_EX_APPWINDOW, WS_EX_TOOLWINDOW)
            return self.exstyle_has(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, WS_EX_APPWINDOW)

        try:
            # Hiding and showing the window around the style change waits on the desktop, which takes a couple of
            # seconds under Wine without a window manager.
            wait_until(reached, harness.EVENT_TIMEOUT, what, interval=0.2)
        except TimeoutError:
            self.fail(f"{what}: iconic {self.env.probe_value('iconic', self.main)}, visible "
                      f"{self.env.probe_value('visible', self.main)}, exstyle {self.env.exstyle(self.main):#x}")

    def test_minimised_it_has_a_taskbar_button_and_restored_it_is_a_tool_window_again(self):
        self.launch()
        start = self.place()
        self.assertTrue(self.exstyle_has(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, WS_EX_APPWINDOW),
                        f"alone, at the start, pinned and without a taskbar button: {self.env.exstyle(self.main):#x}")
        for panel_open in (False, True):
            with self.subTest(panel_open=panel_open):
                if panel_open:
                    self.click(SETTINGS_CLICK)
                    self.wait_panel(True, "the panel to open")
                    # The panel covers the minimise mark; the taskbar's menu minimises the window instead.
                    self.env.probe("post", self.main, WM_SYSCOMMAND, SC_MINIMIZE, 0, check=True)
                else:
                    self.click(MINIMISE_CLICK)
                self.wait_style(True, "minimised")
                # What a click on the taskbar button sends.
                self.env.probe("post", self.main, WM_SYSCOMMAND, SC_RESTORE, 0, check=True)
                self.wait_style(False, "restored")
                self.assertEqual(self.place(), start, "back where it was")
                self.assertEqual(self.panel_shown(), panel_open, "the panel as it was")
        with self.subTest("still working after restoring"):
            self.click(PANEL_CLOSE_CLICK)
            self.wait_panel(False, "the close mark to hide the panel")
            self.click(TILE_CLICK["ie"])
            self.wait_stored({"ie", "chrome", "autorefresh"}, "a click after restoring")


class Ending(WindowCase):
    def test_the_close_mark_and_exit_end_the_program(self):
        for name, point in (("close mark", CLOSE_CLICK), ("Exit", EXIT_CLICK)):
            with self.subTest(click=name):
                self.launch(name=f"vaskf5-{name.split()[0].lower()}")
                self.wait_drawn({"chrome": "ticked"}, "the window")
                self.env.click(self.xid, *point)
                self.assertEqual(self.wait_exit(self.program), 0)
                self.env.wait_gone(MAIN_CLASS)


class HighDpi(WindowCase):
    def test_at_150_and_200_percent_the_window_and_its_pictures_scale(self):
        # Each Wine process reads the display's dots per inch when it starts, so the value set here applies to the
        # next program started; the prefix's server need not restart.
        self.addCleanup(self.env.reg_delete_value, DESKTOP_KEY, "LogPixels")
        for dpi in (144, 192):
            with self.subTest(dpi=dpi):
                self.env.reg_delete()
                self.env.reg_add("REG_DWORD", str(dpi), key=DESKTOP_KEY, name="LogPixels")
                self.launch(name=f"vaskf5-{dpi}")
                width, height = (mul_div(twips, dpi, 1440) for twips in CLIENT_TWIPS)
                self.assertEqual(self.env.rect(self.main)[2:], (width, height, width, height), "scaled size")
                pixels = self.wait_drawn({"chrome": "ticked", "ie": "clear", "firefox": "clear", "opera": "clear"},
                                         f"the first start at {dpi} dpi", dpi=dpi, keep=f"first-start-{dpi}dpi.png")
                if dpi == 192:
                    # At twice the size the double-size picture is drawn unscaled, pixel for pixel.
                    differences = differences_from_picture(pixels, PICTURES / "tick@2x.png",
                                                           tick_origin("chrome", dpi))
                    self.assertEqual(differences[:5], [], f"{len(differences)} pixels of the double-size tick "
                                                          "picture differ: (place, picture, screen)")

                self.click(tile_centre("ie", dpi))
                self.wait_stored({"ie", "chrome", "autorefresh"}, f"a click on IE at {dpi} dpi")
                self.wait_drawn({"chrome": "ticked", "ie": "ticked", "firefox": "clear", "opera": "clear"},
                                f"IE ticked at {dpi} dpi", dpi=dpi)
                self.stop_program()


if __name__ == "__main__":
    unittest.main()
