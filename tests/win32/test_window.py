# Vask F5 under Wine: its window driven through the X server at a person's speed and observed from outside (pixels,
# the registry, styles, alpha and places as another process sees them), and its settings panel.

import re
import subprocess

from harness import Browsers, CHROME, EXE, RUN_KEY, SC_RESTORE, TIMEOUT, WM_SYSCOMMAND, WineCase, windows_path
from xharness import REPO, chord, pixel

WS_EX_TOPMOST, WS_EX_TOOLWINDOW, APPWINDOW, WM_CANCELMODE = 0x8, 0x80, 0x40000, 0x1F  # APPWINDOW: a taskbar button
DESKTOP = r"HKCU\Control Panel\Desktop"


def picture(name: str) -> dict:  # the fully opaque pixels of one of the program's pictures, which any background keeps
    text = subprocess.run(["convert", REPO / "assets" / "out" / name, "-depth", "8", "txt:-"], check=True,
                          capture_output=True, text=True).stdout
    opaque = re.findall(r"^(\d+),(\d+): \((\d+),(\d+),(\d+),255\)", text, re.MULTILINE)
    return {(int(x), int(y)): (int(r), int(g), int(b)) for x, y, r, g, b in opaque}


class Window(WineCase):
    def place(self) -> tuple:
        return self.seen(self.main)[:2]

    def ticks(self, tick: str) -> set:  # the tiles whose tick picture is drawn, pixel for pixel
        pixels, shown = self.display.grab(*self.seen(self.main)[:4]), picture(tick)  # a borderless window
        return {tile for tile in ("ie", "chrome", "firefox", "opera") if all(pixel(pixels, *(
            a + b for a, b in zip(self.box(f"{tile}Tick", 0, 0), at))) == colour for at, colour in shown.items())}

    def test_drawn_and_clicked(self):  # at 150 %, 200 % and 100 %: each Wine process reads the scale as it starts
        self.addCleanup(self.reg_delete, DESKTOP, "LogPixels")
        for self.dpi, tick in ((144, None), (192, "tick@2x.png"), (96, "tick.png")):  # at 200 %, drawn unscaled
            with self.subTest(dpi=self.dpi):
                self.reg_add("REG_DWORD", str(self.dpi), "LogPixels", DESKTOP)
                self.launch()
                width, height = self.box("background")[2:]  # no task bar here: the work area is the whole display
                centred = ((1280 - width) // 2, (800 - height) // 2, width, height)
                self.assertEqual(self.seen(self.main)[:4], centred, "centred")
                for control, stored, ticked in (
                        ("a first start", None, {"chrome"}), ("ieTile", "ie,chrome,autorefresh,", {"ie", "chrome"}),
                        ("chromeTick", "ie,autorefresh,", {"ie"}), ("autoRefreshLabel", "ie,", {"ie"})):
                    if stored:
                        self.click(control)
                    self.wait_for(self.reg_read, f"stored after {control}", stored and ("REG_SZ", stored))
                    if tick:
                        self.wait_for(lambda: self.ticks(tick), f"the ticks after {control}", ticked)
                    if not stored and self.dpi == 96:  # the README's picture
                        self.display.run("import", "-window", "root", "-crop", "{2}x{3}+{0}+{1}".format(*centred),
                                         "+repage", "-strip", REPO / "docs" / "screenshot.png")
                self.stop()
                self.reg_delete()

    def test_moved_minimised_and_closed(self):
        self.launch()
        self.assertTrue(self.seen(self.main).exstyle & WS_EX_TOPMOST, "pinned above other windows")
        for panel, by in ((False, (60, 40)), (True, (-40, 25))):  # by the skin, then by the open panel
            if panel:
                self.open_panel()
            x, y = self.place()
            self.display.drag(self.xid, self.box("background", 0.5, 0.75), by, 5)
            self.wait_for(lambda: self.reg_read("Position"), "the place", ("REG_SZ", f"{x + by[0]},{y + by[1]}"))
            self.assertEqual(self.place(), (x + by[0], y + by[1]), f"the panel open: {panel}")
        self.click("panelCloseMark")
        x, y = self.place()  # a drag cancelled, as Wine cancels it when another window takes the focus
        self.display.drag(self.xid, self.box("background", 0.5, 0.75), (50, 30), 5, release=False)
        self.wait_for(self.place, "the window following", (x + 50, y + 30))
        self.probe("post", self.main, WM_CANCELMODE, 0, 0)
        self.wait_for(lambda: self.reg_read("Position"), "stored at the cancel", ("REG_SZ", f"{x + 50},{y + 30}"))
        self.display.xdotool("mousemove_relative", "--", -40, 30, "sleep", 0.1, "mouseup", 1)
        self.click("ieTile")  # handled in order: once this click is stored, so were the moves before it
        self.wait_for(self.reg_read, "a click after", ("REG_SZ", "ie,chrome,autorefresh,"))
        self.assertEqual(self.place(), (x + 50, y + 30), "the window stays where the drag ended")
        taskbar = lambda: (self.seen(self.main).iconic, self.seen(self.main).exstyle & (WS_EX_TOOLWINDOW | APPWINDOW))
        self.click("minimizeMark")
        self.wait_for(taskbar, "minimised, with a taskbar button", (1, APPWINDOW))
        self.probe("post", self.main, WM_SYSCOMMAND, SC_RESTORE, 0)  # a taskbar click
        self.wait_for(taskbar, "restored, without", (0, WS_EX_TOOLWINDOW))
        self.assertEqual(self.place(), (x + 50, y + 30), "back where it was")
        self.focus(self.main)
        self.display.xdotool(*chord("alt", "F4"))
        self.assertEqual(self.program.wait(TIMEOUT), 0, "Alt+F4")
        self.launch()
        self.assertEqual(self.place(), (x + 50, y + 30), "a restart opens where it was left")

    def test_panel(self):
        self.focus(self.launch())
        self.display.xdotool(*chord("1"))
        self.wait_for(lambda: self.seen(self.main).alpha, "the digit 1's alpha", 40)
        chrome = Browsers(self, [(CHROME, 2)]).hwnd["chrome[1]"]
        self.open_panel()
        self.click(self.box("chromeOpacity", 0.04, 0.5))  # the slider's left arrow
        self.wait_for(lambda: self.seen(chrome).alpha, "Chrome's frontmost frame", 254)
        for pinned in (WS_EX_TOPMOST, 0):
            self.click("chromePin")
            self.wait_for(lambda: self.seen(chrome).exstyle & WS_EX_TOPMOST, "the pin", pinned)
        run = ("REG_SZ", f'"{windows_path(EXE)}"')
        for value, after in ((None, run), (run, None), (("REG_SZ", r'"C:\Other\VaskF5.exe"'), run)):
            with self.subTest(value=value):
                if value:
                    self.reg_add(*value, "VaskF5", RUN_KEY)
                self.click("panelCloseMark")
                self.open_panel()  # the box shows the value as it is now: unticked unless it names this copy
                self.click("startWithSession")
                self.wait_for(lambda: self.reg_read("VaskF5", RUN_KEY), "the Run value", after)
