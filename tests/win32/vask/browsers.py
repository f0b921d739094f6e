# Fake browsers: fakebrowser.exe run under the browsers' program names, and what their logs say.

from __future__ import annotations

import contextlib
import shutil
import time
from collections import namedtuple
from pathlib import Path

from xharness import HarnessError, wait_until

from .wine import EVENT_TIMEOUT, START_TIMEOUT, SUPPORT, WineEnv, windows_path

IE, CHROME, FIREFOX, OPERA = "IEFrame", "Chrome_WidgetWin_1", "MozillaWindowClass", "OperaWindowClass"
SHORT_NAMES = {IE: "ie", CHROME: "chrome", FIREFOX: "firefox", OPERA: "opera"}
# The browsers' own program names. Only their windows are ever refreshed; look-alikes of the same classes run under
# other names (Code.exe, thunderbird.exe, msedge.exe, xchrome.exe).
BROWSER_PROGRAMS = {IE: "iexplore.exe", CHROME: "chrome.exe", FIREFOX: "firefox.exe", OPERA: "opera.exe"}
VK_F5, WM_CLOSE, MARK = 0x74, 0x10, 0x8001  # MARK, WM_APP+1, is logged as "you have seen everything before this"
# Only used to prove an absence; well above the program's timer period (about 10 ms here), so it can hide a fault
# but never invent one.
SETTLE_SECONDS = 0.5


# One logged message, its window named by class and index within the class, e.g. "chrome[1]".
Event = namedtuple("Event", "window message wparam lparam", defaults=[0])
# A window of a fake browser; role is frame, popup, hidden-popup, utility (hidden helper) or pip (floating video).
FakeWindow = namedtuple("FakeWindow", "hwnd cls label role program")


def refresh_of(window: str) -> list[Event]:  # what Vask F5 posts to a browser window that it refreshes
    return [Event(window, "ACTIVATE", 1), Event(window, "KEYDOWN", VK_F5), Event(window, "KEYUP", VK_F5)]


# Each browser's windows in one process under its program name, or all of them under ``image``; a browser's own
# program also makes the popups, helper window and floating video real ones make. Within one program messages are
# logged in posting order; across programs only the time stamps order them.
class FakeBrowsers:

    def __init__(self, env: WineEnv, out: Path, windows: list[tuple[str, int]], name: str = "browsers",
                 y: int = 20, hang: bool = False, image: str | None = None):
        self.env = env
        self.windows: list[FakeWindow] = []
        requests: dict[str, list] = {}
        for cls, count in windows:
            requests.setdefault(image or BROWSER_PROGRAMS[cls], []).extend([cls, count])
        self.logs, self.processes = [], []
        for number, (program, request) in enumerate(requests.items()):
            log = out / f"{name}-{program}.log"
            ready = log.with_suffix(".ready")
            executable = env.temp_dir / "programs" / program
            if not executable.is_file():
                executable.parent.mkdir(exist_ok=True)
                shutil.copyfile(SUPPORT / "fakebrowser.exe", executable)
            process = env.spawn([executable, windows_path(log), windows_path(ready), 700 + 40 * number, y,
                                 *["--hang"] * hang, *["--structure"] * (program in BROWSER_PROGRAMS.values()),
                                 *request], f"{name}-{program}")
            self.logs.append(log)
            self.processes.append(process)

            wait_until(lambda: ready.is_file() or process.poll() is not None, f"the fake {program} windows",
                       START_TIMEOUT)
            if not ready.is_file():
                raise HarnessError(f"{program} ended early with code {process.returncode}")
            frames: dict[str, int] = {}
            for hwnd, cls, role in (line.split(" ") for line in ready.read_text().splitlines()):
                short = SHORT_NAMES.get(cls, cls)
                frames[cls] = frames.get(cls, 0) + (role == "frame")
                label = f"{short}.{role}" if role in ("utility", "pip") else \
                    f"{short}[{frames[cls] - 1}]" + ("" if role == "frame" else f".{role}")
                self.windows.append(FakeWindow(int(hwnd), cls, label, role, program))

    def zorder(self, cls: str) -> list[FakeWindow]:  # the frames of a class, front to back, right now
        ours = {w.hwnd: w for w in self.windows if w.role == "frame"}
        return [ours[h] for h in self.env.find(cls) if h in ours]

    def front(self, cls: str) -> str:  # the frame a refresh of that browser goes to
        return self.zorder(cls)[0].label

    def per_program(self, events: list[Event]) -> dict[str, list[Event]]:  # only within one are they ordered
        program_of = {w.label: w.program for w in self.windows}
        result: dict[str, list[Event]] = {}
        for event in events:
            result.setdefault(program_of.get(event.window, "?"), []).append(event)
        return result

    # -- the logs: "<microseconds> <hwnd> <message> <wParam> <lParam>" --------------------------------------------

    def lines(self, log: Path) -> list[list[str]]:
        text = log.read_bytes().decode("ascii", errors="replace") if log.is_file() else ""
        return [line.split() for line in text.split("\n")[:-1] if line.strip()]  # only lines with their newline

    def checkpoint(self) -> tuple[int, ...]:  # a position in the logs, for ``since``
        return tuple(len(self.lines(log)) for log in self.logs)

    def timed_events(self, since: tuple[int, ...] | None = None) -> list[tuple[float, Event]]:
        label = {w.hwnd: w.label for w in self.windows}
        return sorted((float(stamp), Event(label.get(int(hwnd), hwnd), message, int(wparam, 16), int(lparam, 16)))
                      for number, log in enumerate(self.logs)
                      for stamp, hwnd, message, wparam, lparam in self.lines(log)[since[number] if since else 0:]
                      if message != "MARK")

    def events(self, since: tuple[int, ...] | None = None) -> list[Event]:
        return [event for _, event in self.timed_events(since)]

    def wait_events(self, count: int, since: tuple[int, ...] | None = None) -> None:  # the caller compares
        with contextlib.suppress(TimeoutError):
            wait_until(lambda: len(self.events(since)) >= count, f"{count} logged messages", EVENT_TIMEOUT)

    # A marker posted behind whatever is queued in each program: once it shows, so does everything posted before.
    def sync(self) -> None:
        for log, program in zip(self.logs, dict.fromkeys(w.program for w in self.windows)):
            def marks():
                return sum(fields[2] == "MARK" for fields in self.lines(log))

            before = marks()
            self.env.probe("post", next(w.hwnd for w in self.windows if w.program == program), MARK, 0, 0)
            wait_until(lambda: marks() > before, f"the marker in {log.name}", EVENT_TIMEOUT)

    def settle(self) -> None:  # proving an absence: time to post anything more, then everything posted is logged
        time.sleep(SETTLE_SECONDS)
        self.sync()
