# A throw-away Wine prefix on a private Xvfb display: the processes started in it, the probe, focus, the registry.

from __future__ import annotations

import atexit
import contextlib
import fcntl
import os
import re
import shutil
import subprocess
import tempfile
import time
from pathlib import Path

from xharness import Display, HarnessError, require, wait_until

BUILD = Path(__file__).resolve().parents[3] / "build" / "windows"
# run.py and bench/run.py pass their options on through the environment.
EXE = Path(os.environ.get("VASKF5_EXE", BUILD / "VaskF5.exe")).resolve()
SUPPORT = Path(os.environ.get("VASKF5_SUPPORT_DIR", BUILD / "tests/win32/support")).resolve()
WORK = Path(os.environ.get("VASKF5_WORK_DIR", BUILD / "tests/win32")).resolve()
KEEP = os.environ.get("VASKF5_KEEP_WINE_TEMP", "") not in ("", "0")
MAIN_CLASS, MAIN_TITLE = "VaskF5Main", "Vask F5"
SETTINGS_KEY = r"HKCU\Software\VaskF5"
SELECTION_KEY = SETTINGS_KEY + r"\Refresh"
REG_TYPES = {"3": "REG_BINARY", "4": "REG_DWORD", "7": "REG_MULTI_SZ"}
# Generous bounds that only decide when to give up waiting; nothing is asserted about how long anything took.
START_TIMEOUT, EVENT_TIMEOUT = 20.0, 10.0
HOLD = 0.08  # a person's key press, spanning several of the program's timer ticks
PARK = (1270, 790)  # a corner no test window covers: the pointer waits there, so no tool tip hides pixels


def windows_path(path: Path) -> str:  # through the Z: drive that every new prefix maps to /
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def run_to_end(command: list, env: dict, timeout: float = 60.0) -> subprocess.CompletedProcess:
    # Output through files, not pipes: the first program that needs the desktop makes Wine start explorer.exe,
    # which inherits the standard handles and would keep a pipe open for the prefix's life.
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        code = subprocess.run([str(a) for a in command], env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                              timeout=timeout).returncode
        out.seek(0)
        err.seek(0)
        return subprocess.CompletedProcess(command, code, out.read(), err.read())


class WineDisplay(Display):
    def keys(self, *steps: str) -> None:  # xdotool key steps such as "keydown ctrl", each held like a person's
        self.xdotool(*[word for step in steps for word in (*step.split(), "sleep", HOLD)])

    def tap(self, *keys: str) -> None:  # pressed in order, let go in reverse: Ctrl+S as people type it
        self.keys(*[f"keydown {key}" for key in keys], *[f"keyup {key}" for key in reversed(keys)])

    def screenshot(self, path: Path, crop: tuple[int, int, int, int] | None = None) -> None:
        # Without metadata: equal pictures, equal files.
        path.parent.mkdir(parents=True, exist_ok=True)
        where = ["-crop", "{2}x{3}+{0}+{1}".format(*crop), "+repage"] if crop else []
        self.run("import", "-window", "root", *where, "-strip", path)


