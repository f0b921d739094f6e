"""Machinery for Vask F5's end-to-end tests under Wine.

Each test module gets one environment of its own (``setUpModule`` / ``tearDownModule`` call ``start_module`` and
``stop_module``): a private Xvfb display on a free number, and a private Wine prefix copied from a template prefix
that is built once per build folder. Everything started here is remembered by process id and stopped by process id,
even when a test fails; the prefix's own wine server is stopped with ``wineserver -k`` for that prefix only.

The support programs (``support/*.cpp``, built for Windows next to the program) do the Windows side:

* ``fakebrowser.exe`` opens windows of real browser classes and logs what is posted to them;
* ``probe.exe`` answers questions about windows (z-order, styles, owner, dialogs, registry) from the outside;
* ``typepad.exe`` is a plain window to type the save chord into.

Keys and clicks come from the X server through ``xdotool``, at human speed.

Paths come from ``run.py`` (``configure``) or from the environment: VASKF5_EXE, VASKF5_SUPPORT_DIR, VASKF5_WORK_DIR.
"""

from __future__ import annotations

import contextlib
import fcntl
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
from dataclasses import dataclass
from pathlib import Path

HERE = Path(__file__).resolve().parent
REPO = HERE.parent.parent

# Window classes the program looks for, and its own.
IE = "IEFrame"
CHROME = "Chrome_WidgetWin_1"
FIREFOX = "MozillaWindowClass"
OPERA = "OperaWindowClass"
MAIN_CLASS = "VaskF5Main"
MAIN_TITLE = "Vask F5"

SETTINGS_KEY = r"HKCU\Software\VaskF5"
SELECTION_KEY = r"HKCU\Software\VaskF5\Refresh"
SELECTION_VALUE = "Apps"

WM_ACTIVATE = 0x0006
WM_CLOSE = 0x0010
WM_KEYDOWN = 0x0100
WM_KEYUP = 0x0101
VK_CONTROL = 0x11
VK_F5 = 0x74

# Generous bounds for things that normally take well under a second. They only decide when to give up waiting;
# nothing is asserted about how long anything took.
START_TIMEOUT = 20.0
EVENT_TIMEOUT = 10.0
EXIT_TIMEOUT = 15.0
# How long to go on watching before concluding that nothing more will arrive. Only used to prove an absence.
SETTLE_SECONDS = 0.5
# How long a key or mouse button is held: a person's press, spanning several of the program's timer ticks.
HOLD = 0.08

WINE_ENV = {
    "WINEDEBUG": "-all",
    # No Mono or Gecko installer prompts, no desktop menu entries.
    "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d",
    "WINEARCH": "win64",
}

TEMPLATE_NAME = "wine-prefix-template"
TEMPLATE_MARKER = ".vaskf5-template-complete"


# Probe commands about one window that print an answer, or "no such window" on stderr, whenever they run.
_ANSWERING_COMMANDS = {"alpha", "exstyle", "style", "topmost", "iconic", "visible", "rect", "pid", "class", "text",
                       "children", "xid", "exists"}


class HarnessError(RuntimeError):
    """The test environment could not be set up or driven; the message says what is missing."""


# --------------------------------------------------------------------------------------------------------------------
# Configuration


@dataclass
class Config:
    exe: Path
    support_dir: Path
    work_dir: Path
    keep: bool = False


def _default_config() -> Config:
    build = REPO / "build" / "windows"
    return Config(
        exe=Path(os.environ.get("VASKF5_EXE", build / "VaskF5.exe")),
        support_dir=Path(os.environ.get("VASKF5_SUPPORT_DIR", build / "tests" / "win32" / "support")),
        work_dir=Path(os.environ.get("VASKF5_WORK_DIR", build / "tests" / "win32")),
        keep=os.environ.get("VASKF5_KEEP_WINE_TEMP", "") not in ("", "0"),
    )


CONFIG = _default_config()


def configure(exe=None, support_dir=None, work_dir=None, keep=None) -> None:
    if exe is not None:
        CONFIG.exe = Path(exe).resolve()
    if support_dir is not None:
        CONFIG.support_dir = Path(support_dir).resolve()
    if work_dir is not None:
        CONFIG.work_dir = Path(work_dir).resolve()
    if keep is not None:
        CONFIG.keep = keep


def require_program() -> Path:
    """The program under test, or a clear failure when it has not been built."""
    if not CONFIG.exe.is_file():
        raise HarnessError(
            f"VaskF5.exe not found at {CONFIG.exe}: build the windows preset first, or pass --exe PATH to run.py"
        )
    return CONFIG.exe


# --------------------------------------------------------------------------------------------------------------------
# Small utilities


def wait_until(predicate, timeout: float, what: str, interval: float = 0.05):
    """Polls ``predicate`` until it returns something true and returns that; raises TimeoutError at the deadline."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise TimeoutError(f"gave up after {timeout:.0f} s waiting for {what}")
        time.sleep(interval)


def windows_path(path: Path) -> str:
    """The Windows name of a Linux path, through the Z: drive that every new prefix maps to /."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


@dataclass(frozen=True)
class Event:
    """One line of a fake browser's log, with the window named by its class and creation index within the class."""

    window: str
    message: str
    wparam: int
    lparam: int


def refresh_of(window: str) -> list[Event]:
    """What Vask F5 posts to a browser window that it refreshes."""
    return [
        Event(window, "ACTIVATE", 1, 0),
        Event(window, "KEYDOWN", VK_F5, 0),
        Event(window, "KEYUP", VK_F5, 0),
    ]


# --------------------------------------------------------------------------------------------------------------------
# The environment: display, prefix, processes


