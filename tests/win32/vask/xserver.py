"""A private Xvfb display: starting and stopping it by process id, keys and clicks through xdotool, screenshots."""

from __future__ import annotations

import ctypes
import ctypes.util
import os
import subprocess
import tempfile
import time
from pathlib import Path

from .config import EXIT_TIMEOUT, HOLD, START_TIMEOUT, HarnessError


def _lock_owner(number: int) -> int | None:
    try:
        return int(Path(f"/tmp/.X{number}-lock").read_text().strip())
    except (OSError, ValueError):
        return None


class Region:
    """RGB pixels of a rectangle of the screen, addressed from a chosen origin (the screen's, or a window's)."""

    def __init__(self, x: int, y: int, width: int, height: int, data: bytes):
        if len(data) != width * height * 3:
            raise HarnessError(f"expected {width * height * 3} bytes of pixels, got {len(data)}")
        self.x, self.y, self.width, self.height, self._data = x, y, width, height, data

    def at(self, x: int, y: int) -> tuple[int, int, int]:
        if not (self.x <= x < self.x + self.width and self.y <= y < self.y + self.height):
            raise IndexError(f"pixel {x},{y} lies outside the region {self.x},{self.y} {self.width}x{self.height}")
        i = ((y - self.y) * self.width + (x - self.x)) * 3
        return self._data[i], self._data[i + 1], self._data[i + 2]

    def count(self, points, color: tuple[int, int, int]) -> int:
        return sum(1 for point in points if self.at(*point) == color)