class WineEnv:  # one display and a copy of the template prefix; every process started in them is stopped by id

    def __init__(self, name: str):
        self.output_dir = WORK / "wine-test-output" / name
        shutil.rmtree(self.output_dir, ignore_errors=True)
        self.output_dir.mkdir(parents=True)
        self.temp_dir = Path(tempfile.mkdtemp(prefix=f"vaskf5-{name}-"))
        self.display = WineDisplay(window_manager=False)
        self.env: dict[str, str] = {}

    def start(self, template_only: bool = False) -> "WineEnv":
        atexit.register(self.stop)  # also when a signal stops the runner, which skips unittest's clean-up
        try:
            require("wine", "wineserver", "wineboot", "convert")
            self.display.start()
            template = self.template()
            if not template_only:
                subprocess.run(["cp", "-a", template, self.temp_dir / "prefix"], check=True)
                self.env = self.wine_env(self.temp_dir / "prefix")
                self.probe("find", "*")  # brings up the prefix's server and desktop now, not in the first case
        except BaseException:
            self.stop()
            raise
        return self

    def wine_env(self, prefix: Path) -> dict[str, str]:
        # No Mono or Gecko installer prompts, no desktop menu entries.
        return self.display.env | {"WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d",
                                   "WINEARCH": "win64", "WINEPREFIX": str(prefix)}

    def template(self) -> Path:
        # ``wineboot -i`` takes seconds: the prefix is made once per work folder and installed Wine, under a lock,
        # and every environment starts from a copy. The marker, written last, says it is complete.
        WORK.mkdir(parents=True, exist_ok=True)
        template = WORK / "wine-prefix-template"
        marker, version = template / ".complete", subprocess.run(["wine", "--version"], capture_output=True).stdout
        with open(WORK / "wine-prefix-template.lock", "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            if marker.is_file() and marker.read_bytes() == version:
                return template
            shutil.rmtree(template, ignore_errors=True)
            env = self.wine_env(template)
            values = [  # Chinese captions: Wine has no 微软雅黑, so WenQuanYi Micro Hei stands in under that name.
                (r"HKCU\Software\Wine\Fonts\Replacements", "微软雅黑", "WenQuanYi Micro Hei"),
                # No window manager: an X focus change (xdotool windowfocus) is taken as activation.
                (r"HKCU\Software\Wine\X11 Driver", "UseTakeFocus", "N")]
            try:
                for step in [["wineboot", "-i"]] + [["wine", "reg", "add", k, "/v", v, "/d", d, "/f"]
                                                    for k, v, d in values]:
                    result = run_to_end(step, env, timeout=300)
                    if result.returncode != 0:
                        raise HarnessError(f"preparing the Wine prefix: {' '.join(step)} failed: "
                                           f"{result.stderr.decode(errors='replace')[-2000:]}")
                subprocess.run(["wineserver", "-w"], env=env, timeout=120)  # the registry reaches the files
            finally:
                subprocess.run(["wineserver", "-k"], env=env, timeout=30, capture_output=True)
            marker.write_bytes(version)
            return template

    def stop(self) -> None:
        for flag in ("-k", "-w") if self.env else ():
            with contextlib.suppress(Exception):
                subprocess.run(["wineserver", flag], env=self.env, timeout=30, capture_output=True)
        self.env = {}
        self.display.stop()
        if not KEEP:
            shutil.rmtree(self.temp_dir, ignore_errors=True)

    # -- processes ------------------------------------------------------------------------------------------------

    def spawn(self, args: list, name: str) -> subprocess.Popen:  # the process id of "wine x.exe" is the program's
        with open(self.output_dir / f"{name}.output.txt", "ab") as log:
            return self.display.spawn(["wine", *args], env=self.env, stdout=log, stderr=log)

    @staticmethod
    def kill(process: subprocess.Popen) -> None:
        with contextlib.suppress(ProcessLookupError):
            process.kill()
        process.wait(timeout=START_TIMEOUT)

    def run_wine(self, args: list, timeout: float = 60.0, check: bool = False) -> subprocess.CompletedProcess:
        # On a busy machine Wine now and then fails to start a program: it says "could not be started", or the
        # program ends at once without a word. It never ran, so it is started again.
        for attempt in range(3):
            result = run_to_end(["wine", *args], self.env, timeout)
            output = result.stdout + result.stderr
            if b"could not be started" not in output and (result.returncode == 0 or output.strip()):
                break
            time.sleep(0.2 * (attempt + 1))
        if check and result.returncode != 0:
            raise HarnessError(f"{' '.join(map(str, args))} failed ({result.returncode}): {output[-2000:]!r}")
        return result

    # -- the probe ------------------------------------------------------------------------------------------------

    def probe(self, *args) -> str:
        return self.run_wine([SUPPORT / "probe.exe", *args], check=True).stdout.decode().replace("\r\n", "\n")

    def value(self, question: str, hwnd: int) -> str:
        return self.probe(question, hwnd).strip()

    def windows(self, *question) -> list[tuple[int, bool, str, str]]:  # handle, visible, class, text; front first
        return [(int(m[1]), m[2] == "1", m[3], m[4])
                for m in re.finditer(r'^(-?\d+) ([01]) (\S+) "(.*)"$', self.probe(*question), re.MULTILINE)]

    def find(self, cls: str, title: str = "*") -> list[int]:
        return [w[0] for w in self.windows("find", cls, title)]

    def rect(self, hwnd: int) -> tuple[int, ...]:  # x, y, width, height, and the client area's width, height
        return tuple(int(v) for v in self.value("rect", hwnd).split())

    def wait_window(self, cls: str, title: str = "*") -> int:
        return wait_until(lambda: [w[0] for w in self.windows("find", cls, title) if w[1]],
                          f"a visible window of class {cls!r}, title {title!r}", START_TIMEOUT)[0]

    def wait_gone(self, cls: str) -> None:
        wait_until(lambda: not self.find(cls), f"the last window of class {cls!r} to go", START_TIMEOUT)

    def xid(self, hwnd: int) -> str:  # a window can be visible to Windows a moment before it has an X window
        return wait_until(lambda: self.value("xid", hwnd), f"the X window of window {hwnd}", START_TIMEOUT)

    # Two Wine processes handle the focus moving between them in whichever order they get to it, and now and then
    # the desktop ends up in front; then the window is made the foreground window from the Windows side.
    def focus(self, hwnd: int) -> None:
        xid = self.xid(hwnd)
        for attempt, timeout in enumerate((3.0, 5.0)):
            if attempt:
                self.probe("activate", hwnd)
            self.display.xdotool("windowfocus", xid)
            with contextlib.suppress(TimeoutError):
                return wait_until(lambda: self.value("foreground", 0) == str(hwnd), "the foreground", timeout)
        raise TimeoutError(f"window {hwnd} never became the foreground window")

    # -- registry -------------------------------------------------------------------------------------------------

    def reg_add(self, value_type: str, data: str, key: str = SELECTION_KEY, name: str = "Apps",
                terminated: bool = True) -> None:
        # ``wine reg add`` always ends text with a NUL; ``terminated=False`` stores ASCII text without it, as some
        # programs do, through a REGEDIT4 file, whose hex(1) data regedit widens character by character.
        if terminated:
            self.run_wine(["reg", "add", key, "/v", name, "/t", value_type, "/d", data, "/f"], check=True)
        else:
            path = self.temp_dir / "value.reg"
            path.write_text(f'REGEDIT4\r\n\r\n[{key.replace("HKCU", "HKEY_CURRENT_USER", 1)}]\r\n"{name}"=hex(1):'
                            + ",".join(f"{byte:02x}" for byte in data.encode("ascii")) + "\r\n", newline="")
            self.run_wine(["regedit", "/s", windows_path(path)], check=True)

    def reg_read(self, key: str = SELECTION_KEY, name: str = "Apps") -> tuple[str, str] | None:
        # Text exactly, not through the console code page of ``wine reg query``; other types in hex.
        type_number, _, data = self.probe("reg-read", key.split("\\", 1)[1], name).strip().partition(" ")
        if type_number == "1":
            return "REG_SZ", bytes.fromhex(data).decode("utf-16-le").rstrip("\0")
        return (REG_TYPES.get(type_number, type_number), data) if type_number else None

    def reg_delete(self, key: str = SETTINGS_KEY, name: str | None = None) -> None:  # a key, or one value
        result = self.run_wine(["reg", "delete", key, *(["/v", name] if name else []), "/f"])
        if result.returncode != 0 and b"Unable to find" not in result.stdout:
            raise HarnessError(f"wine reg delete {key} {name or ''} failed: {result.stdout!r} {result.stderr!r}")
