"""Fake browsers: fakebrowser.exe run under the browsers' program names, and what their logs say."""

from __future__ import annotations

import shutil
import subprocess
import time
from dataclasses import dataclass
from pathlib import Path

from .config import CONFIG, EVENT_TIMEOUT, SETTLE_SECONDS, START_TIMEOUT, HarnessError, wait_until, windows_path
from .wine import WineEnv

IE, CHROME, FIREFOX, OPERA = "IEFrame", "Chrome_WidgetWin_1", "MozillaWindowClass", "OperaWindowClass"
SHORT_NAMES = {IE: "ie", CHROME: "chrome", FIREFOX: "firefox", OPERA: "opera"}
# The browsers' own program names. Only their windows are ever refreshed; look-alikes of the same classes run under
# other names (Code.exe, thunderbird.exe, msedge.exe, xchrome.exe).
BROWSER_PROGRAMS = {IE: "iexplore.exe", CHROME: "chrome.exe", FIREFOX: "firefox.exe", OPERA: "opera.exe"}
VK_F5 = 0x74


@dataclass(frozen=True)
class Event:
    """One logged message, its window named by class and creation index within the class, e.g. "chrome[1]"."""

    window: str
    message: str
    wparam: int
    lparam: int = 0


def refresh_of(window: str) -> list[Event]:
    """What Vask F5 posts to a browser window that it refreshes."""
    return [Event(window, "ACTIVATE", 1), Event(window, "KEYDOWN", VK_F5), Event(window, "KEYUP", VK_F5)]


@dataclass(frozen=True)
class FakeWindow:
    hwnd: int
    cls: str
    label: str
    role: str  # frame, popup, hidden-popup, utility (hidden helper) or pip (floating video)
    program: str


@dataclass
class _Program:
    """One running copy of fakebrowser.exe: its windows all live on one thread, so messages one sender posts to
    several of them are logged in posting order; across programs only the time stamps order them."""

    image: str
    request: list[tuple[str, int]]
    log: Path
    process: subprocess.Popen | None = None

    def lines(self) -> list[list[str]]:
        try:
            text = self.log.read_bytes().decode("ascii", errors="replace")
        except FileNotFoundError:
            return []
        return [line.split() for line in text.split("\n")[:-1] if line.strip()]  # only lines with their newline


class FakeBrowsers:
    """Each browser's windows in one process under that browser's program name, or all of them under ``image``.
    ``structure`` (on for a browser's own program) adds the other windows the real ones make: owned popups above
    each frame, a hidden helper window, a floating video."""

    def __init__(self, env: WineEnv, out: Path, windows: list[tuple[str, int]], name: str = "browsers",
                 y: int = 20, hang: bool = False, image: str | None = None):
        self.env, self.name = env, name
        self.windows: list[FakeWindow] = []
        groups: dict[str, list[tuple[str, int]]] = {}
        for cls, count in windows:
            groups.setdefault(image or BROWSER_PROGRAMS[cls], []).append((cls, count))
        self.programs = [_Program(program, request, out / f"{name}-{program}.log")
                         for program, request in groups.items()]
        for number, program in enumerate(self.programs):
            ready = program.log.with_suffix(".ready")
            executable = env.temp_dir / "programs" / program.image
            if not executable.is_file():
                executable.parent.mkdir(exist_ok=True)
                shutil.copyfile(CONFIG.support("fakebrowser.exe"), executable)
            args: list = [executable, "--log", windows_path(program.log), "--ready", windows_path(ready),
                          "--x", 700 + 40 * number, "--y", y]
            for cls, count in program.request:
                args += ["--class", cls, "--count", count]
            args += ["--hang-after-ready"] * hang + ["--structure"] * (program.image in BROWSER_PROGRAMS.values())
            program.process = env.spawn(args, f"{name}-{program.image}")

            def started(program=program, ready=ready):
                if program.process.poll() is not None:
                    raise HarnessError(f"{program.image} ended early with code {program.process.returncode}")
                return ready.is_file()

            wait_until(started, START_TIMEOUT, f"the fake {program.image} windows")
            frames: dict[str, int] = {}
            for line in ready.read_text().splitlines():
                hwnd, cls, role = line.split(" ")
                short = SHORT_NAMES.get(cls, cls)
                frames[cls] = frames.get(cls, 0) + (role == "frame")
                label = f"{short}[{frames[cls] - 1}]" + ("" if role == "frame" else f".{role}")
                if role in ("utility", "pip"):
                    label = f"{short}.{role}"
                self.windows.append(FakeWindow(int(hwnd), cls, label, role, program.image))

    @property
    def processes(self) -> list[subprocess.Popen]:
        return [program.process for program in self.programs]

    def zorder(self, cls: str) -> list[FakeWindow]:
        """The frames of a class, front to back, as the window manager lists them right now."""
        ours = {w.hwnd: w for w in self.windows if w.role == "frame"}
        return [ours[h] for h in self.env.find(cls) if h in ours]

    def front(self, cls: str) -> str:
        """The label of the frontmost frame of a class: the window a refresh of that browser goes to."""
        return self.zorder(cls)[0].label

    def per_program(self, events: list[Event]) -> dict[str, list[Event]]:
        """Events split by the program whose window got them, each program's in their order."""
        program_of = {w.label: w.program for w in self.windows}
        result: dict[str, list[Event]] = {}
        for event in events:
            result.setdefault(program_of.get(event.window, "?"), []).append(event)
        return result

    # -- the logs: "<microseconds> <hwnd> <message> <wParam> <lParam>" --------------------------------------------

    def checkpoint(self) -> tuple[int, ...]:
        """A position in the logs; ``events(since=...)`` then shows only what came after it."""
        return tuple(len(program.lines()) for program in self.programs)

    def timed_events(self, since: tuple[int, ...] | None = None) -> list[tuple[float, Event]]:
        """Messages after a checkpoint with their time stamps, markers left out, merged by time stamp."""
        label = {w.hwnd: w.label for w in self.windows}
        result = [(float(stamp), Event(label.get(int(hwnd), hwnd), message, int(wparam, 16), int(lparam, 16)))
                  for number, program in enumerate(self.programs)
                  for stamp, hwnd, message, wparam, lparam in program.lines()[since[number] if since else 0:]
                  if message != "MARK"]
        return sorted(result, key=lambda item: item[0])

    def events(self, since: tuple[int, ...] | None = None) -> list[Event]:
        return [event for _, event in self.timed_events(since)]

    def wait_events(self, count: int, since: tuple[int, ...] | None = None) -> None:
        """Waits until at least ``count`` messages came after the checkpoint; the caller compares what came."""
        try:
            wait_until(lambda: len(self.events(since)) >= count, EVENT_TIMEOUT, f"{count} logged messages")
        except TimeoutError:
            pass

    def sync(self) -> float:
        """Makes sure everything posted so far is logged: a marker is posted behind whatever is queued in each
        program, and once it shows, so does everything before it. Returns the last marker's time stamp."""
        stamp = 0.0
        for program in self.programs:
            def marks(program=program):
                return [float(fields[0]) for fields in program.lines() if fields[2] == "MARK"]

            before = len(marks())
            self.env.probe("mark", next(w.hwnd for w in self.windows if w.program == program.image), check=True)
            stamp = wait_until(lambda: len(marks()) > before and marks(), EVENT_TIMEOUT,
                               f"the marker in {program.log.name}")[-1]
        return stamp

    def settle(self) -> None:
        """Gives a sender time to post anything more it was going to post, then syncs (proving an absence)."""
        time.sleep(SETTLE_SECONDS)
        self.sync()
