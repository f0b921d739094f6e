"""Paths, names and time limits shared by the whole harness; nothing here changes while the tests run."""

from __future__ import annotations

import os
import time
from dataclasses import dataclass
from pathlib import Path

REPO = Path(__file__).resolve().parents[3]

MAIN_CLASS = "VaskF5Main"
MAIN_TITLE = "Vask F5"
SETTINGS_KEY = r"HKCU\Software\VaskF5"
SELECTION_KEY = r"HKCU\Software\VaskF5\Refresh"
SELECTION_VALUE = "Apps"

# Generous bounds for things that normally take well under a second. They only decide when to give up waiting;
# nothing is asserted about how long anything took.
START_TIMEOUT = 20.0
EVENT_TIMEOUT = 10.0
EXIT_TIMEOUT = 15.0
# How long to go on watching before concluding that nothing more will arrive. Only used to prove an absence; well
# above the program's timer period (about 10 ms here), so it can hide a fault but never invent one.
SETTLE_SECONDS = 0.5
# How long a key or mouse button is held: a person's press, spanning several of the program's timer ticks.
HOLD = 0.08


class HarnessError(RuntimeError):
    """The test environment could not be set up or driven; the message says what is missing."""


@dataclass(frozen=True)
class Config:
    exe: Path
    support_dir: Path
    work_dir: Path
    keep: bool

    @staticmethod
    def from_environment() -> "Config":
        """run.py passes its options on through these variables, so that the harness holds no state of its own."""
        build = REPO / "build" / "windows"
        return Config(exe=Path(os.environ.get("VASKF5_EXE", build / "VaskF5.exe")).resolve(),
                      support_dir=Path(os.environ.get("VASKF5_SUPPORT_DIR", build / "tests/win32/support")).resolve(),
                      work_dir=Path(os.environ.get("VASKF5_WORK_DIR", build / "tests/win32")).resolve(),
                      keep=os.environ.get("VASKF5_KEEP_WINE_TEMP", "") not in ("", "0"))

    def support(self, name: str) -> Path:
        return self.support_dir / name


CONFIG = Config.from_environment()


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
