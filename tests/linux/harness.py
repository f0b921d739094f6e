"""The end-to-end tests of the Linux program's window, on the shared private X display of tests/xharness.py.

One X server (Xvfb) with a window manager (openbox) per test module. Each test starts the real program with its
own settings and runtime folders, drives it with xdotool as a person would, and observes it from outside: the
screen's pixels, the settings file, and the window's place and properties as the window manager sees them.
"""

from __future__ import annotations

import os
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "tests"))
from xharness import AIM, HOLD, PROGRAM, Display, Region, wait_until  # noqa: E402  (on the path set above)

OUT = Path(os.environ.get("VASKF5_TEST_OUT", REPO / "build" / "linux" / "tests" / "linux" / "out"))
PICTURES = REPO / "assets" / "out"

STEP_TIMEOUT = 10.0


def picture(path: Path) -> Region:
    """The pixels of an image file, flattened onto white as the program draws its pictures on its white skin."""
    data = subprocess.run(["convert", str(path), "-background", "white", "-flatten", "-depth", "8", "rgb:-"],
                          capture_output=True, check=True, timeout=60).stdout
    width, height = (int(v) for v in subprocess.run(["identify", "-format", "%w %h", str(path)],
                                                    capture_output=True, check=True, text=True,
                                                    timeout=60).stdout.split())
    return Region(width, height, data)


class Program:
    """The real vaskf5 with its own settings folder, runtime folder and environment."""

    def __init__(self, display: Display, config: Path, runtime: Path, **extra_env: str) -> None:
        self.display = display
        self.process, self.xid = display.start_vaskf5(config, runtime, **extra_env)

    def stop(self) -> None:
        self.display.stop_process(self.process)

    def wait_ended(self, what: str) -> int:
        return wait_until(lambda: self.process.poll() is not None and [self.process.returncode], what)[0]

    def origin(self) -> tuple[int, int]:
        """Where the window's top-left pixel is on the screen."""
        return self.display.geometry(self.xid)[:2]

    def size(self) -> tuple[int, int]:
        return self.display.geometry(self.xid)[2:]

    def grab(self, keep: Path | None = None) -> Region:
        """The window's pixels; the pointer is parked off the window first so no tool tip covers them."""
        self.park_pointer()
        x, y = self.origin()
        width, height = self.size()
        return self.display.grab(x, y, width, height, keep)

    def park_pointer(self) -> None:
        self.display.xdotool("mousemove", 1270, 790)

    def click(self, x: int, y: int) -> None:
        self.display.click(self.xid, x, y)

    def drag(self, start: tuple[int, int], by: tuple[int, int]) -> None:
        self.display.drag(self.xid, start, by)

    def key(self, name: str) -> None:
        """A key typed into the window, which is activated first as a person's click would."""
        self.display.xdotool("windowactivate", "--sync", self.xid)
        self.display.xdotool("key", "--delay", int(HOLD * 1000), name)

    def prop(self, name: str) -> str:
        return self.display.prop(self.xid, name)

    def windows_of_type(self, kind: str) -> list[str]:
        """The program's shown windows of a window type (NORMAL, DIALOG, TOOLTIP ...)."""
        found = self.display.xdotool("search", "--onlyvisible", "--pid", self.process.pid).split()
        return [w for w in found
                if f"_NET_WM_WINDOW_TYPE_{kind}" in self.display.run("xprop", "-id", w, "_NET_WM_WINDOW_TYPE")]

    def hover(self, x: int, y: int) -> None:
        """The pointer glides onto a point of the window and stays there."""
        self.display.xdotool("mousemove", "--window", self.xid, x - 2, y, "sleep", AIM, "mousemove", "--window",
                             self.xid, x, y)

    def opacity(self) -> int:
        return self.display.opacity(self.xid)


_display: Display | None = None


def shared_display() -> Display:
    """The display of this test run, started on first use."""
    global _display
    if _display is None:
        _display = Display().start()
    return _display


def stop_display() -> None:
    """Stops the display; a test module calls it from tearDownModule."""
    global _display
    if _display is not None:
        _display.stop()
        _display = None


class ProgramCase(unittest.TestCase):
    """For every test fresh settings and runtime folders, and the program started on demand on the shared display."""

    display: Display

    @classmethod
    def setUpClass(cls) -> None:
        if not PROGRAM.is_file():
            raise unittest.SkipTest(f"{PROGRAM} is not built: build the linux preset first")
        cls.display = shared_display()

    def setUp(self) -> None:
        self.folder = Path(tempfile.mkdtemp(prefix="vaskf5-e2e-"))
        self.config = self.folder / "config"
        self.runtime = self.folder / "runtime"
        self.programs: list[Program] = []
        self.addCleanup(shutil.rmtree, self.folder, True)
        self.addCleanup(self.stop_programs)

    def stop_programs(self) -> None:
        for program in self.programs:
            program.stop()
        self.programs.clear()

    def run_second_copy(self) -> subprocess.CompletedProcess:
        """Starts the program once more with the same folders and waits for it to end."""
        env = {**self.display.env, "XDG_CONFIG_HOME": str(self.config), "XDG_RUNTIME_DIR": str(self.runtime)}
        return subprocess.run([str(PROGRAM)], env=env, capture_output=True, timeout=STEP_TIMEOUT)

    def start(self, **extra_env: str) -> Program:
        program = Program(self.display, self.config, self.runtime, **extra_env)
        self.programs.append(program)
        return program

    @property
    def settings_file(self) -> Path:
        return self.config / "vaskf5" / "settings.ini"

    def stored(self, key: str = "Apps") -> str | None:
        """A stored value (by default the selection), or None when the settings file holds none."""
        if not self.settings_file.is_file():
            return None
        for line in self.settings_file.read_text().splitlines():
            if line.startswith(f"{key}="):
                return line[len(key) + 1:]
        return None

    def store(self, text: str) -> None:
        self.settings_file.parent.mkdir(parents=True, exist_ok=True)
        self.settings_file.write_text(text)
