"""vaskf5 on X11 with openbox, driven with xdotool and observed from outside: the screen's pixels, the settings
file, and the window's place, state and properties. Fresh settings and runtime folders for every test."""

import os
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "tests"))
from xharness import (AIM, AUTO_LABEL_CLICK, BACKGROUND, CLOSE_CLICK, EXIT_CLICK, MINIMISE_CLICK,  # noqa: E402
                      PANEL_BACKGROUND, PANEL_CLOSE_CLICK, PROGRAM, SLIDER_THUMB, SLIDER_TRACK, TICK_ORIGIN,
                      TILE_CLICK, Display, Region, wait_until)

OUT = Path(os.environ.get("VASKF5_TEST_OUT", REPO / "build" / "linux" / "tests" / "linux" / "out"))
TICK_BLUE = (9, 74, 178)
TILE_ROW = (30, 70, 360, 75)  # the row of browser tiles, which nothing but a tick covers: x, y, width, height
display = Display()
setUpModule, tearDownModule = display.start, display.stop


def stored(*ticked: str) -> str:
    return "".join(token + "," for token in ("ie", "chrome", "firefox", "opera", "autorefresh") if token in ticked)


def picture(path: Path) -> Region:
    """The pixels of an image file, flattened onto white as the program draws its pictures on its white skin."""
    ppm = subprocess.run(["convert", path, "-background", "white", "-flatten", "-depth", "8", "ppm:-"],
                         capture_output=True, check=True, timeout=60).stdout
    _, size, _, data = ppm.split(b"\n", 3)  # P6, width and height, 255, the pixels
    return Region(*(int(v) for v in size.split()), data)


def tick_frame(tile: str, scale: int = 1) -> list[tuple[int, int]]:
    """Every pixel of the blue 2-pixel frame the tick overlay draws over a tile (68 pixels square at scale 1)."""
    left, top = (v * scale for v in TICK_ORIGIN[tile])
    size, frame = 68 * scale, 2 * scale
    return [(x, y) for y in range(top, top + size) for x in range(left, left + size)
            if min(x - left, y - top, left + size - 1 - x, top + size - 1 - y) < frame]


def ticks(pixels: Region, scale: int = 1) -> dict[str, str]:
    """Each tile: 'ticked' when the whole tick frame is blue, 'clear' when none of it is, else what was seen."""
    def state(frame):
        blue = pixels.count(frame, TICK_BLUE)
        return "ticked" if blue == len(frame) else "clear" if blue == 0 else f"{blue} of {len(frame)} pixels blue"
    return {tile: state(tick_frame(tile, scale)) for tile in TILE_CLICK}


def ticked(*tiles: str) -> dict[str, str]:
    return {tile: "ticked" if tile in tiles else "clear" for tile in TILE_CLICK}


def mismatches(pixels: Region, expected: Region, box: tuple[int, int, int, int], skip=frozenset()) -> int:
    x0, y0, width, height = box
    return sum(1 for y in range(y0, y0 + height) for x in range(x0, x0 + width)
               if (x, y) not in skip and pixels.at(x, y) != expected.at(x, y))


class ProgramCase(unittest.TestCase):
    def setUp(self) -> None:
        folder = Path(self.enterContext(tempfile.TemporaryDirectory(prefix="vaskf5-e2e-")))
        self.config, self.runtime, self.process = folder / "config", folder / "runtime", None
        self.settings = self.config / "vaskf5" / "settings.ini"
        self.addCleanup(self.stop)

    def start(self, **extra_env: str) -> None:
        self.stop()
        self.process, self.xid = display.start_vaskf5(self.config, self.runtime, **extra_env)

    def stop(self) -> None:
        if self.process:
            display.stop_process(self.process)

    def ended(self, what: str) -> int:
        return wait_until(lambda: self.process.poll() is not None and [self.process.returncode], what)[0]

    def origin(self) -> tuple[int, int]:
        return display.geometry(self.xid)[:2]

    def grab(self, keep: Path | None = None) -> Region:
        """The window's pixels; the pointer is parked off the window first so no tool tip covers them."""
        display.xdotool("mousemove", 1270, 790)
        return display.grab(*display.geometry(self.xid), keep)

    def click(self, point: tuple[int, int]) -> None:
        display.click(self.xid, *point)

    def drag_to(self, start: tuple[int, int], by: tuple[int, int]) -> None:
        """Drags from a point of the window and waits for the window to have moved by exactly ``by``."""
        expected = tuple(a + b for a, b in zip(self.origin(), by))
        display.drag(self.xid, start, by)
        wait_until(lambda: self.origin() == expected, f"the window at {expected} (it is at {self.origin()})")

    def key(self, name: str) -> None:  # into the window, activated first as a person's click would
        display.xdotool("windowactivate", "--sync", self.xid, "key", name)

    def windows_of_type(self, kind: str) -> list[str]:  # DIALOG, TOOLTIP ...
        return [w for w in display.xdotool("search", "--onlyvisible", "--pid", self.process.pid).split()
                if f"_NET_WM_WINDOW_TYPE_{kind}" in display.prop(w, "_NET_WM_WINDOW_TYPE")]

    def stored(self, key: str = "Apps") -> str | None:  # None when the settings file holds none
        lines = self.settings.read_text().splitlines() if self.settings.is_file() else []
        return next((line[len(key) + 1:] for line in lines if line.startswith(f"{key}=")), None)

    def store(self, text: str) -> None:
        self.settings.parent.mkdir(parents=True, exist_ok=True)
        self.settings.write_text(text)


