# The base test case: one Wine environment per test class, the program under test and the helpers to drive it.

from __future__ import annotations

import contextlib
import subprocess
import sys
import unittest

from xharness import SETTINGS_CLICK, HarnessError, wait_until

from .browsers import CHROME, FIREFOX, IE, OPERA, FakeBrowsers, refresh_of
from .wine import EVENT_TIMEOUT, EXE, HOLD, MAIN_CLASS, MAIN_TITLE, PARK, START_TIMEOUT, SUPPORT, WineEnv

OPERA_MESSAGE = ":( 暂不支持 Opera 浏览器"
PANEL = ("VaskF5Surface", "设置勾选的浏览器")  # the settings panel: class and text of the child window
# Virtual keys for the probe's SendInput: left Ctrl, right Alt (an extended key, so with "e"), S.
LEFT_CTRL, RIGHT_ALT, KEY_S = "0xA2", "0xA5e", "0x53"
WM_COMMAND, IDOK = 0x111, 1


# Cases of one class share a display and a Wine prefix; each stops every process it started and removes the
# settings, and leaves a screenshot of its end and the list of windows in its folder of wine-test-output.
class WineCase(unittest.TestCase):

    maxDiff = None
    env: WineEnv

    @classmethod
    def setUpClass(cls) -> None:
        if not EXE.is_file():
            raise HarnessError(f"{EXE} not found: build the windows preset first, or pass --exe PATH to run.py")
        cls.env = WineEnv(f"{cls.__module__}.{cls.__name__}").start()
        cls.addClassCleanup(cls.env.stop)

    def setUp(self) -> None:
        self.out = self.env.output_dir / self._testMethodName
        self.out.mkdir(parents=True, exist_ok=True)
        self.first_process = len(self.env.display.processes)
        self.env.reg_delete()
        self.addCleanup(self.end_case)

    def end_case(self) -> None:
        with contextlib.suppress(Exception):
            self.env.display.screenshot(self.out / "end.png")
            (self.out / "windows.txt").write_text(self.env.probe("find", "*"))
        for process in reversed(self.env.display.processes[self.first_process:]):
            self.env.kill(process)
        # Windows of killed processes go when the wine server notices; the next case must start clean (the
        # program's single-instance check in particular).
        for cls in (MAIN_CLASS, "Edit", IE, CHROME, FIREFOX, OPERA):
            self.env.wait_gone(cls)
        self.env.reg_delete()

    # -- starting and stopping ------------------------------------------------------------------------------------

    def start_browsers(self, windows: list[tuple[str, int]], name: str = "browsers", **options) -> FakeBrowsers:
        return FakeBrowsers(self.env, self.out, windows, name, **options)

    def scene(self, windows: list[tuple[str, int]], stored: str | None = None, launch: bool = True,
              **options) -> tuple[FakeBrowsers, int]:
        # Fake browsers, a window to type into (Wine's notepad answers Ctrl+S with a dialog) and the program.
        browsers = self.start_browsers(windows)
        self.env.spawn([SUPPORT / "typepad.exe"], "typepad")
        pad = self.env.wait_window("Edit")
        if launch:
            self.launch(("REG_SZ", stored) if stored else None, **options)
        return browsers, pad

    def launch(self, stored: tuple[str, str] | None = None, exe=EXE, opera_message: bool = False,
               name: str = "vaskf5") -> int:
        # On a busy machine Wine now and then fails to set up a new process's first window and the program ends
        # with code 1 before it has any; that start is reported and made once more, so a program that really
        # cannot start still fails.
        if stored is not None:
            self.env.reg_add(*stored)
        for _ in range(2):
            self.program = self.env.spawn([exe], name)
            wait_until(lambda: self.program.poll() is not None or self.env.find(MAIN_CLASS),
                       f"{exe.name} to make its window or end", START_TIMEOUT)
            if self.program.poll() in (None, 0):
                break
            print(f"{exe.name} ended with code {self.program.returncode} before it had a window", file=sys.stderr)
        if opera_message:
            self.dismiss_opera_message()
        self.main = self.env.wait_window(MAIN_CLASS, MAIN_TITLE)
        self.assertEqual([w[0] for w in self.env.windows("find", MAIN_CLASS) if w[1]], [self.main], "one main window")
        self.assertIsNone(self.program.poll(), f"{exe.name} is running")
        self.xid = self.env.xid(self.main)
        return self.main

    def stop(self) -> None:
        self.env.kill(self.program)
        self.env.wait_gone(MAIN_CLASS)

    def wait_exit(self, process: subprocess.Popen) -> int:  # its exit code; TimeoutExpired names the program
        return process.wait(timeout=START_TIMEOUT)

    def program_dialogs(self) -> list[int]:  # no other program of the tests makes a dialog
        self.assertIsNone(self.program.poll(), "VaskF5.exe is running")
        return self.env.find("#32770")

    def dismiss_opera_message(self) -> None:
        dialog = self.wait_for(self.program_dialogs, "the message about Opera", timeout=START_TIMEOUT)[0]
        self.assertIn(OPERA_MESSAGE, [text for _, _, _, text in self.env.windows("children", dialog)])
        self.env.probe("post", dialog, WM_COMMAND, IDOK, 0)  # its OK button pressed
        self.wait_for(lambda: not self.program_dialogs(), "the message box to close")

    # -- waiting and input ----------------------------------------------------------------------------------------

    def wait_for(self, read, what: str, expected=True, timeout: float = EVENT_TIMEOUT):  # True: anything true
        last = None

        def reached():
            nonlocal last
            last = read()
            return (bool(last) if expected is True else last == expected) and (last or True)

        try:
            wait_until(reached, what, timeout, interval=0.1)
        except TimeoutError:
            self.fail(f"{what}: expected {expected!r}, last seen {last!r}")
        return last

    def wait_windows(self, question: str, expected: dict[str, tuple[int, str]], what: str) -> None:  # probe answers
        self.wait_for(lambda: {name: self.env.value(question, hwnd) for name, (hwnd, _) in expected.items()}, what,
                      {name: value for name, (_, value) in expected.items()})

    def click(self, point: tuple[int, int]) -> None:
        self.env.display.click(self.xid, *point)
        self.env.display.xdotool("mousemove", *PARK)

    def panel_shown(self) -> bool:
        return any(visible for _, visible, *child in self.env.windows("children", self.main) if tuple(child) == PANEL)

    def open_panel(self) -> None:
        self.click(SETTINGS_CLICK)
        self.wait_for(self.panel_shown, "the settings panel to open")

    def send_input(self, *keys: str):  # pressed in order, let go in reverse, as a keyboard driver delivers them
        steps = [f"+{key}" for key in keys] + [f"-{key}" for key in reversed(keys)]
        return lambda: self.env.probe("send", int(HOLD * 1000), *steps)

    # The save chord (or ``keys``) typed into a window: what each group of fake browsers got, once ``expected``
    # messages reached the first group and anything extra had time to show.
    def chord_into(self, target: int, groups: list[FakeBrowsers], expected: int = 0, keys=None) -> list[list]:
        self.env.focus(target)
        marks = [browsers.checkpoint() for browsers in groups]
        (keys or (lambda: self.env.display.tap("ctrl", "s")))()
        if expected:
            groups[0].wait_events(expected, since=marks[0])
        for browsers in groups:
            browsers.settle()
        return [browsers.events(since=mark) for browsers, mark in zip(groups, marks)]

    def assert_chord_refreshes(self, browsers: FakeBrowsers, pad: int, windows: list[str], keys=None,
                               msg=None) -> None:  # windows as labels ("chrome[1]"), in order within a program
        expected = [event for label in windows for event in refresh_of(label)]
        got = self.chord_into(pad, [browsers], len(expected), keys)[0]
        self.assertEqual(browsers.per_program(got), browsers.per_program(expected), msg)
