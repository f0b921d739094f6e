"""vaskf5 on X11 with openbox, driven with xdotool and observed from outside: the screen's pixels, the settings
file, and the window's place, state and properties. Fresh settings and runtime folders for every test."""

import os
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "tests"))
from xharness import (AIM, AUTO_LABEL_CLICK, BACKGROUND, MINIMISE_CLICK, PANEL_BACKGROUND,  # noqa: E402
                      PANEL_CLOSE_CLICK, PROGRAM, TICK_ORIGIN, TILE_CLICK, Display, Region, wait_until)

OUT = Path(os.environ.get("VASKF5_TEST_OUT", REPO / "build" / "linux" / "tests" / "linux" / "out"))
display = Display()
setUpModule, tearDownModule = display.start, display.stop


def picture(path: Path) -> Region:
    """The pixels of an image file, flattened onto white as the program draws its pictures on its white skin."""
    ppm = subprocess.run(["convert", path, "-background", "white", "-flatten", "-depth", "8", "ppm:-"],
                         capture_output=True, check=True, timeout=60).stdout
    _, size, _, data = ppm.split(b"\n", 3)  # P6, width and height, 255, the pixels
    return Region(*(int(v) for v in size.split()), data)


def ticks(pixels: Region, scale: int = 1) -> dict[str, float]:
    """Each tile's share of blue in the 2-pixel frame the tick overlay draws over it (68 pixels square at 1x)."""
    size, frame, shares = 68 * scale, 2 * scale, {}
    for tile, origin in TICK_ORIGIN.items():
        left, top = (v * scale for v in origin)
        ring = [(x, y) for y in range(top, top + size) for x in range(left, left + size)
                if min(x - left, y - top, left + size - 1 - x, top + size - 1 - y) < frame]
        shares[tile] = pixels.count(ring, (9, 74, 178)) / len(ring)
    return shares


def ticked(*tiles: str) -> dict[str, float]:
    return {tile: float(tile in tiles) for tile in TICK_ORIGIN}


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


class Drawing(ProgramCase):
    def test_a_first_start_ticks_chrome_and_draws_the_pictures_unscaled_at_either_scale_borderless_on_top(self):
        # At scale 1 the tiles and the tick match the Windows program's screenshot pixel for pixel; at scale 2 the
        # skin is the 2x picture unscaled (crisp), not the 1x one blown up, and only the tick differs from it.
        for scale, reference in ((1, REPO / "docs" / "screenshot.png"), (2, REPO / "assets" / "out" / "skin@2x.png")):
            with self.subTest(scale=scale):
                self.start(GDK_SCALE=str(scale))
                self.assertEqual(display.geometry(self.xid)[2:], (416 * scale, 217 * scale))
                pixels, expected = self.grab(keep=OUT / f"scale-{scale}.png"), picture(reference)
                self.assertEqual(ticks(pixels, scale), ticked("chrome"))
                # The row of browser tiles, which nothing but a tick covers.
                x0, y0, width, height = (scale * v for v in (30, 70, 360, 75))
                tick_x, tick_y = (scale * v for v in TICK_ORIGIN["chrome"])
                wrong = [(x, y) for y in range(y0, y0 + height) for x in range(x0, x0 + width)
                         if pixels.at(x, y) != expected.at(x, y)
                         and not (scale == 2 and 0 <= x - tick_x < 136 and 0 <= y - tick_y < 136)]
                self.assertEqual(len(wrong), 0, f"pixels unlike {reference.name}, the first: {wrong[:5]}")
        self.assertIsNone(self.stored(), "the first-start default is not stored")
        state = display.prop(self.xid, "_NET_WM_STATE")
        self.assertIn("_NET_WM_STATE_ABOVE", state)
        self.assertIn("_NET_WM_STATE_SKIP_TASKBAR", state)


class Selection(ProgramCase):
    def test_clicks_write_the_selection_and_ticking_opera_says_in_a_message_over_the_window_it_is_unsupported(self):
        self.start()
        for point, expected in [
            (TILE_CLICK["firefox"], "chrome,firefox,autorefresh,"),
            (TILE_CLICK["chrome"], "firefox,autorefresh,"),
            (AUTO_LABEL_CLICK, "firefox,"),
        ]:
            display.click(self.xid, *point)
            wait_until(lambda: self.stored() == expected, f"the store to hold {expected!r} (it holds {self.stored()!r})")
        self.assertEqual(ticks(self.grab()), ticked("firefox"))
        display.click(self.xid, *TILE_CLICK["opera"])
        message = wait_until(lambda: self.windows_of_type("DIALOG"), "the Opera message")[0]
        self.assertIn(f"0x{self.xid:x}", display.prop(message, "WM_TRANSIENT_FOR"))
        display.xdotool("windowactivate", "--sync", message, "key", "Return")
        wait_until(lambda: not self.windows_of_type("DIALOG"), "the message closed by its OK button")
        wait_until(lambda: self.stored() == "firefox,opera,", "Opera stored")


