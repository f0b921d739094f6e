# Vask F5 under Wine: its window driven through the X server at a person's speed and observed from outside (pixels,
# the registry, styles, alpha and places as another process sees them), and its settings panel.

import subprocess
import unittest

from harness import CHROME, EXE, KEY, RUN_KEY, SC_RESTORE, SUPPORT, WM_SYSCOMMAND, WineCase, windows_path
from xharness import REPO

WS_EX_TOPMOST, WS_EX_TOOLWINDOW, WS_EX_APPWINDOW, WM_CANCELMODE = 0x8, 0x80, 0x40000, 0x1F


def picture(name: str) -> dict:  # the fully opaque pixels of one of the program's pictures, which any background keeps
    path = str(REPO / "assets" / "out" / name)
    width = int(subprocess.run(["identify", "-format", "%w", path], check=True, capture_output=True).stdout)
    data = subprocess.run(["convert", path, "-depth", "8", "rgba:-"], check=True, capture_output=True).stdout
    return {(i % width, i // width): tuple(data[4 * i:4 * i + 3]) for i in range(len(data) // 4) if data[4 * i + 3] == 255}


class WindowCase(WineCase):
    def place(self) -> tuple:
        return tuple(int(v) for v in self.env.probe("rect", self.main).split()[:2])

    def ticks(self, dpi=96, tick="tick.png") -> set:  # the tiles whose tick picture is drawn, pixel for pixel
        x, y, _, _, width, height = (int(v) for v in self.env.probe("rect", self.main).split())
        pixels, shown = self.env.display.grab(x, y, width, height), picture(tick)
        return {tile for tile in ("ie", "chrome", "firefox", "opera")
                if all(pixels.at(self.at(f"{tile}Tick", dpi, 0, 0)[0] + px, self.at(f"{tile}Tick", dpi, 0, 0)[1] + py)
                       == colour for (px, py), colour in shown.items())}

    def drag(self, by, button=1, end=True) -> None:  # on the background, in steps
        x, y = self.place()
        start = self.at("background", fx=0.5, fy=0.75)
        steps = [a for i in range(1, 6) for a in ("sleep", 0.03, "mousemove", x + start[0] + by[0] * i // 5,
                                                    y + start[1] + by[1] * i // 5)]
        self.env.display.xdotool("mousemove", x + start[0], y + start[1], "sleep", 0.08, "mousedown", button, *steps,
                                 *(["sleep", 0.08, "mouseup", button] if end else []))

    def stored_place(self):
        return self.env.reg_read("Position")


class Window(WindowCase):
    def test_first_start_and_clicks(self):
        self.launch()
        size = self.box("background")[2:]
        centred = ((1280 - size[0]) // 2, (800 - size[1]) // 2)  # no task bar: the work area is the whole display
        self.assertEqual(self.env.probe("rect", self.main), "{} {} {} {} {} {}".format(*centred, *size, *size))
        self.wait_for(self.ticks, "Chrome ticked on a first start", {"chrome"})
        self.env.display.run("import", "-window", "root", "-crop", "{2}x{3}+{0}+{1}".format(*centred, *size), "+repage",
                             "-strip", REPO / "docs" / "screenshot.png")  # the README's picture
        self.assertIsNone(self.env.reg_read(), "a first start stores nothing")
        for control, stored, ticked in (("ieTile", "ie,chrome,autorefresh,", {"ie", "chrome"}),
                                        ("chromeTick", "ie,autorefresh,", {"ie"}), ("autoRefreshLabel", "ie,", {"ie"})):
            with self.subTest(click=control):
                self.click(control)
                self.wait_for(self.env.reg_read, f"the choice after {control}", ("REG_SZ", stored))
                self.wait_for(self.ticks, f"the ticks after {control}", ticked)

    def test_scaled(self):
        # Each Wine process reads the display's dots per inch when it starts.
        self.addCleanup(self.env.reg_delete, r"HKCU\Control Panel\Desktop", "LogPixels")
        for dpi in (144, 192):
            with self.subTest(dpi=dpi):
                self.env.reg_add("REG_DWORD", str(dpi), "LogPixels", r"HKCU\Control Panel\Desktop")
                self.launch(name=f"vaskf5-{dpi}")
                size = self.box("background", dpi)[2:]
                self.assertEqual(self.env.probe("rect", self.main).split()[2:], [str(v) for v in size * 2], "size")
                if dpi == 192:  # the double-size picture, drawn unscaled
                    self.wait_for(lambda: self.ticks(dpi, "tick@2x.png"), "Chrome ticked at 200 %", {"chrome"})
                self.click(self.at("ieTile", dpi))
                self.wait_for(self.env.reg_read, f"a click at {dpi} dpi", ("REG_SZ", "ie,chrome,autorefresh,"))
                self.stop()
                self.env.reg_delete()

    def test_minimise_restore_and_close(self):
        self.launch()
        start = self.place()

        def state():
            ex = int(self.env.probe("exstyle", self.main))
            return self.env.probe("iconic", self.main), ex & (WS_EX_TOOLWINDOW | WS_EX_APPWINDOW | WS_EX_TOPMOST)
        self.assertEqual(state(), ("0", WS_EX_TOOLWINDOW | WS_EX_TOPMOST), "pinned, without a taskbar button")
        self.click("minimizeMark")
        self.wait_for(lambda: state()[0] == "1" and state()[1] & ~WS_EX_TOPMOST, "minimised with a taskbar button",
                      WS_EX_APPWINDOW)
        self.env.probe("post", self.main, WM_SYSCOMMAND, SC_RESTORE, 0)  # a taskbar click
        self.wait_for(state, "restored", ("0", WS_EX_TOOLWINDOW | WS_EX_TOPMOST))
        self.assertEqual(self.place(), start, "back where it was")
        self.env.focus(self.main)
        self.env.tap("alt", "F4")
        self.assertEqual(self.wait_exit(self.program), 0, "Alt+F4")
        self.launch()
        self.click("closeMark")
        self.assertEqual(self.wait_exit(self.program), 0, "the close mark")


class Moving(WindowCase):
    def test_drags(self):
        self.env.spawn([SUPPORT / "typepad.exe"], "typepad")  # first: the window made last lies on top
        pad = self.env.wait_window("Edit")
        self.launch()
        for by, panel in (((60, 40), False), ((-40, 25), True)):
            with self.subTest(by=by, panel=panel):
                if panel:
                    self.open_panel()
                x, y = self.place()
                self.drag(by)
                self.wait_for(self.stored_place, "the place stored", ("REG_SZ", f"{x + by[0]},{y + by[1]}"))
                self.assertEqual(self.place(), (x + by[0], y + by[1]))
        self.click("panelCloseMark")
        x, y = self.place()
        self.drag((90, 70), button=3)
        cancels = (("WM_CANCELMODE", lambda: self.env.probe("post", self.main, WM_CANCELMODE, 0, 0), "ieTile", "ie,"),
                   ("another window", lambda: self.env.focus(pad), "firefoxTile", "ie,firefox,"))
        for name, cancel, tile, ticked in cancels:
            with self.subTest(cancel=name):
                self.env.focus(self.main)
                self.drag((50, 30), end=False)
                self.wait_for(self.place, "the window following", (x + 50, y + 30))
                cancel()
                self.wait_for(self.stored_place, "the place stored at the cancel", ("REG_SZ", f"{x + 50},{y + 30}"))
                self.env.display.xdotool("mousemove_relative", "--", -40, 30, "sleep", 0.1, "mouseup", 1)
                self.click(tile)  # handled in order: once this click is stored, so were the moves before it
                self.wait_for(self.env.reg_read, "a click after", ("REG_SZ", ticked.replace("ie,", "ie,chrome,") + "autorefresh,"))
                self.assertEqual(self.place(), (x + 50, y + 30), "the window stays where the drag ended")
                x, y = x + 50, y + 30
        self.stop()
        self.launch(name="vaskf5-again")
        self.assertEqual(self.place(), (x, y), "a restart opens where it was left")

    def test_unusable_places_open_centred(self):
        for kind, data in (("REG_SZ", "-30000,-30000"), ("REG_DWORD", "300"), ("REG_SZ", "1" * 1030)):
            with self.subTest(kind=kind, data=data[:20]):
                self.env.reg_add(kind, data, "Position")
                self.launch(name="vaskf5-unusable")
                size = self.box("background")[2:]
                self.assertEqual(self.place(), ((1280 - size[0]) // 2, (800 - size[1]) // 2), "centred")
                self.stop()


class Panel(WindowCase):
    def test_opacity_pins_and_session(self):
        editor = self.browsers([(CHROME, 1)], name="editor", image="Code.exe").windows[0]  # not Chrome
        self.launch()
        self.env.focus(self.main)
        self.env.tap("1")
        self.wait_for(lambda: self.env.probe("alpha", self.main), "the digit 1's alpha", "40")
        self.open_panel()
        panel = next(h for h, v, _, text in self.env.windows("children", self.main) if text == "设置勾选的浏览器")
        x, y = self.place()
        left, top, width, height = self.box("panel")
        self.assertEqual(self.env.probe("rect", panel).split()[:4], [str(v) for v in (x + left, y + top, width, height)])
        left_arrow = self.at("chromeOpacity", fx=0.04)
        self.click(left_arrow)
        self.wait_for(lambda: (self.env.probe("alpha", self.main), self.env.probe("alpha", editor.hwnd)),
                      "without Chrome, the program's own window", ("254", "none"))
        chrome = self.browsers([(CHROME, 2)]).frames(CHROME)[0].hwnd
        self.click(left_arrow)
        self.wait_for(lambda: self.env.probe("alpha", chrome), "Chrome's frontmost frame", "253")
        for ticked in ("1", "0"):
            self.click("chromePin")
            self.wait_for(lambda: str(int(self.env.probe("exstyle", chrome)) >> 3 & 1), "pinned", ticked)  # topmost
        run = ("REG_SZ", f'"{windows_path(EXE)}"')
        for value, after in ((None, run), (run, None), (("REG_SZ", r'"C:\Other\VaskF5.exe"'), run)):
            with self.subTest(value=value):
                if value:
                    self.env.reg_add(*value, "VaskF5", RUN_KEY)
                self.click("panelCloseMark")
                self.open_panel()  # the box shows the value as it is now: unticked unless it names this copy
                self.click("startWithSession")
                self.wait_for(lambda: self.env.reg_read("VaskF5", RUN_KEY), "the Run value", after)


if __name__ == "__main__":
    unittest.main()
