# The Wine tests' harness, on tests/xharness.py: a copy of a template Wine prefix on a private Xvfb display per test
# class, every process started there stopped by its id; the probe; fake browsers and their logs; the program's
# controls where print_layout says they lie; the base test case.

import collections
import contextlib
import fcntl
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))
from xharness import Display, HarnessError, require, wait_until  # noqa: E402

BUILD = Path(__file__).resolve().parents[2] / "build" / "windows"
EXE = Path(os.environ.get("VASKF5_EXE", BUILD / "VaskF5.exe")).resolve()
SUPPORT = Path(os.environ.get("VASKF5_SUPPORT_DIR", BUILD / "tests/win32/support")).resolve()
WORK = Path(os.environ.get("VASKF5_WORK_DIR", BUILD / "tests/win32")).resolve()
KEEP = os.environ.get("VASKF5_KEEP_WINE_TEMP", "") not in ("", "0")
MAIN, KEY, RUN_KEY = "VaskF5Main", r"HKCU\Software\VaskF5\Refresh", r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
CHROME, FIREFOX, IE, OPERA = "Chrome_WidgetWin_1", "MozillaWindowClass", "IEFrame", "OperaWindowClass"
PROGRAM = {CHROME: "chrome.exe", FIREFOX: "firefox.exe", IE: "iexplore.exe", OPERA: "opera.exe"}
SHORT = {CHROME: "chrome", FIREFOX: "firefox", IE: "ie", OPERA: "opera"}
TIMEOUT, HOLD = 20.0, 0.08  # a bound that only decides when to give up; a person's key press
SETTLE = 0.5  # proving an absence: far above the program's timer ticks, so it can hide a fault but never invent one
WM_SYSCOMMAND, SC_MINIMIZE, SC_RESTORE, MARK = 0x112, 0xF020, 0xF120, 0x8001
Window = collections.namedtuple("Window", "hwnd cls label role program")


def windows_path(path) -> str:  # through the Z: drive every prefix maps to /
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def run_to_end(command, env, timeout=60.0) -> subprocess.CompletedProcess:
    # Through files, not pipes: explorer.exe, which Wine starts for the first program that needs the desktop,
    # inherits the handles and would keep a pipe open for the prefix's life.
    with tempfile.TemporaryFile() as out:
        code = subprocess.run([str(a) for a in command], env=env, stdin=subprocess.DEVNULL, stdout=out,
                              stderr=subprocess.STDOUT, timeout=timeout).returncode
        out.seek(0)
        return subprocess.CompletedProcess(command, code, out.read().decode(errors="replace").replace("\r\n", "\n"))


