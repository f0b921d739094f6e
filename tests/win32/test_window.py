# Vask F5 under Wine: its window driven through the X server at a person's speed and observed from outside (pixels,
# the registry, styles, alpha and places as another process sees them), and its settings panel.

import subprocess

from harness import Browsers, CHROME, EXE, RUN_KEY, SC_RESTORE, TIMEOUT, WM_SYSCOMMAND, WineCase, windows_path
from xharness import REPO, pixel

WS_EX_TOPMOST, WS_EX_TOOLWINDOW, WS_EX_APPWINDOW, WM_CANCELMODE = 0x8, 0x80, 0x40000, 0x1F
BUTTON_STYLES = WS_EX_TOOLWINDOW | WS_EX_APPWINDOW  # no taskbar button, or one


def picture(name: str) -> dict:  # the fully opaque pixels of one of the program's pictures, which any background keeps
    path = str(REPO / "assets" / "out" / name)
    width = int(subprocess.run(["identify", "-format", "%w", path], check=True, capture_output=True).stdout)
    data = subprocess.run(["convert", path, "-depth", "8", "rgba:-"], check=True, capture_output=True).stdout
    return {(i % width, i // width): tuple(data[4 * i:4 * i + 3]) for i in range(len(data) // 4)
            if data[4 * i + 3] == 255}


class Window(WineCase):
    def place(self) -> tuple:
        return tuple(int(v) for v in self.probe("rect", self.main).split()[:2])

    def centred(self, dpi=96) -> tuple:  # no task bar here: the work area is the whole 1280x800 display
        width, height = self.box("background", dpi)[2:]
        return (1280 - width) // 2, (800 - height) // 2, width, height

    def ticks(self, dpi=96, tick="tick.png") -> set:  # the tiles whose tick picture is drawn, pixel for pixel
        x, y, width, height = (int(v) for v in self.probe("rect", self.main).split())  # a borderless window
        pixels, shown = self.display.grab(x, y, width, height), picture(tick)
        return {tile for tile in ("ie", "chrome", "firefox", "opera") if all(pixel(
            pixels, *(a + b for a, b in zip(self.box(f"{tile}Tick", dpi, 0, 0), at))) == c for at, c in shown.items())}

    def drag(self, by, button=1, end=True) -> None:  # on the background, in steps
        x, y = (a + b for a, b in zip(self.place(), self.box("background", fx=0.5, fy=0.75)))
        steps = [a for i in range(1, 6) for a in ("sleep", 0.03, "mousemove", x + by[0] * i // 5, y + by[1] * i // 5)]
        self.display.xdotool("mousemove", x, y, "sleep", 0.08, "mousedown", button, *steps,
                             *(["sleep", 0.08, "mouseup", button] if end else []))

    def test_first_start_and_clicks(self):
        self.launch()
        self.assertEqual(self.probe("rect", self.main), " ".join(map(str, self.centred())), "centred")
        self.wait_for(self.ticks, "Chrome ticked on a first start", {"chrome"})
        self.display.run("import", "-window", "root", "-crop", "{2}x{3}+{0}+{1}".format(*self.centred()), "+repage",
                         "-strip", REPO / "docs" / "screenshot.png")  # the README's picture
        self.assertIsNone(self.reg_read(), "a first start stores nothing")
        for control, stored, ticked in (("ieTile", "ie,chrome,autorefresh,", {"ie", "chrome"}),
                                        ("chromeTick", "ie,autorefresh,", {"ie"}), ("autoRefreshLabel", "ie,", {"ie"})):
            with self.subTest(click=control):
                self.click(control)
                self.wait_for(self.reg_read, f"the choice after {control}", ("REG_SZ", stored))
                self.wait_for(self.ticks, f"the ticks after {control}", ticked)

    def test_scaled(self):
        self.addCleanup(self.reg_delete, r"HKCU\Control Panel\Desktop", "LogPixels")
        for dpi in (144, 192):  # each Wine process reads the display's scale when it starts
            with self.subTest(dpi=dpi):
                self.reg_add("REG_DWORD", str(dpi), "LogPixels", r"HKCU\Control Panel\Desktop")
                self.launch()
                self.assertEqual(self.probe("rect", self.main).split()[2:], [str(v) for v in self.centred(dpi)[2:]])
                if dpi == 192:  # the double-size picture, drawn unscaled
                    self.wait_for(lambda: self.ticks(dpi, "tick@2x.png"), "Chrome ticked at 200 %", {"chrome"})
                self.click(self.box("ieTile", dpi, 0.5, 0.5))
                self.wait_for(self.reg_read, f"a click at {dpi} dpi", ("REG_SZ", "ie,chrome,autorefresh,"))
                self.stop()
                self.reg_delete()

    def test_minimise_restore_and_close(self):
        self.launch()
        start = self.place()

        def state():
            return self.probe("iconic", self.main), int(self.probe("exstyle", self.main)) & BUTTON_STYLES
        self.assertTrue(int(self.probe("exstyle", self.main)) & WS_EX_TOPMOST, "pinned above other windows")
        self.click("minimizeMark")
        self.wait_for(state, "minimised, with a taskbar button", ("1", WS_EX_APPWINDOW))
        self.probe("post", self.main, WM_SYSCOMMAND, SC_RESTORE, 0)  # a taskbar click
        self.wait_for(state, "restored", ("0", WS_EX_TOOLWINDOW))
        self.assertEqual(self.place(), start, "back where it was")
        self.focus(self.main)
        self.tap("alt", "F4")
        self.assertEqual(self.program.wait(TIMEOUT), 0, "Alt+F4")
        self.launch()
        self.click("closeMark")
        self.assertEqual(self.program.wait(TIMEOUT), 0, "the close mark")

    def test_places(self):
        self.launch()
        for by, panel in (((60, 40), False), ((-40, 25), True)):
            with self.subTest(by=by, panel=panel):
                if panel:
                    self.open_panel()
                x, y = self.place()
                self.drag(by)
                self.wait_for(lambda: self.reg_read("Position"), "the place", ("REG_SZ", f"{x + by[0]},{y + by[1]}"))
                self.assertEqual(self.place(), (x + by[0], y + by[1]))
        self.click("panelCloseMark")
        x, y = self.place()
        self.drag((90, 70), button=3)  # moves nothing: the next drag starts from here
        for tile, ticked in (("ieTile", "ie,chrome,"), ("firefoxTile", "ie,chrome,firefox,")):
            with self.subTest(cancelled_before=tile):  # as Wine cancels it when another window takes the focus
                self.focus(self.main)
                self.drag((50, 30), end=False)
                self.wait_for(self.place, "the window following", (x + 50, y + 30))
                self.probe("post", self.main, WM_CANCELMODE, 0, 0)
                self.wait_for(lambda: self.reg_read("Position"), "the place stored at the cancel",
                              ("REG_SZ", f"{x + 50},{y + 30}"))
                self.display.xdotool("mousemove_relative", "--", -40, 30, "sleep", 0.1, "mouseup", 1)
                self.click(tile)  # handled in order: once this click is stored, so were the moves before it
                self.wait_for(self.reg_read, "a click after", ("REG_SZ", ticked + "autorefresh,"))
                self.assertEqual(self.place(), (x + 50, y + 30), "the window stays where the drag ended")
                x, y = x + 50, y + 30
        self.stop()
        self.launch()
        self.assertEqual(self.place(), (x, y), "a restart opens where it was left")
        for kind, data in (("REG_SZ", "-30000,-30000"), ("REG_DWORD", "300"), ("REG_SZ", "1" * 1030)):
            with self.subTest(kind=kind, data=data[:20]):
                self.stop()
                self.reg_add(kind, data, "Position")
                self.launch()
                self.assertEqual(self.place(), self.centred()[:2], "an unusable place: centred")

    def test_panel(self):
        editor = Browsers(self, [(CHROME, 1)], name="editor", image="Code.exe").hwnd["code[0]"]  # not Chrome
        self.launch()
        self.focus(self.main)
        self.tap("1")
        self.wait_for(lambda: self.probe("alpha", self.main), "the digit 1's alpha", "40")
        self.open_panel()
        arrow = self.box("chromeOpacity", fx=0.04, fy=0.5)
        self.click(arrow)
        self.wait_for(lambda: (self.probe("alpha", self.main), self.probe("alpha", editor)),
                      "without Chrome, the program's own window", ("254", "none"))
        chrome = Browsers(self, [(CHROME, 2)]).hwnd["chrome[1]"]
        self.click(arrow)
        self.wait_for(lambda: self.probe("alpha", chrome), "Chrome's frontmost frame", "253")
        for pinned in ("8", "0"):
            self.click("chromePin")
            self.wait_for(lambda: str(int(self.probe("exstyle", chrome)) & WS_EX_TOPMOST), "the pin", pinned)
        run = ("REG_SZ", f'"{windows_path(EXE)}"')
        for value, after in ((None, run), (run, None), (("REG_SZ", r'"C:\Other\VaskF5.exe"'), run)):
            with self.subTest(value=value):
                if value:
                    self.reg_add(*value, "VaskF5", RUN_KEY)
                self.click("panelCloseMark")
                self.open_panel()  # the box shows the value as it is now: unticked unless it names this copy
                self.click("startWithSession")
                self.wait_for(lambda: self.reg_read("VaskF5", RUN_KEY), "the Run value", after)