class FirstStart(ProgramCase):
    def test_a_first_start_ticks_chrome_and_draws_the_skin_as_the_windows_program_does_borderless_on_top(self):
        self.start()
        self.assertEqual(display.geometry(self.xid)[2:], (416, 217))
        pixels = self.grab(keep=OUT / "first-start.png")
        self.assertEqual(ticks(pixels), ticked("chrome"))
        # The tiles and the tick come from the same pictures as on Windows, drawn unscaled: the row matches the
        # Windows program's screenshot pixel for pixel.
        self.assertEqual(mismatches(pixels, picture(REPO / "docs" / "screenshot.png"), TILE_ROW), 0)
        self.assertIsNone(self.stored(), "the first-start default is not stored")
        state = display.prop(self.xid, "_NET_WM_STATE")
        self.assertIn("_NET_WM_STATE_ABOVE", state)
        self.assertIn("_NET_WM_STATE_SKIP_TASKBAR", state)


class Selection(ProgramCase):
    def test_tile_clicks_write_the_selection_as_on_windows(self):
        self.start()
        for point, expected in [
            (TILE_CLICK["firefox"], stored("chrome", "firefox", "autorefresh")),
            (TILE_CLICK["chrome"], stored("firefox", "autorefresh")),
            (TILE_CLICK["ie"], stored("ie", "firefox", "autorefresh")),
            (AUTO_LABEL_CLICK, stored("ie", "firefox")),
            (TILE_CLICK["firefox"], stored("ie")),
        ]:
            self.click(point)
            wait_until(lambda: self.stored() == expected, f"the store to hold {expected!r} (it holds {self.stored()!r})")
        self.assertEqual(ticks(self.grab()), ticked("ie"))

    def test_ticking_opera_says_it_is_not_supported_in_a_message_over_the_window_and_stores_it(self):
        self.start()
        self.click(TILE_CLICK["opera"])
        message = wait_until(lambda: self.windows_of_type("DIALOG"), "the Opera message")[0]
        self.assertIn(f"0x{self.xid:x}", display.prop(message, "WM_TRANSIENT_FOR"))
        display.xdotool("windowactivate", "--sync", message, "key", "Return")
        wait_until(lambda: not self.windows_of_type("DIALOG"), "the message closed by its OK button")
        wait_until(lambda: self.stored() == stored("chrome", "opera", "autorefresh"), "Opera stored")

    def test_a_stored_selection_is_restored_and_rewritten_and_a_garbled_file_counts_as_a_first_start(self):
        self.store("[Refresh]\nApps=firefox,\n")
        self.start()
        self.assertEqual(ticks(self.grab()), ticked("firefox"))
        self.assertEqual(self.stored(), stored("firefox"))
        self.store("\x00\x01 not a key file [[[")
        self.start()
        self.assertEqual(ticks(self.grab()), ticked("chrome"))
        self.click(TILE_CLICK["ie"])
        wait_until(lambda: self.stored() == stored("ie", "chrome", "autorefresh"), "the file to be replaced")