class WineEnv:
    """One Xvfb display and one throw-away Wine prefix, with every process started in them."""

    def __init__(self, name: str):
        self.name = name
        self.display: str | None = None
        self.xvfb: subprocess.Popen | None = None
        self.temp_dir: Path | None = None
        self.prefix: Path | None = None
        self.env: dict[str, str] = {}
        self.processes: list[subprocess.Popen] = []
        self.output_dir = CONFIG.work_dir / "wine-test-output" / name
        self._log_files: list = []

    # -- start and stop -------------------------------------------------------------------------------------------

    def start(self, need_template_only: bool = False) -> "WineEnv":
        _active.append(self)
        _check_tools()
        if not need_template_only:
            _check_support_programs()
        CONFIG.work_dir.mkdir(parents=True, exist_ok=True)
        shutil.rmtree(self.output_dir, ignore_errors=True)
        self.output_dir.mkdir(parents=True, exist_ok=True)
        self.temp_dir = Path(tempfile.mkdtemp(prefix=f"vaskf5-{self.name}-"))
        try:
            self._start_xvfb()
            template = ensure_template(self.display)
            if need_template_only:
                return self
            self.prefix = self.temp_dir / "prefix"
            subprocess.run(["cp", "-a", str(template), str(self.prefix)], check=True)
            self.env = _wine_environment(self.prefix, self.display)
            # Brings up the prefix's server, services and desktop now rather than in the middle of the first case.
            self.probe("list", check=True)
        except BaseException:
            self.stop()
            raise
        return self

    def stop(self) -> None:
        if self in _active:
            _active.remove(self)
        for process in reversed(self.processes):
            self.kill(process)
        self.processes.clear()
        if self.prefix is not None and self.env:
            with contextlib.suppress(Exception):
                subprocess.run(["wineserver", "-k"], env=self.env, timeout=30,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            with contextlib.suppress(Exception):
                subprocess.run(["wineserver", "-w"], env=self.env, timeout=30,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if self.xvfb is not None:
            _stop_xvfb(self.xvfb, int(self.display[1:]) if self.display else None)
            self.xvfb = None
        for handle in self._log_files:
            with contextlib.suppress(Exception):
                handle.close()
        self._log_files.clear()
        if self.temp_dir is not None and not CONFIG.keep:
            shutil.rmtree(self.temp_dir, ignore_errors=True)

    def _start_xvfb(self) -> None:
        log = open(self.output_dir / "xvfb.log", "wb")
        self._log_files.append(log)
        # Start well above the numbers people and other tools pick by hand; skip every number in use.
        for number in range(110, 400):
            if Path(f"/tmp/.X11-unix/X{number}").exists() or Path(f"/tmp/.X{number}-lock").exists():
                continue
            process = subprocess.Popen(
                ["Xvfb", f":{number}", "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
                stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True,
            )
            display = f":{number}"
            deadline = time.monotonic() + START_TIMEOUT
            while time.monotonic() < deadline and process.poll() is None:
                # The lock file names the server that owns the number: ours, and not one that got there first.
                ours = _lock_owner(number) == process.pid
                if ours and subprocess.run(["xdpyinfo", "-display", display], stdout=subprocess.DEVNULL,
                                           stderr=subprocess.DEVNULL).returncode == 0:
                    self.xvfb = process
                    self.display = display
                    return
                time.sleep(0.05)
            # Lost a race for that number (or Xvfb is stuck): stop exactly this one and try the next number.
            _stop_xvfb(process, number)
        raise HarnessError("could not start Xvfb on any display number from :110 to :399")

    # -- processes ------------------------------------------------------------------------------------------------

    def spawn(self, args: list, name: str, wine: bool = True, pipe: bool = False) -> subprocess.Popen:
        """Starts a process in this environment and remembers it, so that it is stopped at the end in any case.

        For ``wine program.exe`` the process id is that of the Windows program itself (not its Windows process id,
        which Wine numbers separately). Output goes to <output folder>/<name>.output.txt, or to a pipe with
        ``pipe``."""
        log = open(self.output_dir / f"{name}.output.txt", "ab")
        self._log_files.append(log)
        command = (["wine"] if wine else []) + [str(a) for a in args]
        process = subprocess.Popen(command, env=self.env, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.PIPE if pipe else log, stderr=log, start_new_session=True)
        process.name = name  # type: ignore[attr-defined]
        self.processes.append(process)
        return process

    def kill(self, process: subprocess.Popen) -> None:
        """Stops one process that this harness started, by its id."""
        if process.poll() is None:
            with contextlib.suppress(ProcessLookupError):
                process.send_signal(signal.SIGKILL)
            with contextlib.suppress(subprocess.TimeoutExpired):
                process.wait(timeout=EXIT_TIMEOUT)
        if process in self.processes:
            self.processes.remove(process)

    def run_wine(self, args: list, timeout: float = 60.0) -> subprocess.CompletedProcess:
        """Runs a Windows program to its end and returns its output.

        Now and then, on a busy machine, Wine's launcher fails before the program has even started ("Application
        could not be started ... ShellExecuteEx failed"); the program never ran, so it is simply started again."""
        for attempt in range(3):
            result = run_to_end(["wine"] + [str(a) for a in args], self.env, timeout)
            if b"could not be started" not in result.stdout + result.stderr:
                break
            time.sleep(0.2 * (attempt + 1))
        return result

    # -- probe ----------------------------------------------------------------------------------------------------

    def probe(self, *args, check: bool = False) -> tuple[int, str]:
        """Runs probe.exe with the arguments; returns (exit code, stdout as text).

        Exit code 1 means "not found", which tests take as an answer; so anything that says the probe did not run
        properly (another code, or output on stderr that is not the probe's own) fails loudly instead."""
        for _ in range(3):
            result = self.run_wine([CONFIG.support_dir / "probe.exe", *[str(a) for a in args]])
            # A question about one window always gets an answer or "no such window"; an exit with neither means
            # Wine did not run the probe at all (seen now and then on a busy machine), so it is asked again.
            silent = result.returncode == 1 and not result.stdout.strip() and not result.stderr.strip()
            if not (silent and str(args[0]) in _ANSWERING_COMMANDS):
                break
            time.sleep(0.2)
        out = result.stdout.decode("utf-8", errors="replace").replace("\r\n", "\n")
        err = result.stderr.decode("utf-8", errors="replace")
        foreign = [line for line in err.splitlines() if line.strip() and not line.startswith("probe:")]
        if result.returncode not in (0, 1) or foreign or (check and result.returncode != 0):
            raise HarnessError(f"probe {' '.join(map(str, args))} failed ({result.returncode}): {err.strip()}")
        return result.returncode, out

    def find(self, cls: str, title: str = "*") -> list[int]:
        """Top-level windows of a class, front to back."""
        _, out = self.probe("find", cls, title)
        return [int(line) for line in out.split()]

    def wait_window(self, cls: str, title: str = "*", timeout: float = START_TIMEOUT) -> int:
        code, out = self.probe("wait", cls, title, int(timeout * 1000))
        if code != 0:
            raise TimeoutError(f"no visible window of class {cls!r}, title {title!r} within {timeout:.0f} s")
        return int(out.split()[0])

    def wait_gone(self, cls: str, title: str = "*", timeout: float = EXIT_TIMEOUT) -> None:
        code, _ = self.probe("gone", cls, title, int(timeout * 1000))
        if code != 0:
            raise TimeoutError(f"window of class {cls!r}, title {title!r} still there after {timeout:.0f} s")

    def probe_value(self, command: str, hwnd: int) -> str:
        _, out = self.probe(command, hwnd, check=True)
        return out.strip()

    def window_pid(self, hwnd: int) -> int:
        return int(self.probe_value("pid", hwnd))

    def windows_pids(self, image: str) -> list[int]:
        _, out = self.probe("pids", image)
        return [int(line) for line in out.split()]

    def rect(self, hwnd: int) -> tuple[int, int, int, int, int, int]:
        """x, y, width, height of the window and width, height of its client area."""
        values = tuple(int(v) for v in self.probe_value("rect", hwnd).split())
        return values  # type: ignore[return-value]

    def dialogs(self, process: str | int) -> list[int]:
        """#32770 dialogs of a Windows process id or of every process with that image name."""
        _, out = self.probe("dialogs", process)
        return [int(line) for line in out.split()]

    def window_texts(self, hwnd: int) -> list[str]:
        """The window's own text and the texts of its child windows."""
        texts = [self.probe_value("text", hwnd)]
        _, out = self.probe("children", hwnd)
        for line in out.splitlines():
            match = re.match(r'^-?\d+ \S+ "(.*)"$', line)
            if match:
                texts.append(match.group(1))
        return texts

    # -- keyboard focus -------------------------------------------------------------------------------------------

    def xid(self, hwnd: int) -> int:
        code, out = self.probe("xid", hwnd)
        if code != 0:
            raise HarnessError(f"window {hwnd} has no X window")
        return int(out.split()[0])

    def foreground(self) -> int:
        _, out = self.probe("foreground")
        return int(out.strip() or 0)

    def focus(self, hwnd: int) -> None:
        """Gives the keyboard to a top-level Wine window and waits until Wine agrees.

        There is no window manager: ``xdotool windowfocus`` moves the X focus, and the prefix is set up so that Wine
        takes an X focus change as activation (UseTakeFocus=N). Two Wine processes handle the focus moving from one
        to the other in whichever order they get to it, and now and then Wine ends up with the desktop in front; then
        the window is made the foreground window from the Windows side, which Wine allows any process to do."""
        xid = self.xid(hwnd)
        self.xdotool("windowfocus", xid)
        try:
            wait_until(lambda: self.foreground() == hwnd, 3.0, f"window {hwnd} to become the foreground window")
            return
        except TimeoutError:
            pass
        self.probe("activate", hwnd)
        self.xdotool("windowfocus", xid)
        wait_until(lambda: self.foreground() == hwnd, 5.0, f"window {hwnd} to become the foreground window")

    # -- X input --------------------------------------------------------------------------------------------------

    def xdotool(self, *args) -> str:
        result = subprocess.run(["xdotool", *[str(a) for a in args]], env=self.env, stdin=subprocess.DEVNULL,
                                capture_output=True, timeout=60)
        if result.returncode != 0:
            raise HarnessError(f"xdotool {' '.join(map(str, args))} failed: {result.stderr.decode(errors='replace')}")
        return result.stdout.decode(errors="replace")

    def search_title(self, pattern: str) -> list[int]:
        """X windows whose title matches a regular expression (xdotool search --name)."""
        result = subprocess.run(["xdotool", "search", "--name", pattern], env=self.env, capture_output=True,
                                timeout=60)
        return [int(line) for line in result.stdout.split()]

    def press(self, key: str, hold: float = HOLD) -> None:
        """One key pressed and released at a person's speed."""
        self.xdotool("keydown", key, "sleep", hold, "keyup", key)

    def combo(self, modifier: str, key: str, hold: float = HOLD) -> None:
        """modifier down, key down, key up, modifier up, each step held like a person would."""
        self.xdotool("keydown", modifier, "sleep", hold, "keydown", key, "sleep", hold, "keyup", key, "sleep", hold,
                     "keyup", modifier)

    def chord_ctrl_s(self) -> None:
        """The save chord the way people type it: Ctrl down, S down, S up, Ctrl up."""
        self.combo("ctrl", "s")

    def click(self, xid: int, x: int, y: int, hold: float = HOLD) -> None:
        """A left click at (x, y) relative to an X window."""
        self.xdotool("mousemove", "--window", xid, x, y, "sleep", hold, "mousedown", "1", "sleep", hold, "mouseup",
                     "1")

    def drag(self, xid: int, start: tuple[int, int], end: tuple[int, int], steps: int = 8) -> None:
        """Left button down at ``start``, moved in a few steps to ``end`` and released; points relative to xid."""
        args: list = ["mousemove", "--window", xid, start[0], start[1], "sleep", HOLD, "mousedown", "1"]
        for step in range(1, steps + 1):
            x = start[0] + (end[0] - start[0]) * step // steps
            y = start[1] + (end[1] - start[1]) * step // steps
            args += ["sleep", 0.03, "mousemove", "--window", xid, x, y]
        args += ["sleep", HOLD, "mouseup", "1"]
        self.xdotool(*args)

    # -- screen ---------------------------------------------------------------------------------------------------

    def screenshot(self, path: Path) -> Path:
        path.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run(["import", "-display", self.display, "-window", "root", str(path)], env=self.env,
                       check=True, timeout=60, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return path

    @staticmethod
    def pixel(image: Path, x: int, y: int) -> tuple[int, int, int]:
        """The RGB colour of one pixel of an image file."""
        result = subprocess.run(["convert", str(image), "-crop", f"1x1+{x}+{y}", "+repage", "-depth", "8", "txt:-"],
                                capture_output=True, check=True, timeout=60)
        match = re.search(r"#([0-9A-Fa-f]{6})", result.stdout.decode(errors="replace"))
        if not match:
            raise HarnessError(f"could not read pixel {x},{y} of {image}: {result.stdout!r}")
        value = int(match.group(1), 16)
        return (value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF

    # -- registry -------------------------------------------------------------------------------------------------

    def reg_add(self, value_type: str, data: str, key: str = SELECTION_KEY, name: str = SELECTION_VALUE) -> None:
        """``wine reg add``: REG_SZ text, REG_DWORD number, REG_BINARY hex digits, REG_MULTI_SZ parts joined by \\0."""
        result = self.run_wine(["reg", "add", key, "/v", name, "/t", value_type, "/d", data, "/f"])
        if result.returncode != 0:
            raise HarnessError(f"wine reg add {key} {name} {value_type} failed: {result.stdout!r} {result.stderr!r}")

    def reg_add_unterminated(self, text: str, key: str = SELECTION_KEY, name: str = SELECTION_VALUE) -> None:
        """A REG_SZ value holding exactly ``text`` (ASCII), without the terminating NUL that ``wine reg add`` always
        writes (some programs store text so), imported through regedit. A REGEDIT4 file's hex(1) data is 8-bit text
        that regedit widens character for character, adding nothing."""
        data = ",".join(f"{byte:02x}" for byte in text.encode("ascii"))
        with tempfile.TemporaryDirectory() as folder:
            path = Path(folder) / "value.reg"
            path.write_text(f'REGEDIT4\r\n\r\n[{key.replace("HKCU", "HKEY_CURRENT_USER", 1)}]\r\n'
                            f'"{name}"=hex(1):{data}\r\n', encoding="ascii", newline="")
            result = self.run_wine(["regedit", "/s", windows_path(path)])
        if result.returncode != 0:
            raise HarnessError(f"wine regedit of {key} {name} failed: {result.stdout!r} {result.stderr!r}")

    def reg_read(self, key: str = SELECTION_KEY, name: str = SELECTION_VALUE) -> tuple[str, str] | None:
        """(type, data) of a value under HKCU, or None when it is absent. Text comes back exactly, other types as hex.

        Read through probe.exe rather than ``wine reg query``, whose output passes through the console code page."""
        subkey = key.split("\\", 1)[1] if key.upper().startswith("HKCU\\") else key
        code, out = self.probe("reg-read", subkey, name)
        if code != 0:
            if out:
                raise HarnessError(f"probe reg-read answered {code} with {out!r}")
            return None
        line = out[:-1] if out.endswith("\n") else out
        value_type, _, data = line.partition(" ")
        return value_type, data

    def reg_delete(self, key: str = SETTINGS_KEY) -> None:
        """Removes a key and everything under it; nothing happens when it is absent."""
        result = self.run_wine(["reg", "delete", key, "/f"])
        if result.returncode != 0 and b"Unable to find" not in result.stdout:
            raise HarnessError(f"wine reg delete {key} failed: {result.stdout!r} {result.stderr!r}")

    def reg_delete_value(self, key: str, name: str) -> None:
        """Removes one value of a key; nothing happens when it is absent."""
        result = self.run_wine(["reg", "delete", key, "/v", name, "/f"])
        if result.returncode != 0 and b"Unable to find" not in result.stdout:
            raise HarnessError(f"wine reg delete {key} /v {name} failed: {result.stdout!r} {result.stderr!r}")

    # -- more about windows, pointer and keyboard -----------------------------------------------------------------

    def wait_xid(self, hwnd: int, timeout: float = START_TIMEOUT) -> int:
        """The X window of a top-level window, waiting for it: a window can be visible to Windows a moment before
        its X window is recorded."""

        def x_window():
            code, out = self.probe("xid", hwnd)
            return int(out.split()[0]) if code == 0 and out.strip() else 0

        return wait_until(x_window, timeout, f"the X window of window {hwnd}")

    def exstyle(self, hwnd: int) -> int:
        """GWL_EXSTYLE of a window, as a number."""
        return int(self.probe_value("exstyle", hwnd), 16)

    def drag_on_screen(self, start: tuple[int, int], end: tuple[int, int], button: int = 1, steps: int = 8) -> None:
        """A button pressed at ``start``, moved in a few steps to ``end`` and released; points on the screen.

        Unlike ``drag``, the points do not follow a window that moves under the pointer, so the pointer travels
        exactly from ``start`` to ``end`` even when the drag moves the window it began on."""
        args: list = ["mousemove", start[0], start[1], "sleep", HOLD, "mousedown", button]
        for step in range(1, steps + 1):
            x = start[0] + (end[0] - start[0]) * step // steps
            y = start[1] + (end[1] - start[1]) * step // steps
            args += ["sleep", 0.03, "mousemove", x, y]
        args += ["sleep", HOLD, "mouseup", button]
        self.xdotool(*args)

    def numlock_on(self) -> bool:
        """Whether NumLock is locked on in this display's keyboard (XKB locked modifiers, through libX11)."""
        return _numlock_locked(self.display)

    def turn_numlock_on(self) -> None:
        """Locks NumLock on (numeric-pad keys then arrive as digits) and waits until the X server agrees."""
        if not self.numlock_on():
            self.press("Num_Lock")
        wait_until(self.numlock_on, EVENT_TIMEOUT, "NumLock to be on")

    def screenshot_region(self, path: Path, x: int, y: int, width: int, height: int) -> Path:
        """A screenshot of one rectangle of the screen, without metadata, so equal pictures give equal files."""
        path.parent.mkdir(parents=True, exist_ok=True)
        with tempfile.TemporaryDirectory() as folder:
            whole = self.screenshot(Path(folder) / "screen.png")
            subprocess.run(["convert", str(whole), "-crop", f"{width}x{height}+{x}+{y}", "+repage", "-strip",
                            str(path)], check=True, timeout=60, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
        return path

    def grab(self, x: int, y: int, width: int, height: int, keep: Path | None = None,
             origin: tuple[int, int] | None = None) -> "Region":
        """The pixels of one rectangle of the screen as it is now, addressed from ``origin`` (default: screen
        coordinates); ``keep`` also saves the whole screen there."""
        with tempfile.TemporaryDirectory() as folder:
            image = self.screenshot(keep if keep is not None else Path(folder) / "screen.png")
            return read_region(image, x, y, width, height, origin)


def _lock_owner(number: int) -> int | None:
    try:
        return int(Path(f"/tmp/.X{number}-lock").read_text().strip())
    except (OSError, ValueError):
        return None


def _stop_xvfb(process: subprocess.Popen, number: int | None) -> None:
    """Stops one Xvfb that this harness started: politely first, so that it removes its lock file and socket."""
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=EXIT_TIMEOUT)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(timeout=EXIT_TIMEOUT)
    # After a hard stop the files are left behind; they are ours only while the lock names our process.
    if number is not None and _lock_owner(number) == process.pid:
        Path(f"/tmp/.X11-unix/X{number}").unlink(missing_ok=True)
        Path(f"/tmp/.X{number}-lock").unlink(missing_ok=True)


def run_to_end(command: list, env: dict, timeout: float) -> subprocess.CompletedProcess:
    """Runs a command to its end and returns its output (as bytes).

    The output goes through files, not pipes: the first program to need the desktop makes Wine start explorer.exe
    and its services, which inherit the program's standard handles and keep a pipe open for as long as the prefix
    lives, so reading a pipe to its end would never return."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        process = subprocess.run(command, env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                 timeout=timeout)
        out.seek(0)
        err.seek(0)
        return subprocess.CompletedProcess(process.args, process.returncode, out.read(), err.read())


def _check_tools() -> None:
    missing = [tool for tool in ("wine", "wineserver", "wineboot", "Xvfb", "xdotool", "xdpyinfo", "import", "convert")
               if shutil.which(tool) is None]
    if missing:
        raise HarnessError(
            "missing tools for the Wine tests: " + ", ".join(missing)
            + " (Debian packages: wine wine64 xvfb xdotool x11-utils imagemagick fonts-wqy-microhei)"
        )


def _check_support_programs() -> None:
    missing = [name for name in ("fakebrowser.exe", "probe.exe", "typepad.exe", "keypoller.exe")
               if not (CONFIG.support_dir / name).is_file()]
    if missing:
        raise HarnessError(f"support programs not built in {CONFIG.support_dir}: {', '.join(missing)} "
                           "(build the windows preset, or pass --support-dir DIR to run.py)")


def _wine_environment(prefix: Path, display: str) -> dict[str, str]:
    env = dict(os.environ)
    env.pop("WAYLAND_DISPLAY", None)
    env.update(WINE_ENV)
    env["WINEPREFIX"] = str(prefix)
    env["DISPLAY"] = display
    return env


def _wine_version() -> str:
    return subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip()


def ensure_template(display: str) -> Path:
    """The template prefix of this build folder, made on first use.

    ``wineboot -i`` takes several seconds, so it is done once; every module then starts from a copy. The template is
    built under another name and renamed when complete, under a lock, so concurrent runs neither see half a prefix
    nor build it twice. It is rebuilt when the installed Wine changes."""
    CONFIG.work_dir.mkdir(parents=True, exist_ok=True)
    template = CONFIG.work_dir / TEMPLATE_NAME
    marker = template / TEMPLATE_MARKER
    version = _wine_version()
    with open(CONFIG.work_dir / f"{TEMPLATE_NAME}.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if marker.is_file() and marker.read_text().strip() == version:
            return template
        partial = CONFIG.work_dir / f"{TEMPLATE_NAME}.partial"
        shutil.rmtree(partial, ignore_errors=True)
        shutil.rmtree(template, ignore_errors=True)
        env = _wine_environment(partial, display)
        steps = [
            ["wineboot", "-i"],
            # Chinese captions: Wine has no 微软雅黑, so it is given WenQuanYi Micro Hei under that name.
            ["wine", "reg", "add", r"HKCU\Software\Wine\Fonts\Replacements", "/v", "微软雅黑", "/t", "REG_SZ",
             "/d", "WenQuanYi Micro Hei", "/f"],
            # No window manager here: let Wine take an X focus change (xdotool windowfocus) as activation, instead
            # of waiting for a WM_TAKE_FOCUS message that nobody sends.
            ["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "UseTakeFocus", "/t", "REG_SZ",
             "/d", "N", "/f"],
        ]
        try:
            for step in steps:
                result = run_to_end(step, env, timeout=300)
                if result.returncode != 0:
                    raise HarnessError(f"preparing the Wine prefix: {' '.join(step)} failed ({result.returncode}): "
                                       f"{result.stderr.decode(errors='replace')[-2000:]}")
            # The registry reaches the prefix's files when its server ends.
            subprocess.run(["wineserver", "-w"], env=env, timeout=120)
        except BaseException:
            with contextlib.suppress(Exception):
                subprocess.run(["wineserver", "-k"], env=env, timeout=30)
            raise
        (partial / TEMPLATE_MARKER).write_text(version + "\n")
        partial.rename(template)
        return template


# --------------------------------------------------------------------------------------------------------------------
# Module-wide environment

_current: WineEnv | None = None
_active: list[WineEnv] = []


def stop_all() -> None:
    """Stops every environment still running (for a runner that is told to stop half-way)."""
    global _current
    for env in list(reversed(_active)):
        env.stop()
    _current = None


def start_module(module_name: str) -> WineEnv:
    global _current
    name = module_name.rsplit(".", 1)[-1]
    env = WineEnv(name)
    env.start()
    _current = env
    return env


def stop_module() -> None:
    global _current
    if _current is not None:
        _current.stop()
        _current = None


def current_env() -> WineEnv:
    if _current is None:
        raise HarnessError("no Wine environment: the test module must call harness.start_module in setUpModule")
    return _current


# --------------------------------------------------------------------------------------------------------------------
# Fake browsers


@dataclass(frozen=True)
class FakeWindow:
    hwnd: int
    cls: str
    label: str  # class short name and creation index of the frame within the class, e.g. "chrome[1]"
    role: str = "frame"  # frame, popup, hidden-popup, utility or pip
    program: str = "fakebrowser.exe"


SHORT_NAMES = {IE: "ie", CHROME: "chrome", FIREFOX: "firefox", OPERA: "opera"}

# The browsers' own program names. Only windows of these programs are ever refreshed; look-alikes of the same
# classes run under other names (Code.exe, thunderbird.exe, msedge.exe, xchrome.exe).
BROWSER_PROGRAMS = {IE: "iexplore.exe", CHROME: "chrome.exe", FIREFOX: "firefox.exe", OPERA: "opera.exe"}


def program_copy(env: "WineEnv", image: str) -> Path:
    """fakebrowser.exe copied under a program name into the environment's folder, once: the window manager then
    reports that name as the program of its windows."""
    folder = env.temp_dir / "programs"
    folder.mkdir(parents=True, exist_ok=True)
    target = folder / image
    if not target.is_file():
        shutil.copyfile(CONFIG.support_dir / "fakebrowser.exe", target)
    return target


@dataclass
class _Program:
    """One running copy of fakebrowser.exe and its files."""

    image: str
    request: list[tuple[str, int]]
    log_path: Path
    ready_path: Path
    process: subprocess.Popen | None = None


class FakeBrowsers:
    """Fake browser windows: each browser's windows in one process running under that browser's program name
    (chrome.exe, firefox.exe, ...), or all of them in one process under ``image`` when it is given.

    Windows of one process live on one thread, so messages that one sender posts to several of them come out of the
    one message queue, and so are logged, in the order they were posted; across processes only the time stamps
    order them. ``structure`` (on by default for a browser's own program) gives Chrome and Firefox the other
    top-level windows the real ones make: owned popups above each frame, a hidden helper window, a floating video."""

    def __init__(self, env: WineEnv, out_dir: Path, windows: list[tuple[str, int]], name: str = "browsers",
                 x: int = 700, y: int = 20, hang: bool = False, color: str | None = None, image: str | None = None,
                 structure: bool | None = None):
        self.env = env
        self.color = color
        self.name = name
        self.x, self.y, self.hang = x, y, hang
        self.structure = structure
        groups: dict[str, list[tuple[str, int]]] = {}
        for cls, count in windows:
            groups.setdefault(image or BROWSER_PROGRAMS.get(cls, "fakebrowser.exe"), []).append((cls, count))
        several = len(groups) > 1
        self.programs = [_Program(program, request, out_dir / f"{name}-{program}.log" if several else out_dir / f"{name}.log",
                                  out_dir / f"{name}-{program}.ready" if several else out_dir / f"{name}.ready")
                         for program, request in groups.items()]
        self.windows: list[FakeWindow] = []

    @property
    def process(self) -> subprocess.Popen:
        """The process, when all the windows are in one."""
        if len(self.programs) != 1:
            raise HarnessError(f"{self.name} runs {len(self.programs)} programs; use .processes")
        return self.programs[0].process

    @property
    def log_path(self) -> Path:
        """The log, when all the windows are in one process."""
        if len(self.programs) != 1:
            raise HarnessError(f"{self.name} runs {len(self.programs)} programs, each with its own log")
        return self.programs[0].log_path

    @property
    def processes(self) -> list[subprocess.Popen]:
        return [program.process for program in self.programs if program.process is not None]

    def start(self) -> "FakeBrowsers":
        for number, program in enumerate(self.programs):
            for path in (program.log_path, program.ready_path):
                path.unlink(missing_ok=True)
            executable = program_copy(self.env, program.image) if program.image != "fakebrowser.exe" \
                else CONFIG.support_dir / "fakebrowser.exe"
            args: list = [executable]
            for cls, count in program.request:
                args += ["--class", cls, "--count", count]
            args += ["--log", windows_path(program.log_path), "--ready", windows_path(program.ready_path),
                     "--x", self.x + 40 * number, "--y", self.y]
            if self.color:
                args += ["--color", self.color]
            if self.hang:
                args.append("--hang-after-ready")
            if self.structure if self.structure is not None else program.image in BROWSER_PROGRAMS.values():
                args.append("--structure")
            program.process = self.env.spawn(args, f"{self.name}-{program.image}")

        frames: dict[str, int] = {}
        for program in self.programs:
            def ready(program=program):
                if program.process.poll() is not None:
                    raise HarnessError(f"{program.image} ended early with code {program.process.returncode}")
                return program.ready_path.is_file()

            wait_until(ready, START_TIMEOUT, f"the fake {program.image} windows")
            for line in program.ready_path.read_text().splitlines():
                hwnd_text, cls, role = line.split(" ")
                short = SHORT_NAMES.get(cls, cls)
                if role == "frame":
                    frames[cls] = frames.get(cls, 0) + 1
                    label = f"{short}[{frames[cls] - 1}]"
                elif role in ("popup", "hidden-popup"):
                    label = f"{short}[{frames.get(cls, 0) - 1}].{role}"
                else:
                    label = f"{short}.{role}"
                self.windows.append(FakeWindow(int(hwnd_text), cls, label, role, program.image))
        return self

    def of_class(self, cls: str) -> list[FakeWindow]:
        """The frames of a class, in creation order."""
        return [w for w in self.windows if w.cls == cls and w.role == "frame"]

    def label(self, hwnd: int) -> str:
        for window in self.windows:
            if window.hwnd == hwnd:
                return window.label
        return f"foreign window {hwnd}"

    def zorder(self, cls: str) -> list[FakeWindow]:
        """The frames of a class, front to back, as the window manager lists them right now."""
        ours = {w.hwnd: w for w in self.windows if w.role == "frame"}
        return [ours[h] for h in self.env.find(cls) if h in ours]

    def per_program(self, events: list[Event]) -> dict[str, list[Event]]:
        """Events split by the program whose window got them, each program's in their order."""
        program_of = {w.label: w.program for w in self.windows}
        result: dict[str, list[Event]] = {}
        for event in events:
            result.setdefault(program_of.get(event.window, "?"), []).append(event)
        return result

    # -- the log --------------------------------------------------------------------------------------------------

    @staticmethod
    def _lines(program: _Program) -> list[list[str]]:
        try:
            text = program.log_path.read_bytes().decode("ascii", errors="replace")
        except FileNotFoundError:
            return []
        # A line is only complete with its newline; the writer never leaves half a line, but be strict anyway.
        return [line.split() for line in text.split("\n")[:-1] if line.strip()]

    def checkpoint(self) -> tuple[int, ...]:
        """A position in the logs; ``events(since=...)`` then shows only what came after it."""
        return tuple(len(self._lines(program)) for program in self.programs)

    def timed_events(self, since: tuple[int, ...] | None = None) -> list[tuple[float, Event]]:
        """Logged messages after a checkpoint with their time stamps, markers left out, all programs' merged by
        time stamp (each program's own stay in their logged order)."""
        result = []
        for number, program in enumerate(self.programs):
            for fields in self._lines(program)[since[number] if since else 0:]:
                stamp, _, hwnd, message, wparam, lparam = fields[:6]
                if message != "MARK":
                    result.append((float(stamp), Event(self.label(int(hwnd)), message, int(wparam, 16),
                                                       int(lparam, 16))))
        return sorted(result, key=lambda item: item[0])

    def events(self, since: tuple[int, ...] | None = None) -> list[Event]:
        """Logged messages after a checkpoint, markers left out."""
        return [event for _, event in self.timed_events(since)]

    def last_mark_stamp(self) -> float:
        """The time stamp of the latest marker in the first program's log."""
        return float([f for f in self._lines(self.programs[0]) if f[3] == "MARK"][-1][0])

    def wait_events(self, count: int, since: tuple[int, ...] | None = None, timeout: float = EVENT_TIMEOUT) -> bool:
        """Waits until at least ``count`` messages were logged after the checkpoint; False if they never came."""
        try:
            wait_until(lambda: len(self.events(since)) >= count, timeout, f"{count} logged messages")
            return True
        except TimeoutError:
            return False

    def sync(self, timeout: float = EVENT_TIMEOUT) -> None:
        """Makes sure that everything posted to these windows so far has been logged.

        A marker is posted behind whatever is queued in each program; once it shows in the log, so does everything
        before it."""
        for program in self.programs:
            def marks(program=program):
                return sum(1 for fields in self._lines(program) if fields[3] == "MARK")

            before = marks()
            first = next(w for w in self.windows if w.program == program.image)
            self.env.probe("mark", first.hwnd, check=True)
            wait_until(lambda: marks() > before, timeout, f"the marker in {program.log_path.name}")

    def settle(self) -> None:
        """Gives a sender time to post anything more it was going to post, then syncs.

        The fixed wait that proves an absence: how long we keep watching before we believe that nothing else is
        coming. A sender slower than this to post something extra would go unnoticed, so the wait can hide a fault
        but never invent one; it is well above the program's timer period (about 10 ms here)."""
        time.sleep(SETTLE_SECONDS)
        self.sync()


# --------------------------------------------------------------------------------------------------------------------
# Test case base


class WineTestCase(unittest.TestCase):
    """A test case in the module's Wine environment.

    Every process a case starts is stopped when the case ends, and the program's settings are removed, so that
    cases do not depend on each other. When a case fails, a screenshot and the list of windows are kept in its
    output folder (under the build folder's wine-test-output)."""

    maxDiff = None

    def setUp(self) -> None:
        self.env = current_env()
        self.out = self.env.output_dir / self.id().split(".", 1)[-1]
        shutil.rmtree(self.out, ignore_errors=True)
        self.out.mkdir(parents=True, exist_ok=True)
        self.case_processes: list[subprocess.Popen] = []
        self.env.reg_delete(SETTINGS_KEY)
        self.addCleanup(self._end_case)

    def _failed_so_far(self) -> bool:
        """Whether this case (or one of its subtests) has failed, as reported to the result so far."""
        result = getattr(getattr(self, "_outcome", None), "result", None)
        if result is None:
            return True
        return any(test is self or getattr(test, "test_case", None) is self
                   for test, _ in list(result.failures) + list(result.errors))

    def _end_case(self) -> None:
        if self._failed_so_far():
            self.keep_diagnostics()
        for process in reversed(self.case_processes):
            self.env.kill(process)
        self.case_processes.clear()
        # Windows of killed processes go when the wine server notices; wait so the next case starts clean (the
        # program's single-instance check in particular).
        lingering = []
        for cls in (MAIN_CLASS, "VaskTypepad", IE, CHROME, FIREFOX, OPERA):
            try:
                self.env.wait_gone(cls)
            except TimeoutError as error:
                lingering.append(str(error))
        self.env.reg_delete(SETTINGS_KEY)
        if lingering:
            raise HarnessError("after the case: " + "; ".join(lingering))

    def keep_diagnostics(self) -> None:
        with contextlib.suppress(Exception):
            self.env.screenshot(self.out / "failure.png")
        with contextlib.suppress(Exception):
            (self.out / "windows.txt").write_text(self.env.probe("list")[1])
        print(f"\n  diagnostics kept in {self.out}", file=sys.stderr)

    # -- starting things ------------------------------------------------------------------------------------------

    def track(self, process: subprocess.Popen) -> subprocess.Popen:
        self.case_processes.append(process)
        return process

    def start_browsers(self, windows: list[tuple[str, int]], name: str = "browsers", **kwargs) -> FakeBrowsers:
        browsers = FakeBrowsers(self.env, self.out, windows, name=name, **kwargs)
        try:
            browsers.start()
        finally:
            for process in browsers.processes:
                self.track(process)
        return browsers

    def start_typepad(self, *extra: str, title: str = "typepad") -> tuple[subprocess.Popen, int]:
        process = self.track(self.env.spawn([CONFIG.support_dir / "typepad.exe", "--title", title, *extra],
                                            f"typepad-{title}"))
        hwnd = self.env.wait_window("VaskTypepad", title)
        return process, hwnd

    def start_program(self, name: str = "vaskf5", program: Path | None = None) -> subprocess.Popen:
        """Starts VaskF5.exe (or another build of it) and waits until it has a window (shown or not) or has ended.

        On a busy machine Wine now and then fails to set up a new process's first window and the program ends with
        code 1 before it has any; that start is reported and made once more, so a program that really cannot start
        still fails the test."""
        for attempt in (1, 2):
            process = self.track(self.env.spawn([program or require_program()], name))
            wait_until(lambda: process.poll() is not None or bool(self.env.find(MAIN_CLASS)), START_TIMEOUT,
                       "VaskF5.exe to make its window or end")
            if process.poll() in (None, 0) or attempt == 2:
                return process
            sys.stderr.write(f"VaskF5.exe ended with code {process.returncode} before it had a window; "
                             "starting it once more\n")
        return process

    def wait_main_window(self, process: subprocess.Popen, timeout: float = START_TIMEOUT) -> int:
        """The program's visible main window, once it is there. Fails if the program ends first."""

        def shown():
            if process.poll() is not None:
                self.fail(f"VaskF5.exe ended with code {process.returncode} before showing its window")
            found = self.env.find(MAIN_CLASS, MAIN_TITLE)
            # A window may go between the two questions; it then simply does not count.
            return [h for h in found if self.env.probe("visible", h) == (0, "1\n")]

        windows = wait_until(shown, timeout, f"the {MAIN_TITLE!r} window")
        self.assertEqual(len(windows), 1, "the program shows exactly one main window")
        return windows[0]

    def wait_exit(self, process: subprocess.Popen, timeout: float = EXIT_TIMEOUT) -> int:
        try:
            return process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.fail(f"{getattr(process, 'name', 'process')} still running {timeout:.0f} s later")


# --------------------------------------------------------------------------------------------------------------------
# Pixels and keyboard state


class Region:
    """RGB pixels of a rectangle of a picture, addressed by the picture's own coordinates."""

    def __init__(self, x: int, y: int, width: int, height: int, data: bytes):
        if len(data) != width * height * 3:
            raise HarnessError(f"expected {width * height * 3} bytes of pixels, got {len(data)}")
        self.x, self.y, self.width, self.height = x, y, width, height
        self._data = data

    def at(self, x: int, y: int) -> tuple[int, int, int]:
        if not (self.x <= x < self.x + self.width and self.y <= y < self.y + self.height):
            raise IndexError(f"pixel {x},{y} lies outside the region {self.x},{self.y} {self.width}x{self.height}")
        i = ((y - self.y) * self.width + (x - self.x)) * 3
        return self._data[i], self._data[i + 1], self._data[i + 2]

    def count(self, points, color: tuple[int, int, int]) -> int:
        """How many of the points have exactly this colour."""
        return sum(1 for point in points if self.at(*point) == color)


def read_region(image: Path, x: int, y: int, width: int, height: int,
                origin: tuple[int, int] | None = None) -> Region:
    """Reads a rectangle of an image file as 8-bit RGB (one ``convert`` run for the whole rectangle).

    The pixels keep the image's coordinates, or are addressed from ``origin`` when given: (0, 0) for a window's
    client area read at the window's place on the screen."""
    result = subprocess.run(["convert", str(image), "-crop", f"{width}x{height}+{x}+{y}", "+repage", "-depth", "8",
                             "rgb:-"], capture_output=True, check=True, timeout=60)
    left, top = origin if origin is not None else (x, y)
    return Region(left, top, width, height, result.stdout)


def _numlock_locked(display: str) -> bool:
    """NumLock's modifier among the X keyboard's locked modifiers, asked through libX11's XKB calls.

    Asked from this process because no command-line tool in the test set-up reports it. The display must have
    another client connected (Wine is): an Xvfb with none left resets its keyboard state."""
    import ctypes
    import ctypes.util

    class XkbState(ctypes.Structure):
        _fields_ = [("group", ctypes.c_ubyte), ("locked_group", ctypes.c_ubyte), ("base_group", ctypes.c_ushort),
                    ("latched_group", ctypes.c_ushort), ("mods", ctypes.c_ubyte), ("base_mods", ctypes.c_ubyte),
                    ("latched_mods", ctypes.c_ubyte), ("locked_mods", ctypes.c_ubyte),
                    ("compat_state", ctypes.c_ubyte), ("grab_mods", ctypes.c_ubyte),
                    ("compat_grab_mods", ctypes.c_ubyte), ("lookup_mods", ctypes.c_ubyte),
                    ("compat_lookup_mods", ctypes.c_ubyte), ("ptr_buttons", ctypes.c_ushort)]

    x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    x11.XkbGetState.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.POINTER(XkbState)]
    x11.XkbKeysymToModifiers.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x11.XkbKeysymToModifiers.restype = ctypes.c_uint
    connection = x11.XOpenDisplay(display.encode())
    if not connection:
        raise HarnessError(f"could not open X display {display}")
    try:
        state = XkbState()
        xkb_use_core_kbd = 0x100
        if x11.XkbGetState(connection, xkb_use_core_kbd, ctypes.byref(state)) != 0:
            raise HarnessError("XkbGetState failed")
        num_lock_keysym = 0xFF7F
        mask = x11.XkbKeysymToModifiers(connection, num_lock_keysym)
        if not mask:
            raise HarnessError("the keyboard map binds Num_Lock to no modifier")
        return bool(state.locked_mods & mask)
    finally:
        x11.XCloseDisplay(connection)

