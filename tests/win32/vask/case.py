"""The base test case: one Wine environment per test class, the program under test and the helpers to drive it."""

from __future__ import annotations

import contextlib
import subprocess
import sys
import unittest
from pathlib import Path

from . import layout
from .browsers import CHROME, FIREFOX, IE, OPERA, FakeBrowsers, refresh_of
from .config import CONFIG, EVENT_TIMEOUT, EXIT_TIMEOUT, HOLD, MAIN_CLASS, MAIN_TITLE, SETTINGS_KEY, START_TIMEOUT, \
    HarnessError, wait_until, windows_path
from .wine import WineEnv

OPERA_MESSAGE = ":( 暂不支持 Opera 浏览器"
# Virtual keys for the probe's SendInput: left Ctrl, right Alt (an extended key, so with "e"), S.
LEFT_CTRL, RIGHT_ALT, KEY_S = "0xA2", "0xA5e", "0x53"


class WineCase(unittest.TestCase):
    """Test cases of one class share a display and a Wine prefix. Every process a case starts is stopped when it
    ends and the program's settings are removed, so cases do not depend on each other; a failed case keeps a
    screenshot and the list of windows in its output folder (under the build folder's wine-test-output)."""

    maxDiff = None
    env: WineEnv

    @classmethod
    def setUpClass(cls) -> None:
        if not CONFIG.exe.is_file():
            raise HarnessError(f"VaskF5.exe not found at {CONFIG.exe}: build the windows preset first, or pass "
                               "--exe PATH to run.py")
        cls.env = WineEnv(f"{cls.__module__}.{cls.__name__}").start()
        cls.addClassCleanup(cls.env.stop)

    def setUp(self) -> None:
        self.out = self.env.output_dir / self._testMethodName
        self.out.mkdir(parents=True, exist_ok=True)
        self.started: list[subprocess.Popen] = []
        self.env.reg_delete()
        self.addCleanup(self._end_case)

    def _end_case(self) -> None:
        outcome = getattr(self, "_outcome", None)
        result = getattr(outcome, "result", None)
        if result is None or any(test is self or getattr(test, "test_case", None) is self
                                 for test, _ in result.failures + result.errors):
            with contextlib.suppress(Exception):
                self.env.display.screenshot(self.out / "failure.png")
                (self.out / "windows.txt").write_text(self.env.probe("list")[1])
            print(f"\n  diagnostics kept in {self.out}", file=sys.stderr)
        for process in reversed(self.started):
            self.env.kill(process)
        # Windows of killed processes go when the wine server notices; the next case must start clean (the
        # program's single-instance check in particular).
        lingering = []
        for cls in (MAIN_CLASS, "VaskTypepad", IE, CHROME, FIREFOX, OPERA):
            try:
                self.env.wait_gone(cls)
            except TimeoutError as error:
                lingering.append(str(error))
        self.env.reg_delete()
        if lingering:
            raise HarnessError("after the case: " + "; ".join(lingering))

    # -- starting and stopping ------------------------------------------------------------------------------------

    def spawn(self, args: list, name: str) -> subprocess.Popen:
        process = self.env.spawn(args, name)
        self.started.append(process)
        return process

    def start_browsers(self, windows: list[tuple[str, int]], name: str = "browsers", **options) -> FakeBrowsers:
        try:
            return FakeBrowsers(self.env, self.out, windows, name, **options)
        finally:
            self.started += [p for p in self.env.processes if p not in self.started]

    def start_typepad(self) -> int:
        """A plain window with an edit control to type into (Wine's notepad answers Ctrl+S with a dialog)."""
        self.spawn([CONFIG.support("typepad.exe")], "typepad")
        return self.env.wait_window("VaskTypepad")

    def launch(self, stored: tuple[str, str] | None = None, exe: Path | None = None, opera_message: bool = False,
               name: str = "vaskf5") -> int:
        """Starts VaskF5.exe (or ``exe``), with a value stored under Apps first if given, and waits for its one
        visible main window; sets self.program, self.main and self.xid and returns the main window.

        On a busy machine Wine now and then fails to set up a new process's first window and the program ends with
        code 1 before it has any; that start is reported and made once more, so a program that really cannot
        start still fails."""
        if stored is not None:
            self.env.reg_add(*stored)
        for attempt in (1, 2):
            self.program = self.spawn([exe or CONFIG.exe], name)
            wait_until(lambda: self.program.poll() is not None or self.env.find(MAIN_CLASS), START_TIMEOUT,
                       "VaskF5.exe to make its window or end")
            if self.program.poll() in (None, 0):
                break
            print(f"VaskF5.exe ended with code {self.program.returncode} before it had a window", file=sys.stderr)
        if opera_message:
            self.dismiss_opera_message()

        def shown():
            self.assertIsNone(self.program.poll(), "VaskF5.exe ended before showing its window")
            return [h for h in self.env.find(MAIN_CLASS, MAIN_TITLE) if self.env.probe("visible", h) == (0, "1\n")]

        windows = wait_until(shown, START_TIMEOUT, f"the {MAIN_TITLE!r} window")
        self.assertEqual(len(windows), 1, "the program shows exactly one main window")
        self.main = windows[0]
        self.xid = self.env.xid(self.main)
        return self.main

    def stop(self) -> None:
        self.env.kill(self.program)
        self.env.wait_gone(MAIN_CLASS)

    def wait_exit(self, process: subprocess.Popen) -> int:
        try:
            return process.wait(timeout=EXIT_TIMEOUT)
        except subprocess.TimeoutExpired:
            self.fail(f"{getattr(process, 'name', 'process')} still running {EXIT_TIMEOUT:.0f} s later")

    def program_dialogs(self) -> list[int]:
        self.assertIsNone(self.program.poll(), "VaskF5.exe is running")
        return self.env.dialogs(CONFIG.exe.name)

    def dismiss_opera_message(self) -> None:
        """Waits for the message about Opera, checks what it says and presses its OK button."""
        dialog = self.wait_for(self.program_dialogs, "the message about Opera", timeout=START_TIMEOUT)[0]
        texts = [self.env.value("text", dialog)] + [text for _, _, text in self.env.children(dialog)]
        self.assertIn(OPERA_MESSAGE, texts, "the message box's text")
        self.env.probe("close-dialogs", CONFIG.exe.name, check=True)
        self.wait_for(lambda: not self.program_dialogs(), "the message box to close")

    # -- waiting and input ----------------------------------------------------------------------------------------

    def wait_for(self, read, what: str, expected=True, timeout: float = EVENT_TIMEOUT):
        """Polls ``read()`` until it gives ``expected`` (or, for True, anything true) and returns it; at the deadline
        fails showing what was last read."""
        last = None

        def reached():
            nonlocal last
            last = read()
            return (bool(last) if expected is True else last == expected) and (last or True)

        try:
            wait_until(reached, timeout, what, interval=0.1)
        except TimeoutError:
            self.fail(f"{what}: expected {expected!r}, last seen {last!r}")
        return last

    def click(self, point: tuple[int, int], button: int = 1) -> None:
        """A click at a point of the program's client area, then the pointer out of the way."""
        self.env.display.drag(point, point, button, window=self.xid)
        self.env.display.xdotool("mousemove", *layout.PARK)

    def send_input(self, *steps: str):
        """Keys injected with SendInput (what a keyboard driver delivers, AltGr as left Ctrl then right Alt), held
        like a person's, as one callable."""
        return lambda: self.env.probe("send", int(HOLD * 1000), *steps, check=True)

    def xkeys(self, *steps: str):
        """xdotool key steps, held like a person's, as one callable."""
        return lambda: self.env.display.keys(*steps)

    def chord_into(self, target: int, groups: list[FakeBrowsers], expected: int = 0, keys=None) -> list[list]:
        """Types the save chord (or ``keys``) into a window; returns what each group of fake browsers then got,
        waiting for ``expected`` messages in the first group and then for anything extra to show."""
        self.env.focus(target)
        marks = [browsers.checkpoint() for browsers in groups]
        (keys or (lambda: self.env.display.combo("ctrl", "s")))()
        if expected:
            groups[0].wait_events(expected, since=marks[0])
        for browsers in groups:
            browsers.settle()
        return [browsers.events(since=mark) for browsers, mark in zip(groups, marks)]

    def assert_chord_refreshes(self, browsers: FakeBrowsers, pad: int, windows: list[str], keys=None,
                               msg=None) -> None:
        """The chord refreshes exactly these windows (labels such as "chrome[1]") once each, in this order within
        each program (across programs only time stamps could order them)."""
        expected = [event for label in windows for event in refresh_of(label)]
        got = self.chord_into(pad, [browsers], len(expected), keys)[0]
        self.assertEqual(browsers.per_program(got), browsers.per_program(expected), msg)

    def start_key_poller(self) -> Path:
        """Another program that polls S every millisecond and so takes S's shared pressed-since bit; returns its log,
        which has "took" once for each time it took the bit."""
        log = self.out / "keypoller.log"
        poller = self.spawn([CONFIG.support("keypoller.exe"), windows_path(log)], "keypoller")
        wait_until(lambda: poller.poll() is None and log.is_file() and log.read_bytes().startswith(b"ready"),
                   START_TIMEOUT, "the key poller")
        return log