class WineEnv:
    def __init__(self, name: str):
        self.out = WORK / "wine-test-output" / name
        shutil.rmtree(self.out, ignore_errors=True)
        self.out.mkdir(parents=True)
        self.temp = Path(tempfile.mkdtemp(prefix=f"vaskf5-{name}-"))
        self.display, self.env, self.layout = Display(window_manager=False), {}, {}

    def start(self, template_only=False) -> "WineEnv":
        try:
            require("wine", "wineserver", "wineboot")
            self.display.start()
            template = self.template()
            if not template_only:
                subprocess.run(["cp", "-a", template, self.temp / "prefix"], check=True)
                self.env = self.wine_env(self.temp / "prefix")
                for line in self.wine([SUPPORT / "print_layout.exe"]).splitlines():  # also brings the prefix up
                    if len(words := line.split()) == 5:
                        self.layout[words[0]] = tuple(map(int, words[1:]))
        except BaseException:
            self.stop()
            raise
        return self

    def wine_env(self, prefix: Path) -> dict:
        return self.display.env | {"WINEDEBUG": "-all", "WINEARCH": "win64", "WINEPREFIX": str(prefix),
                                   "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d"}

    def template(self) -> Path:  # made once per work folder and Wine version, under a lock; copied per class
        WORK.mkdir(parents=True, exist_ok=True)
        template, version = WORK / "wine-prefix-template", subprocess.run(["wine", "--version"], capture_output=True).stdout
        with open(WORK / "wine-prefix-template.lock", "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            if (template / ".complete").is_file() and (template / ".complete").read_bytes() == version:
                return template
            shutil.rmtree(template, ignore_errors=True)
            env = self.wine_env(template)
            # Chinese captions in WenQuanYi Micro Hei; without a window manager, an X focus change is activation.
            steps = [["wineboot", "-i"], ["wine", "reg", "add", r"HKCU\Software\Wine\Fonts\Replacements", "/v", "微软雅黑",
                                           "/d", "WenQuanYi Micro Hei", "/f"],
                     ["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "UseTakeFocus", "/d", "N", "/f"]]
            try:
                for step in steps:
                    if (result := run_to_end(step, env, 300)).returncode:
                        raise HarnessError(f"preparing the Wine prefix: {step} failed: {result.stdout[-2000:]}")
                subprocess.run(["wineserver", "-w"], env=env, timeout=120)
            finally:
                subprocess.run(["wineserver", "-k"], env=env, timeout=30, capture_output=True)
            (template / ".complete").write_bytes(version)
            return template

    def stop(self) -> None:
        for flag in ("-k", "-w") if self.env else ():
            with contextlib.suppress(Exception):
                subprocess.run(["wineserver", flag], env=self.env, timeout=30, capture_output=True)
        self.env = {}
        self.display.stop()
        if not KEEP:
            shutil.rmtree(self.temp, ignore_errors=True)

    def spawn(self, args, name: str) -> subprocess.Popen:  # "wine x.exe" runs as x.exe's own process
        with open(self.out / f"{name}.output.txt", "ab") as log:
            return self.display.spawn(["wine", *args], env=self.env, stdout=log, stderr=log)

    @staticmethod
    def kill(process) -> None:
        with contextlib.suppress(ProcessLookupError):
            process.kill()
        process.wait(timeout=TIMEOUT)

    def wine(self, args, check=True) -> str:
        # On a busy machine Wine now and then fails to start a program, which then never ran: it is started again.
        for attempt in range(3):
            result = run_to_end(["wine", *args], self.env)
            if "could not be started" not in result.stdout and (result.returncode == 0 or result.stdout.strip()):
                break
            time.sleep(0.2 * (attempt + 1))
        if check and result.returncode:
            raise HarnessError(f"{args} failed ({result.returncode}): {result.stdout[-2000:]}")
        return result.stdout

    def probe(self, *args) -> str:
        return self.wine([SUPPORT / "probe.exe", *args]).strip()

    def windows(self, *question) -> list:  # handle, visible, class, text; front first
        return [(int(h), v == "1", c, t[1:-1]) for h, v, c, t in
                (line.split(" ", 3) for line in self.probe(*question).splitlines())]

    def find(self, cls: str) -> list[int]:
        return [w[0] for w in self.windows("find", cls)]

    def wait_window(self, cls: str) -> int:
        return wait_until(lambda: [w[0] for w in self.windows("find", cls) if w[1]], f"a window of {cls}", TIMEOUT)[0]

    def wait_gone(self, cls: str) -> None:
        wait_until(lambda: not self.find(cls), f"the last window of class {cls} to go", TIMEOUT)

    def xid(self, hwnd: int) -> str:  # a window is visible to Windows a moment before it has an X window
        return wait_until(lambda: self.probe("xid", hwnd).strip("0"), f"the X window of {hwnd}", TIMEOUT)

    # Two Wine processes take a focus change in either order, and now and then the desktop ends up in front: then
    # the window is made the foreground window from the Windows side too.
    def focus(self, hwnd: int) -> None:
        for attempt, timeout in enumerate((3.0, 5.0)):
            if attempt:
                self.probe("activate", hwnd)
            self.display.xdotool("windowfocus", self.xid(hwnd))
            with contextlib.suppress(TimeoutError):
                return wait_until(lambda: self.probe("foreground") == str(hwnd), "the foreground", timeout)
        raise TimeoutError(f"window {hwnd} never became the foreground window")

    def keys(self, *steps: str) -> None:  # xdotool key steps such as "keydown ctrl", each held like a person's
        self.display.xdotool(*[word for step in steps for word in (*step.split(), "sleep", HOLD)])

    def tap(self, *keys: str) -> None:  # pressed in order, let go in reverse
        self.keys(*[f"keydown {k}" for k in keys], *[f"keyup {k}" for k in reversed(keys)])

    def reg_add(self, kind: str, data: str, name="Apps", key=KEY, terminated=True) -> None:
        # ``wine reg add`` always ends text with a NUL; an ASCII value without it goes through a REGEDIT4 file.
        if terminated:
            self.wine(["reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f"])
            return
        path = self.temp / "value.reg"
        path.write_text(f'REGEDIT4\r\n\r\n[{key.replace("HKCU", "HKEY_CURRENT_USER")}]\r\n"{name}"=hex(1):'
                        + ",".join(f"{b:02x}" for b in data.encode("ascii")) + "\r\n", newline="")
        self.wine(["regedit", "/s", windows_path(path)])

    def reg_read(self, name="Apps", key=KEY):  # text exactly as stored, other types in hex; None when absent
        kind, _, data = self.probe("reg-read", key.split("\\", 1)[1], name).partition(" ")
        if kind == "1":
            return "REG_SZ", bytes.fromhex(data).decode("utf-16-le").rstrip("\0")
        return (kind, data) if kind else None

    def reg_delete(self, key=r"HKCU\Software\VaskF5", name=None) -> None:
        self.wine(["reg", "delete", key, *(["/v", name] if name else []), "/f"], check=False)


# Fake browsers: (class, count) under the browser's own name, or under ``image``, or (class, count, image).
class Browsers:
    def __init__(self, env: WineEnv, out: Path, windows, name="browsers", y=20, image=None, options=()):
        self.env, self.windows, self.logs, self.processes = env, [], [], []
        requests = {}
        for cls, count, *program in windows:
            requests.setdefault((program or [image or PROGRAM[cls]])[0], []).extend([cls, count])
        for number, (program, request) in enumerate(requests.items()):
            log, executable = out / f"{name}-{program}.log", env.temp / "programs" / program
            ready = log.with_suffix(".ready")
            executable.parent.mkdir(exist_ok=True)
            shutil.copyfile(SUPPORT / "fakebrowser.exe", executable)
            structure = ["--structure"] * (program in PROGRAM.values())
            process = env.spawn([executable, windows_path(log), windows_path(ready), 700 + 40 * number, y, *structure,
                                 *options, *request], f"{name}-{program}")
            self.logs.append(log)
            self.processes.append(process)
            wait_until(lambda: ready.is_file() or process.poll() is not None, f"the fake {program}", TIMEOUT)
            if not ready.is_file():
                raise HarnessError(f"{program} ended early with code {process.returncode}")
            frames = collections.Counter()
            for hwnd, role, cls in (line.split() for line in ready.read_text().splitlines()):
                frames[cls] += role == "frame"
                label = f"{program[:-4].lower()}[{frames[cls] - 1}]" + ("" if role == "frame" else f".{role}")
                self.windows.append(Window(int(hwnd), cls, label, role, program))

    def frames(self, cls: str) -> list[Window]:  # front to back, right now
        ours = {w.hwnd: w for w in self.windows if w.role == "frame" and w.cls == cls}
        return [ours[h] for h in self.env.find(cls) if h in ours]

    def lines(self, since=None) -> list[tuple]:  # (seconds, label, what, wParam), in time order
        label = {w.hwnd: w.label for w in self.windows}
        found = []
        for number, log in enumerate(self.logs):
            text = log.read_bytes().decode("ascii", "replace").split("\n")[:-1] if log.is_file() else []
            found += [(int(s) / 1e6, label.get(int(h), h), what, int(w, 16))
                      for s, h, what, w, _ in map(str.split, text[since[number] if since else 0:])]
        return sorted(found)

    def checkpoint(self) -> tuple:
        return tuple(len(log.read_bytes().split(b"\n")) - 1 if log.is_file() else 0 for log in self.logs)

    def acts(self, since=None) -> collections.Counter:  # e.g. {"chrome[0] RELOAD": 1}
        return collections.Counter(f"{label} {what}" for _, label, what, _ in self.lines(since)
                                   if what in ("RELOAD", "RAISE"))

    def settle(self) -> None:  # time to post anything more, then a marker behind everything each program has queued
        time.sleep(SETTLE)
        for log, program in zip(self.logs, dict.fromkeys(w.program for w in self.windows)):
            marks = len([line for line in self.lines() if line[2] == "MARK"])
            self.env.probe("post", next(w.hwnd for w in self.windows if w.program == program), MARK, 0, 0)
            wait_until(lambda: len([line for line in self.lines() if line[2] == "MARK"]) > marks, f"{log.name}", TIMEOUT)


def reloads(*labels) -> collections.Counter:
    return collections.Counter(f"{label} RELOAD" for label in labels)


class WineCase(unittest.TestCase):  # a class shares a display and prefix; each case stops what it started
    maxDiff = None

    @classmethod
    def setUpClass(cls) -> None:
        if not EXE.is_file():
            raise HarnessError(f"{EXE} not found: build the windows preset first, or pass --exe to run.py")
        cls.env = WineEnv(f"{cls.__module__}.{cls.__name__}").start()
        cls.addClassCleanup(cls.env.stop)

    def setUp(self) -> None:
        self.out = self.env.out / self._testMethodName
        self.out.mkdir(parents=True, exist_ok=True)
        self.first = len(self.env.display.processes)
        self.addCleanup(self.end_case)
        self.end_case(kill=False)

    def end_case(self, kill=True) -> None:
        if kill:
            with contextlib.suppress(Exception):
                self.env.display.run("import", "-window", "root", self.out / "end.png")
            for process in reversed(self.env.display.processes[self.first:]):
                self.env.kill(process)
            for cls in (MAIN, "Edit", IE, CHROME, FIREFOX, OPERA):  # the next case starts clean
                self.env.wait_gone(cls)
        self.env.reg_delete()
        self.env.reg_delete(RUN_KEY, "VaskF5")

    def browsers(self, windows, **options) -> Browsers:
        return Browsers(self.env, self.out, windows, **options)

    def scene(self, windows, apps=None, values=None, launch=True, **options) -> tuple[Browsers, int]:
        browsers = self.browsers(windows, **options)
        self.env.spawn([SUPPORT / "typepad.exe"], "typepad")  # an editor whose Ctrl+S saves nothing
        pad = self.env.wait_window("Edit")
        if launch:
            self.launch(apps, **(values or {}))
        return browsers, pad

    def launch(self, apps=None, exe=EXE, name="vaskf5", **values) -> int:
        for value_name, data in (({"Apps": apps} if apps is not None else {}) | values).items():
            self.env.reg_add("REG_SZ", data, value_name)
        # Wine now and then fails to set up a new process's first window on a busy machine: one more start.
        for _ in range(2):
            self.program = self.env.spawn([exe], name)
            wait_until(lambda: self.program.poll() is not None or self.env.find(MAIN), f"{exe.name}'s window", TIMEOUT)
            if self.program.poll() in (None, 0):
                break
        self.main = self.env.wait_window(MAIN)
        self.assertIsNone(self.program.poll(), f"{exe.name} is running")
        self.xid = self.env.xid(self.main)
        return self.main

    def stop(self) -> None:
        self.env.kill(self.program)
        self.env.wait_gone(MAIN)

    def wait_exit(self, process) -> int:
        return process.wait(timeout=TIMEOUT)

    def wait_for(self, read, what: str, expected=True, timeout=TIMEOUT):  # expected True: anything true
        last = None

        def reached():
            nonlocal last
            last = read()
            return (bool(last) if expected is True else last == expected) and (last or True)
        with contextlib.suppress(TimeoutError):
            wait_until(reached, what, timeout, interval=0.1)
            return last
        self.fail(f"{what}: expected {expected!r}, last seen {last!r}")

    def box(self, name: str, dpi=96) -> tuple:  # a control's place and size in window pixels, as the host rounds
        return tuple(int((t * dpi + 720) // 1440) for t in self.env.layout[name])

    def at(self, name: str, dpi=96, fx=0.5, fy=0.5) -> tuple[int, int]:  # a point of a control, in window pixels
        left, top, width, height = self.env.layout[name]
        return tuple(int((t * dpi + 720) // 1440) for t in (left + width * fx, top + height * fy))

    def click(self, where, button=1) -> None:
        x, y = self.at(where) if isinstance(where, str) else where
        self.env.display.xdotool("mousemove", "--window", self.xid, x, y, "sleep", 0.1, "mousedown", button,
                                 "sleep", HOLD, "mouseup", button, "mousemove", 1270, 790)

    def open_panel(self) -> None:
        self.click("panelButton")
        self.wait_for(lambda: any(v and t == "设置勾选的浏览器" for _, v, _, t in self.env.windows("children", self.main)),
                      "the settings panel to open")

    # The save chord (or ``keys``) typed into a window; what the browsers did once ``count`` acts showed and
    # anything extra had time to.
    def chord(self, target: int, browsers: Browsers, keys=None, count=0) -> collections.Counter:
        self.env.focus(target)
        mark = browsers.checkpoint()
        (keys or (lambda: self.env.tap("ctrl", "s")))()
        with contextlib.suppress(TimeoutError):
            wait_until(lambda: sum(browsers.acts(mark).values()) >= count, f"{count} acts", TIMEOUT if count else 0)
        browsers.settle()
        return browsers.acts(mark)