class Display:
    """One Xvfb server on a display number nobody else uses, and the X side of input and output."""

    def __init__(self, log: Path):
        self.log = log
        self.process: subprocess.Popen | None = None
        self.name = ""

    def start(self) -> "Display":
        # Start well above the numbers people and other tools pick by hand; skip every number in use.
        with open(self.log, "wb") as log:
            for number in range(110, 400):
                if Path(f"/tmp/.X11-unix/X{number}").exists() or Path(f"/tmp/.X{number}-lock").exists():
                    continue
                self.process = subprocess.Popen(["Xvfb", f":{number}", "-screen", "0", "1280x800x24", "-nolisten",
                                                 "tcp"], stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                                start_new_session=True)
                self.name = f":{number}"
                deadline = time.monotonic() + START_TIMEOUT
                while time.monotonic() < deadline and self.process.poll() is None:
                    # The lock file names the server that owns the number: ours, not one that got there first.
                    if _lock_owner(number) == self.process.pid and subprocess.run(
                            ["xdpyinfo", "-display", self.name], capture_output=True).returncode == 0:
                        return self
                    time.sleep(0.05)
                self.stop()  # lost a race for that number, or Xvfb is stuck: try the next one
        raise HarnessError("could not start Xvfb on any display number from :110 to :399")

    def stop(self) -> None:
        """Stops our Xvfb politely, so that it removes its lock file and socket; after a hard stop they are removed
        here, but only while the lock still names our process."""
        process, self.process = self.process, None
        if process is None:
            return
        if process.poll() is None:
            process.terminate()
            try:
                process.wait(timeout=EXIT_TIMEOUT)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait(timeout=EXIT_TIMEOUT)
        number = int(self.name[1:])
        if _lock_owner(number) == process.pid:
            Path(f"/tmp/.X11-unix/X{number}").unlink(missing_ok=True)
            Path(f"/tmp/.X{number}-lock").unlink(missing_ok=True)

    # -- input ----------------------------------------------------------------------------------------------------

    def xdotool(self, *args) -> str:
        result = subprocess.run(["xdotool", *map(str, args)], env={**os.environ, "DISPLAY": self.name},
                                stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
        if result.returncode != 0:
            raise HarnessError(f"xdotool {' '.join(map(str, args))} failed: {result.stderr.decode(errors='replace')}")
        return result.stdout.decode(errors="replace")

    def keys(self, *steps: str, hold: float = HOLD) -> None:
        """xdotool key steps such as "keydown ctrl", each followed by a person's hold."""
        args: list = []
        for step in steps:
            args += [*step.split(), "sleep", hold]
        self.xdotool(*args)

    def press(self, key: str) -> None:
        self.keys(f"keydown {key}", f"keyup {key}")

    def combo(self, modifier: str, key: str) -> None:
        """Modifier down, key down, key up, modifier up: how people type Ctrl+S or Alt+F4."""
        self.keys(f"keydown {modifier}", f"keydown {key}", f"keyup {key}", f"keyup {modifier}")

    def drag(self, start: tuple[int, int], end: tuple[int, int], button: int = 1, window: int | None = None,
             steps: int = 8) -> None:
        """A button pressed at ``start``, moved in a few steps to ``end`` and released. Points are on the screen, or
        relative to the X window ``window``; a click is a drag that does not move."""
        where = ["--window", window] if window is not None else []
        args: list = ["mousemove", *where, *start, "sleep", HOLD, "mousedown", button]
        for step in range(1, steps + 1 if start != end else 1):
            point = [a + (b - a) * step // steps for a, b in zip(start, end)]
            args += ["sleep", 0.03, "mousemove", *where, *point]
        self.xdotool(*args, "sleep", HOLD, "mouseup", button)

    def numlock_on(self) -> bool:
        """NumLock among the X keyboard's locked modifiers, asked through libX11's XKB calls (no command-line tool
        reports it). Another client must be connected (Wine is): an Xvfb with none left resets its keyboard."""

        class XkbState(ctypes.Structure):
            _fields_ = [(name, ctypes.c_ubyte) for name in ("group", "locked_group")] + [
                ("base_group", ctypes.c_ushort), ("latched_group", ctypes.c_ushort)] + [
                (name, ctypes.c_ubyte) for name in ("mods", "base_mods", "latched_mods", "locked_mods",
                                                    "compat_state", "grab_mods", "compat_grab_mods", "lookup_mods",
                                                    "compat_lookup_mods")] + [("ptr_buttons", ctypes.c_ushort)]

        x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        x11.XkbGetState.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.POINTER(XkbState)]
        x11.XkbKeysymToModifiers.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        x11.XkbKeysymToModifiers.restype = ctypes.c_uint
        connection = x11.XOpenDisplay(self.name.encode())
        if not connection:
            raise HarnessError(f"could not open X display {self.name}")
        try:
            state = XkbState()
            if x11.XkbGetState(connection, 0x100, ctypes.byref(state)) != 0:  # XkbUseCoreKbd
                raise HarnessError("XkbGetState failed")
            return bool(state.locked_mods & x11.XkbKeysymToModifiers(connection, 0xFF7F))  # XK_Num_Lock
        finally:
            x11.XCloseDisplay(connection)

    # -- output ---------------------------------------------------------------------------------------------------

    def screenshot(self, path: Path, crop: tuple[int, int, int, int] | None = None) -> Path:
        """The screen, or a rectangle (x, y, width, height) of it without metadata, so equal pictures give equal
        files."""
        path.parent.mkdir(parents=True, exist_ok=True)
        with tempfile.TemporaryDirectory() as folder:
            whole = Path(folder) / "screen.png" if crop else path
            subprocess.run(["import", "-display", self.name, "-window", "root", str(whole)], check=True, timeout=60,
                           capture_output=True)
            if crop:
                x, y, width, height = crop
                subprocess.run(["convert", str(whole), "-crop", f"{width}x{height}+{x}+{y}", "+repage", "-strip",
                                str(path)], check=True, timeout=60, capture_output=True)
        return path

    def grab(self, x: int, y: int, width: int, height: int, origin: tuple[int, int] | None = None,
             keep: Path | None = None) -> Region:
        """The pixels of a rectangle of the screen as it is now, addressed from ``origin`` (default: the screen's);
        ``keep`` also saves that rectangle there."""
        with tempfile.TemporaryDirectory() as folder:
            image = self.screenshot(keep or Path(folder) / "part.png", (x, y, width, height))
            data = subprocess.run(["convert", str(image), "-depth", "8", "rgb:-"], capture_output=True, check=True,
                                  timeout=60).stdout
        return Region(*(origin or (x, y)), width, height, data)