class MovingAndPanel(ProgramCase):
    def test_dragging_the_background_or_the_open_panel_moves_the_window_and_the_panel_closes_again(self):
        self.start()
        self.drag_to(BACKGROUND, (37, 23))
        self.drag_to(BACKGROUND, (-52, 11))
        display.open_panel(self.xid)
        self.assertEqual(ticks(self.grab())["chrome"], "clear", "the panel covers the tiles")
        self.drag_to(PANEL_BACKGROUND, (25, -30))
        self.click(PANEL_CLOSE_CLICK)
        wait_until(lambda: ticks(self.grab())["chrome"] == "ticked", "the tiles again")

    def test_the_window_opens_where_it_was_left_and_centred_on_the_work_area_when_the_stored_place_is_unusable(self):
        self.start()
        self.drag_to(BACKGROUND, (-150, 90))
        left_at = self.origin()
        wait_until(lambda: self.stored("Position") == "{},{}".format(*left_at), f"the place {left_at} stored")
        self.key("Escape")
        self.ended("the program to end after Esc")
        self.start()
        self.assertEqual(self.origin(), left_at)
        x, y, width, height = (int(v) for v in display.run("xprop", "-root", "_NET_WORKAREA")
                               .partition("=")[2].split(",")[:4])
        for garbage in ("garbage", "12", "12,", "x,40", "99999999999,5", "5000,5000"):
            with self.subTest(position=garbage):
                self.store(f"[Refresh]\nApps=chrome,\nPosition={garbage}\n")
                self.start()
                self.assertEqual(self.origin(), (x + (width - 416) // 2, y + (height - 217) // 2))

    def test_a_click_on_a_slider_track_changes_the_windows_opacity_once_and_a_dragged_thumb_only_when_let_go(self):
        # No browser runs here, so the sliders act on the program's own window.
        self.start()
        display.open_panel(self.xid)
        self.click(SLIDER_TRACK["firefox"])
        wait_until(lambda: display.opacity(self.xid) == 254, "opacity 254 after one click on the track")
        display.drag(self.xid, (SLIDER_THUMB["firefox"][0] - 1, SLIDER_THUMB["firefox"][1]), (-40, 0), release=False)
        time.sleep(0.3)  # only to give a wrong change the time to show
        self.assertEqual(display.opacity(self.xid), 254, "nothing changes while the thumb is dragged")
        display.xdotool("mouseup", 1)
        wait_until(lambda: display.opacity(self.xid) < 254, "a lower opacity once the thumb is let go")


class WindowState(ProgramCase):
    def test_the_minimise_mark_shows_its_tool_tip_on_hover(self):
        self.start()
        x, y = MINIMISE_CLICK
        display.xdotool("mousemove", "--window", self.xid, x - 2, y, "sleep", AIM, "mousemove", "--window", self.xid,
                        x, y)
        wait_until(lambda: self.windows_of_type("TOOLTIP"), "a tool tip")
        display.xdotool("mousemove", 1270, 790)
        wait_until(lambda: not self.windows_of_type("TOOLTIP"), "the tool tip gone with the pointer")

    def test_minimising_gives_a_taskbar_entry_until_the_window_manager_restores_it(self):
        self.start()
        def state():
            return (display.prop(self.xid, "WM_STATE").partition("window state: ")[2].split()[0],
                    "_NET_WM_STATE_SKIP_TASKBAR" not in display.prop(self.xid, "_NET_WM_STATE"))
        for way, minimise in {"the minimise mark": lambda: self.click(MINIMISE_CLICK),
                              "the window manager": lambda: display.xdotool("windowminimize", self.xid)}.items():
            with self.subTest(way):
                minimise()
                wait_until(lambda: state() == ("Iconic", True), f"minimised by {way}, with a taskbar entry ({state()})")
                display.xdotool("windowactivate", self.xid)
                wait_until(lambda: state() == ("Normal", False), f"restored, no taskbar entry ({state()})")
                self.assertEqual(ticks(self.grab())["chrome"], "ticked")

    def test_digit_keys_set_the_windows_own_opacity(self):
        self.start()
        for key, alpha in (("1", 40), ("KP_1", 25), ("9", 220), ("0", 255)):
            self.key(key)
            wait_until(lambda: display.opacity(self.xid) == alpha, f"opacity {alpha} after {key}")

    def test_a_second_copy_ends_at_once_and_leaves_the_first_running(self):
        self.start()
        env = {**display.env, "XDG_CONFIG_HOME": str(self.config), "XDG_RUNTIME_DIR": str(self.runtime)}
        self.assertEqual(subprocess.run([PROGRAM], env=env, capture_output=True, timeout=10).returncode, 0)
        self.assertIsNone(self.process.poll())
        self.assertEqual(len(display.xdotool("search", "--name", "^Vask F5$").split()), 1)


class Ending(ProgramCase):
    def test_esc_the_close_mark_exit_and_the_window_managers_close_each_end_the_program(self):
        for way, end in {"Esc": lambda: self.key("Escape"), "the close mark": lambda: self.click(CLOSE_CLICK),
                         "Exit": lambda: self.click(EXIT_CLICK), "Alt+F4": lambda: self.key("alt+F4")}.items():
            with self.subTest(way):
                self.start()
                end()
                self.assertEqual(self.ended(f"the program to end after {way}"), 0)

    def test_esc_does_nothing_while_tab_has_moved_the_focus_to_the_unseen_list(self):
        self.start()
        for key in ("Tab", "Escape", "1"):
            self.key(key)
        wait_until(lambda: self.process.poll() is None and display.opacity(self.xid) == 255, "the program untouched")
        self.key("Tab")
        self.key("Escape")
        self.assertEqual(self.ended("the program to end after Tab back and Esc"), 0)


class DoubleScale(ProgramCase):
    def test_at_scale_2_the_window_doubles_and_draws_the_2x_pictures_pixel_for_pixel(self):
        self.start(GDK_SCALE="2")
        self.assertEqual(display.geometry(self.xid)[2:], (832, 434))
        pixels = self.grab(keep=OUT / "scale-2.png")
        self.assertEqual(ticks(pixels, 2), ticked("chrome"))
        # Crisp: the skin and the tick are the 2x pictures unscaled, not the 1x ones blown up.
        left, top = (2 * v for v in TICK_ORIGIN["chrome"])
        tick_area = {(x, y) for y in range(top, top + 136) for x in range(left, left + 136)}
        self.assertEqual(mismatches(pixels, picture(REPO / "assets" / "out" / "skin@2x.png"),
                                    tuple(2 * v for v in TILE_ROW), tick_area), 0)


if __name__ == "__main__":
    unittest.main()
