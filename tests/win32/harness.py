# The Wine tests' harness, on tests/xharness.py. Each test class runs in a copy of a template Wine prefix on a private
# Xvfb display, and every process started there is stopped by its id. Controls are clicked where print_layout says they
# lie. Fake browsers (support/fakebrowser.cpp) log what they receive and each reload they perform.

import collections
import contextlib
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))
from xharness import SAVE, SETTLE_SECONDS, Display, HarnessError, wait_until  # noqa: E402

BUILD = Path(__file__).resolve().parents[2] / "build" / "windows"
EXE = Path(os.environ.get("VASKF5_EXE", BUILD / "VaskF5.exe")).resolve()
SUPPORT = Path(os.environ.get("VASKF5_SUPPORT_DIR", BUILD / "tests/win32/support")).resolve()
WORK = Path(os.environ.get("VASKF5_WORK_DIR", BUILD / "tests/win32")).resolve()
MAIN, KEY = "VaskF5Main", r"HKCU\Software\VaskF5\Refresh"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
CHROME, FIREFOX, IE = "Chrome_WidgetWin_1", "MozillaWindowClass", "IEFrame"
PROGRAM = {CHROME: "chrome.exe", FIREFOX: "firefox.exe", IE: "iexplore.exe"}
TIMEOUT = 20.0  # only decides when to give up
WM_SYSCOMMAND, SC_MINIMIZE, SC_RESTORE, MARK = 0x112, 0xF020, 0xF120, 0x8001
# A window as another process sees it; alpha -1 when none is set, xid its X window.
Seen = collections.namedtuple("Seen", "left top width height iconic exstyle alpha xid")


def windows_path(path) -> str:  # through the Z: drive every prefix maps to /
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def run_to_end(command, env, timeout=60.0) -> tuple[int, str]:
    # Through a file, not a pipe: explorer.exe, which Wine starts for the first program that needs the desktop,
    # inherits the handles and would keep a pipe open for the prefix's life.
    with tempfile.TemporaryFile() as out:
        code = subprocess.run([str(a) for a in command], env=env, stdin=subprocess.DEVNULL, stdout=out,
                              stderr=subprocess.STDOUT, timeout=timeout).returncode
        out.seek(0)
        return code, out.read().decode(errors="replace").replace("\r\n", "\n")


def wine_env(display: Display, prefix: Path) -> dict:
    return display.env | {"WINEDEBUG": "-all", "WINEARCH": "win64", "WINEPREFIX": str(prefix),
                          "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d"}


def template(display: Display) -> Path:  # ``wineboot -i`` takes seconds: once per work folder and Wine version
    prefix, version = WORK / "wine-prefix-template", subprocess.run(["wine", "--version"], capture_output=True).stdout
    if (prefix / ".complete").is_file() and (prefix / ".complete").read_bytes() == version:
        return prefix
    shutil.rmtree(prefix, ignore_errors=True)
    env, add = wine_env(display, prefix), ["wine", "reg", "add"]
    # Chinese captions in WenQuanYi Micro Hei; without a window manager, an X focus change is an activation.
    for step in (["wineboot", "-i"], add + [r"HKCU\Software\Wine\Fonts\Replacements", "/v", "微软雅黑", "/d",
                                            "WenQuanYi Micro Hei", "/f"],
                 add + [r"HKCU\Software\Wine\X11 Driver", "/v", "UseTakeFocus", "/d", "N", "/f"], ["wineserver", "-w"]):
        if (result := run_to_end(step, env, 300))[0]:
            raise HarnessError(f"preparing the Wine prefix: {step} failed: {result[1][-2000:]}")
    (prefix / ".complete").write_bytes(version)
    return prefix


# Fake browsers, one program each: (class, frames) under the browser's own program name, or (class, frames, image).
# A frame is labelled by its program and age: "chrome[1]" was made after "chrome[0]" and lies in front of it.
class Browsers:
    def __init__(self, case, programs, name="browsers", hang=False):
        self.case, self.label, self.logs, self.processes, self.marked = case, {}, [], [], []
        for number, (cls, count, *image) in enumerate(programs):
            program = (image or [PROGRAM[cls]])[0]
            log, executable = case.out / f"{name}-{program}.log", case.temp / program
            shutil.copyfile(SUPPORT / "fakebrowser.exe", executable)
            self.processes.append(case.spawn([executable, windows_path(log), 700 + 40 * number, 20, cls, count,
                                              *["--hang"] * hang]))
            wait_until(lambda: b"READY" in log.read_bytes() if log.is_file() else self.processes[-1].poll() is not None,
                       f"the fake {program}", TIMEOUT)
            frames = [int(h) for _, h, what, *_ in map(str.split, log.read_text().splitlines()) if what == "FRAME"]
            self.label |= {hwnd: f"{program[:-4].lower()}[{age}]" for age, hwnd in enumerate(frames)}
            self.logs.append(log)
            self.marked.append(frames[0])  # a window of the program's one thread, for the marker
        self.hwnd = {label: hwnd for hwnd, label in self.label.items()}

    def lines(self, since=None) -> list[tuple]:  # (seconds, label, what) in time order, from a checkpoint on
        new = [log.read_bytes().decode().split("\n")[since[n] if since else 0:-1] for n, log in enumerate(self.logs)]
        return sorted((int(stamp) / 1e6, self.label.get(int(hwnd), hwnd), what)
                      for text in new for stamp, hwnd, what, *_ in map(str.split, text))

    def checkpoint(self) -> tuple:
        return tuple(log.read_bytes().count(b"\n") for log in self.logs)

    def acts(self, since=None) -> collections.Counter:  # e.g. {"chrome[0] RELOAD": 1}
        return collections.Counter(f"{label} {what}" for _, label, what in self.lines(since)
                                   if what in ("RELOAD", "RAISE"))

    def settle(self) -> None:  # time to post anything more, then a marker behind everything each program has queued
        time.sleep(SETTLE_SECONDS)
        mark = self.checkpoint()
        for hwnd in self.marked:
            self.case.probe("post", hwnd, MARK, 0, 0)
        wait_until(lambda: sum(what == "MARK" for *_, what in self.lines(mark)) == len(self.marked), "markers", TIMEOUT)


