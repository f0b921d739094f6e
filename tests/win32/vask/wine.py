"""A throw-away Wine prefix on a private display: processes started in it, the probe, focus and the registry."""

from __future__ import annotations

import atexit
import contextlib
import fcntl
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
from pathlib import Path

from .config import CONFIG, EXIT_TIMEOUT, SETTINGS_KEY, SELECTION_KEY, SELECTION_VALUE, START_TIMEOUT, \
    HarnessError, wait_until, windows_path
from .xserver import Display

TOOLS = ("wine", "wineserver", "wineboot", "Xvfb", "xdotool", "xdpyinfo", "import", "convert")
SUPPORT_PROGRAMS = ("fakebrowser.exe", "probe.exe", "typepad.exe", "keypoller.exe", "regacl.exe")
TEMPLATE_NAME = "wine-prefix-template"
# Probe questions about one window always print an answer or "no such window"; an exit with neither means Wine did
# not run the probe at all (seen now and then on a busy machine), and the question is asked again.
ANSWERING = {"alpha", "exstyle", "topmost", "iconic", "visible", "rect", "text", "children", "xid"}


def run_to_end(command: list, env: dict, timeout: float) -> subprocess.CompletedProcess:
    """Runs a command to its end; output through files, not pipes: the first program to need the desktop makes Wine
    start explorer.exe, which inherits the standard handles and would keep a pipe open for the prefix's life."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        process = subprocess.run(command, env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=err, timeout=timeout)
        out.seek(0)
        err.seek(0)
        return subprocess.CompletedProcess(process.args, process.returncode, out.read(), err.read())


def wine_environment(prefix: Path, display: str) -> dict[str, str]:
    env = {key: value for key, value in os.environ.items() if key != "WAYLAND_DISPLAY"}
    # No Mono or Gecko installer prompts, no desktop menu entries.
    env |= {"WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d", "WINEARCH": "win64",
            "WINEPREFIX": str(prefix), "DISPLAY": display}
    return env


def ensure_template(display: str) -> Path:
    """The template prefix of this build folder, made on first use and again when the installed Wine changes.

    ``wineboot -i`` takes several seconds, so it is done once and every environment starts from a copy. It is built
    under another name and renamed when complete, under a lock, so concurrent runs never see half a prefix."""
    missing = [tool for tool in TOOLS if shutil.which(tool) is None]
    if missing:
        raise HarnessError(f"missing tools for the Wine tests: {', '.join(missing)} (Debian packages: wine wine64 "
                           "xvfb xdotool x11-utils imagemagick fonts-wqy-microhei)")
    CONFIG.work_dir.mkdir(parents=True, exist_ok=True)
    template, partial = CONFIG.work_dir / TEMPLATE_NAME, CONFIG.work_dir / f"{TEMPLATE_NAME}.partial"
    marker = template / ".vaskf5-template-complete"
    version = subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip()
    with open(CONFIG.work_dir / f"{TEMPLATE_NAME}.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if marker.is_file() and marker.read_text().strip() == version:
            return template
        shutil.rmtree(partial, ignore_errors=True)
        shutil.rmtree(template, ignore_errors=True)
        env = wine_environment(partial, display)
        steps = [["wineboot", "-i"],
                 # Chinese captions: Wine has no 微软雅黑, so it is given WenQuanYi Micro Hei under that name.
                 ["wine", "reg", "add", r"HKCU\Software\Wine\Fonts\Replacements", "/v", "微软雅黑", "/t", "REG_SZ",
                  "/d", "WenQuanYi Micro Hei", "/f"],
                 # No window manager: let Wine take an X focus change (xdotool windowfocus) as activation instead of
                 # waiting for a WM_TAKE_FOCUS message that nobody sends.
                 ["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "UseTakeFocus", "/t", "REG_SZ",
                  "/d", "N", "/f"]]
        try:
            for step in steps:
                result = run_to_end(step, env, timeout=300)
                if result.returncode != 0:
                    raise HarnessError(f"preparing the Wine prefix: {' '.join(step)} failed ({result.returncode}): "
                                       f"{result.stderr.decode(errors='replace')[-2000:]}")
            subprocess.run(["wineserver", "-w"], env=env, timeout=120)  # the registry reaches the files at its end
        except BaseException:
            with contextlib.suppress(Exception):
                subprocess.run(["wineserver", "-k"], env=env, timeout=30)
            raise
        (partial / marker.name).write_text(version + "\n")
        partial.rename(template)
        return template


class WineEnv:
    """One display and one copy of the template prefix, with every process started in them, all stopped by id."""

    def __init__(self, name: str):
        self.output_dir = CONFIG.work_dir / "wine-test-output" / name
        shutil.rmtree(self.output_dir, ignore_errors=True)
        self.output_dir.mkdir(parents=True)
        self.temp_dir = Path(tempfile.mkdtemp(prefix=f"vaskf5-{name}-"))
        self.display = Display(self.output_dir / "xvfb.log")
        self.processes: list[subprocess.Popen] = []
        self.env: dict[str, str] = {}

    def start(self, template_only: bool = False) -> "WineEnv":
        # Also when the runner is stopped half-way by a signal, which skips unittest's class clean-up.
        atexit.register(self.stop)
        try:
            self.display.start()
            template = ensure_template(self.display.name)
            if template_only:
                return self
            missing = [name for name in SUPPORT_PROGRAMS if not CONFIG.support(name).is_file()]
            if missing:
                raise HarnessError(f"support programs not built in {CONFIG.support_dir}: {', '.join(missing)} "
                                   "(build the windows preset, or pass --support-dir DIR to run.py)")
            prefix = self.temp_dir / "prefix"
            subprocess.run(["cp", "-a", str(template), str(prefix)], check=True)
            self.env = wine_environment(prefix, self.display.name)
            self.probe("list", check=True)  # brings up the prefix's server and desktop now, not in the first case
        except BaseException:
            self.stop()
            raise
        return self

    def stop(self) -> None:
        for process in list(reversed(self.processes)):
            self.kill(process)
        if self.env:
            for flag in ("-k", "-w"):
                with contextlib.suppress(Exception):
                    subprocess.run(["wineserver", flag], env=self.env, timeout=30, capture_output=True)
            self.env = {}
        self.display.stop()
        if not CONFIG.keep:
            shutil.rmtree(self.temp_dir, ignore_errors=True)

    # -- processes ------------------------------------------------------------------------------------------------

    def spawn(self, args: list, name: str) -> subprocess.Popen:
        """Starts ``wine program.exe ...`` (its process id is the program's own) with output to <name>.output.txt."""
        with open(self.output_dir / f"{name}.output.txt", "ab") as log:
            process = subprocess.Popen(["wine", *map(str, args)], env=self.env, stdin=subprocess.DEVNULL, stdout=log,
                                       stderr=log, start_new_session=True)
        process.name = name  # type: ignore[attr-defined]
        self.processes.append(process)
        return process

    def kill(self, process: subprocess.Popen) -> None:
        if process.poll() is None:
            with contextlib.suppress(ProcessLookupError):
                process.send_signal(signal.SIGKILL)
            with contextlib.suppress(subprocess.TimeoutExpired):
                process.wait(timeout=EXIT_TIMEOUT)
        if process in self.processes:
            self.processes.remove(process)

    def run_wine(self, args: list, timeout: float = 60.0) -> subprocess.CompletedProcess:
        """Runs a Windows program to its end. On a busy machine Wine's launcher now and then fails before the
        program has started ("could not be started"); the program never ran, so it is simply started again."""
        for attempt in range(3):
            result = run_to_end(["wine", *map(str, args)], self.env, timeout)
            if b"could not be started" not in result.stdout + result.stderr:
                break
            time.sleep(0.2 * (attempt + 1))
        return result

    # -- the probe ------------------------------------------------------------------------------------------------

    def probe(self, *args, check: bool = False) -> tuple[int, str]:
        """probe.exe's (exit code, output). Code 1 means "not found", an answer; anything that says the probe did
        not run properly (another code, or output on stderr that is not the probe's own) fails loudly."""
        for _ in range(3):
            result = self.run_wine([CONFIG.support("probe.exe"), *args])
            silent = result.returncode == 1 and not (result.stdout + result.stderr).strip()
            if not (silent and args[0] in ANSWERING):
                break
            time.sleep(0.2)
        out = result.stdout.decode("utf-8", errors="replace").replace("\r\n", "\n")
        err = result.stderr.decode("utf-8", errors="replace")
        foreign = [line for line in err.splitlines() if line.strip() and not line.startswith("probe:")]
        if result.returncode not in (0, 1) or foreign or (check and result.returncode != 0):
            raise HarnessError(f"probe {' '.join(map(str, args))} failed ({result.returncode}): {err.strip()}")
        return result.returncode, out

    def value(self, question: str, hwnd: int) -> str:
        """One answer about a window: alpha, exstyle, topmost, iconic, visible, rect, text, gettext, xid."""
        return self.probe(question, hwnd, check=True)[1].strip()

    def find(self, cls: str, title: str = "*") -> list[int]:
        """Top-level windows of a class, front to back."""
        return [int(line) for line in self.probe("find", cls, title)[1].split()]

    def wait_window(self, cls: str, title: str = "*") -> int:
        code, out = self.probe("wait", cls, title, int(START_TIMEOUT * 1000))
        if code != 0:
            raise TimeoutError(f"no visible window of class {cls!r}, title {title!r} within {START_TIMEOUT:.0f} s")
        return int(out.split()[0])

    def wait_gone(self, cls: str) -> None:
        if self.probe("gone", cls, "*", int(EXIT_TIMEOUT * 1000))[0] != 0:
            raise TimeoutError(f"a window of class {cls!r} still there after {EXIT_TIMEOUT:.0f} s")

    def rect(self, hwnd: int) -> tuple[int, ...]:
        """x, y, width, height of the window and width, height of its client area."""
        return tuple(int(v) for v in self.value("rect", hwnd).split())

    def exstyle(self, hwnd: int) -> int:
        return int(self.value("exstyle", hwnd), 16)

    def children(self, hwnd: int) -> list[tuple[int, str, str]]:
        """(window, class, text) of each child window."""
        return [(int(m[1]), m[2], m[3]) for m in re.finditer(r'^(-?\d+) (\S+) "(.*)"$', self.probe("children", hwnd)[1],
                                                             re.MULTILINE)]

    def dialogs(self, image: str) -> list[int]:
        """#32770 dialogs of every process with that image name, front to back."""
        return [int(line) for line in self.probe("dialogs", image)[1].split()]

    def pids(self, image: str) -> list[int]:
        return [int(line) for line in self.probe("pids", image)[1].split()]

    # -- focus ----------------------------------------------------------------------------------------------------

    def xid(self, hwnd: int) -> int:
        """The X window of a top-level window; a window can be visible to Windows a moment before it has one."""

        def x_window():
            code, out = self.probe("xid", hwnd)
            return int(out.split()[0]) if code == 0 and out.strip() else 0

        return wait_until(x_window, START_TIMEOUT, f"the X window of window {hwnd}")

    def foreground(self) -> int:
        return int(self.probe("foreground")[1].strip() or 0)

    def focus(self, hwnd: int) -> None:
        """Gives the keyboard to a top-level window and waits until Wine agrees.

        ``xdotool windowfocus`` moves the X focus, which the prefix takes as activation (UseTakeFocus=N). Two Wine
        processes handle the focus moving between them in whichever order they get to it, and now and then the
        desktop ends up in front; then the window is made the foreground window from the Windows side."""
        xid = self.xid(hwnd)
        for attempt, timeout in enumerate((3.0, 5.0)):
            if attempt:
                self.probe("activate", hwnd)
            self.display.xdotool("windowfocus", xid)
            with contextlib.suppress(TimeoutError):
                wait_until(lambda: self.foreground() == hwnd, timeout, f"window {hwnd} to become the foreground")
                return
        raise TimeoutError(f"window {hwnd} never became the foreground window")

    # -- registry -------------------------------------------------------------------------------------------------

    def reg_add(self, value_type: str, data: str, key: str = SELECTION_KEY, name: str = SELECTION_VALUE,
                terminated: bool = True) -> None:
        """REG_SZ text, REG_DWORD number, REG_BINARY hex digits, REG_MULTI_SZ parts joined by \\0. ``wine reg add``
        always ends text with a NUL; ``terminated=False`` stores ASCII text without it, as some programs do, through
        a REGEDIT4 file, whose hex(1) data regedit widens character for character, adding nothing."""
        if terminated:
            result = self.run_wine(["reg", "add", key, "/v", name, "/t", value_type, "/d", data, "/f"])
        else:
            path = self.temp_dir / "value.reg"
            path.write_text(f'REGEDIT4\r\n\r\n[{key.replace("HKCU", "HKEY_CURRENT_USER", 1)}]\r\n"{name}"=hex(1):'
                            + ",".join(f"{byte:02x}" for byte in data.encode("ascii")) + "\r\n", newline="")
            result = self.run_wine(["regedit", "/s", windows_path(path)])
        if result.returncode != 0:
            raise HarnessError(f"storing {key} {name} {value_type} failed: {result.stdout!r} {result.stderr!r}")

    def reg_read(self, key: str = SELECTION_KEY, name: str = SELECTION_VALUE) -> tuple[str, str] | None:
        """(type, data) of a value under HKCU, None when absent; text exactly (read by the probe, not through the
        console code page of ``wine reg query``), other types in hex."""
        code, out = self.probe("reg-read", key.split("\\", 1)[1], name)
        if code != 0:
            if out:
                raise HarnessError(f"probe reg-read answered {code} with {out!r}")
            return None
        value_type, _, data = out.removesuffix("\n").partition(" ")
        return value_type, data

    def reg_delete(self, key: str = SETTINGS_KEY, name: str | None = None) -> None:
        """Removes a key and everything under it, or one value of it; nothing happens when it is absent."""
        result = self.run_wine(["reg", "delete", key, *(["/v", name] if name else []), "/f"])
        if result.returncode != 0 and b"Unable to find" not in result.stdout:
            raise HarnessError(f"wine reg delete {key} {name or ''} failed: {result.stdout!r} {result.stderr!r}")