class MovingAndPanel(ProgramCase):
    def test_dragging_the_background_or_the_open_panel_moves_the_window_and_the_panel_closes_again(self):
        self.start()
        self.drag_to(BACKGROUND, (37, 23))
        display.open_panel(self.xid)
        self.assertEqual(ticks(self.grab())["chrome"], 0, "the panel covers the tiles")
        self.drag_to(PANEL_BACKGROUND, (25, -30))
        display.click(self.xid, *PANEL_CLOSE_CLICK)
        wait_until(lambda: ticks(self.grab())["chrome"] == 1, "the tiles again")

    def test_the_window_opens_where_it_was_left_and_centred_on_the_work_area_when_the_stored_place_is_off_screen(self):
        self.start()
        self.drag_to(BACKGROUND, (-150, 90))
        left_at = self.origin()
        wait_until(lambda: self.stored("Position") == "{},{}".format(*left_at), f"the place {left_at} stored")
        self.key("Escape")
        self.assertEqual(self.ended("the program to end after Esc"), 0)
        self.start()
        self.assertEqual(self.origin(), left_at)
        self.settings.write_text("[Refresh]\nApps=chrome,\nPosition=5000,5000\n")
        self.start()
        x, y, width, height = (int(v) for v in display.run("xprop", "-root", "_NET_WORKAREA")
                               .partition("=")[2].split(",")[:4])
        self.assertEqual(self.origin(), (x + (width - 416) // 2, y + (height - 217) // 2))


class WindowState(ProgramCase):
    def test_the_minimise_mark_shows_its_tool_tip_and_minimising_gives_a_taskbar_entry_until_restored(self):
        self.start()
        x, y = MINIMISE_CLICK
        display.xdotool("mousemove", "--window", self.xid, x - 2, y, "sleep", AIM, "mousemove", "--window", self.xid,
                        x, y)
        wait_until(lambda: self.windows_of_type("TOOLTIP"), "a tool tip")
        def state():
            return (display.prop(self.xid, "WM_STATE").partition("window state: ")[2].split()[0],
                    "_NET_WM_STATE_SKIP_TASKBAR" not in display.prop(self.xid, "_NET_WM_STATE"))
        for way, minimise in {"the minimise mark": lambda: display.click(self.xid, *MINIMISE_CLICK),
                              "the window manager": lambda: display.xdotool("windowminimize", self.xid)}.items():
            with self.subTest(way):
                minimise()
                wait_until(lambda: state() == ("Iconic", True), f"minimised by {way}, with a taskbar entry ({state()})")
                display.xdotool("windowactivate", self.xid)
                wait_until(lambda: state() == ("Normal", False), f"restored, no taskbar entry ({state()})")
                self.assertEqual(ticks(self.grab())["chrome"], 1)

    def test_digits_set_the_windows_opacity_and_neither_they_nor_esc_act_while_tab_has_moved_to_the_unseen_list(self):
        self.start()
        for key, alpha in (("1", 40), ("KP_1", 25), ("9", 220), ("0", 255)):
            self.key(key)
            wait_until(lambda: display.opacity(self.xid) == alpha, f"opacity {alpha} after {key}")
        for key in ("Tab", "Escape", "1"):
            self.key(key)
        wait_until(lambda: self.process.poll() is None and display.opacity(self.xid) == 255, "the program untouched")
        self.key("Tab")
        self.key("Escape")
        self.assertEqual(self.ended("the program to end after Tab back and Esc"), 0)

    def test_a_second_copy_ends_at_once_and_the_first_runs_until_the_window_managers_close(self):
        self.start()
        env = {**display.env, "XDG_CONFIG_HOME": str(self.config), "XDG_RUNTIME_DIR": str(self.runtime)}
        self.assertEqual(subprocess.run([PROGRAM], env=env, capture_output=True, timeout=10).returncode, 0)
        self.assertIsNone(self.process.poll())
        self.assertEqual(len(display.xdotool("search", "--name", "^Vask F5$").split()), 1)
        self.key("alt+F4")
        self.assertEqual(self.ended("the program to end after Alt+F4"), 0)


if __name__ == "__main__":
    unittest.main()