def reloads(*labels) -> collections.Counter:
    return collections.Counter(f"{label} RELOAD" for label in labels)


class WineCase(unittest.TestCase):  # a class shares a display and prefix; each case stops what it started
    dpi = 96  # the display's scale as the program reads it when it starts

    @classmethod
    def setUpClass(cls) -> None:
        cls.base = WORK / "wine-test-output" / f"{cls.__module__}.{cls.__name__}"
        shutil.rmtree(cls.base, ignore_errors=True)
        cls.base.mkdir(parents=True)
        cls.temp, cls.display, cls.env = Path(tempfile.mkdtemp(prefix="vaskf5-")), Display(window_manager=False), {}
        # Undone in reverse: the Wine server first, then the display, then the prefix.
        cls.addClassCleanup(lambda: os.environ.get("VASKF5_KEEP_WINE_TEMP") or shutil.rmtree(cls.temp, True))
        cls.addClassCleanup(cls.display.stop)
        cls.addClassCleanup(lambda: cls.env and [subprocess.run(["wineserver", flag], env=cls.env, timeout=30)
                                                 for flag in ("-k", "-w")])
        cls.display.start()
        subprocess.run(["cp", "-a", template(cls.display), cls.temp / "prefix"], check=True)
        cls.env = wine_env(cls.display, cls.temp / "prefix")
        layout = cls.wine(cls, [SUPPORT / "print_layout.exe"]).splitlines()
        cls.layout = {w[0]: tuple(map(int, w[1:])) for w in map(str.split, layout) if len(w) == 5}

    def setUp(self) -> None:
        self.out, self.first = self.base / self._testMethodName, len(self.display.processes)
        self.out.mkdir()
        self.addCleanup(self.end_case)

    def end_case(self) -> None:
        self.display.run("import", "-window", "root", self.out / "end.png")
        self.display.xdotool("keyup", "ctrl", "shift", "alt", "s", "mouseup", "1")  # nothing held into the next case
        for process in reversed(self.display.processes[self.first:]):
            self.kill(process)
        wait_until(lambda: not {MAIN, "Edit", *PROGRAM} & {w[2] for w in self.windows()}, "every window gone", TIMEOUT)
        self.reg_delete()
        self.reg_delete(RUN_KEY, "VaskF5")

    # -- processes, the probe, the registry -------------------------------------------------------------------------

    def spawn(self, args, name="") -> subprocess.Popen:  # "wine x.exe" runs as x.exe's own process
        with open(self.out / f"{name or Path(args[0]).stem}.output.txt", "ab") as log:
            return self.display.spawn(["wine", *args], env=self.env, stdout=log, stderr=log)

    def kill(self, process) -> None:
        process.kill()  # nothing when it has ended
        process.wait(timeout=TIMEOUT)

    def wine(self, args, check=True, timeout=60.0) -> str:
        # On a busy machine Wine now and then fails to start a program, which then never ran: it is started again.
        for attempt in range(3):
            code, output = run_to_end(["wine", *args], self.env, timeout)
            if "could not be started" not in output and (code == 0 or output.strip()):
                break
            time.sleep(0.2 * (attempt + 1))
        if check and code:
            raise HarnessError(f"{args} failed ({code}): {output[-2000:]}")
        return output

    def probe(self, *args) -> str:
        return self.wine([SUPPORT / "probe.exe", *args]).strip()

    def windows(self, parent=0) -> list:  # top-level or child windows: hwnd, visible, class, title; front first
        listed = self.probe("windows", parent).splitlines()
        return [(int(hwnd), shown == "1", c, text[1:-1]) for hwnd, shown, c, text in (n.split(" ", 3) for n in listed)]

    def find(self, cls: str, shown=False) -> list[int]:  # the top-level windows of a class, or only the visible ones
        return [hwnd for hwnd, visible, c, _ in self.windows() if c == cls and (visible or not shown)]

    def wait_window(self, cls: str) -> int:
        return wait_until(lambda: self.find(cls, shown=True), f"a window of {cls}", TIMEOUT)[0]

    def seen(self, hwnd: int) -> Seen:
        return Seen(*map(int, self.probe("window", hwnd).split()))

    # Two Wine processes take a focus change in either order, and now and then the desktop ends up in front: then the
    # window is made the foreground window from the Windows side too.
    def focus(self, hwnd: int) -> None:
        for attempt, timeout in enumerate((3.0, 5.0)):
            if attempt:
                self.probe("activate", hwnd)
            self.display.xdotool("windowfocus", wait_until(lambda: self.seen(hwnd).xid, "an X window"))
            with contextlib.suppress(TimeoutError):
                return wait_until(lambda: self.probe("foreground") == str(hwnd), "the foreground", timeout)
        raise TimeoutError(f"window {hwnd} never became the foreground window")

    def reg_add(self, kind: str, data: str, name="Apps", key=KEY, terminated=True) -> None:
        # ``wine reg add`` always ends text with a NUL; ASCII text without it goes through a REGEDIT4 file.
        path = self.temp / "value.reg"
        path.write_text(f'REGEDIT4\r\n\r\n[{key.replace("HKCU", "HKEY_CURRENT_USER")}]\r\n"{name}"=hex(1):'
                        + ",".join(f"{b:02x}" for b in data.encode("ascii")) + "\r\n", newline="")
        self.wine(["reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f"] if terminated
                  else ["regedit", "/s", windows_path(path)])

    def reg_read(self, name="Apps", key=KEY):  # (type, data) as ``reg query`` shows them; None when absent
        for line in self.wine(["reg", "query", key, "/v", name], check=False).splitlines():
            if (words := line.split(None, 2))[:1] == [name] and len(words) > 1:
                return words[1], words[2] if len(words) > 2 else ""

    def reg_delete(self, key=r"HKCU\Software\VaskF5", name=None) -> None:
        self.wine(["reg", "delete", key, *(["/v", name] if name else []), "/f"], check=False)

    # -- the program and its window ---------------------------------------------------------------------------------

    def scene(self, programs, launch=True, **values) -> tuple[Browsers, int]:  # fake browsers, the editor, the program
        browsers = Browsers(self, programs)
        self.spawn([SUPPORT / "probe.exe", "pad"])
        pad = self.wait_window("Edit")
        if launch:
            self.launch(**values)
        return browsers, pad

    def launch(self, exe=EXE, **values) -> int:  # the program started, these values stored first
        for name, data in values.items():
            self.reg_add("REG_SZ", data, name)
        for _ in range(2):  # Wine now and then fails to set up a new process's first window: one more start
            self.program = self.spawn([exe])
            wait_until(lambda: self.program.poll() is not None or self.find(MAIN), f"{exe.name}'s window", TIMEOUT)
            if self.program.poll() in (None, 0):
                break
        self.main = self.wait_window(MAIN)
        self.xid = wait_until(lambda: self.seen(self.main).xid, "the program's X window")
        return self.main

    def stop(self) -> None:
        self.kill(self.program)
        wait_until(lambda: not self.find(MAIN), "the program's window to go", TIMEOUT)

    def wait_for(self, read, what: str, expected=True, timeout=TIMEOUT) -> None:  # expected True: anything true
        with contextlib.suppress(TimeoutError):
            return wait_until(lambda: bool(read()) if expected is True else read() == expected, what, timeout, 0.1)
        self.fail(f"{what}: expected {expected!r}, last seen {read()!r}")

    def box(self, name: str, fx=None, fy=None) -> tuple:  # place and size, or a point, in window pixels at self.dpi
        x, y, width, height = self.layout[name]
        rect = (x, y, width, height) if fx is None else (x + width * fx, y + height * fy)
        return tuple(int((t * self.dpi + 720) // 1440) for t in rect)  # rounded as the host rounds

    def click(self, where, button=1) -> None:  # a control's centre or a point; then the pointer out of the way
        self.display.click(self.xid, *(self.box(where, 0.5, 0.5) if isinstance(where, str) else where), button)
        self.display.xdotool("mousemove", 1270, 790)

    def open_panel(self) -> None:
        self.click("panelButton")
        self.wait_for(lambda: any(v and t == "设置勾选的浏览器" for _, v, _, t in self.windows(self.main)), "the panel")

    # The save chord, or other keys (xdotool's arguments or a function that types), typed into a window: what the
    # browsers did once ``count`` acts showed and anything extra had time to.
    def typed(self, target: int, browsers: Browsers, keys=SAVE, count=0) -> collections.Counter:
        self.focus(target)
        mark = browsers.checkpoint()
        keys() if callable(keys) else self.display.xdotool(*keys)
        with contextlib.suppress(TimeoutError):
            wait_until(lambda: sum(browsers.acts(mark).values()) >= count, f"{count} acts", TIMEOUT)
        browsers.settle()
        return browsers.acts(mark)
