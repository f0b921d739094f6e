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
from xharness import Display, HarnessError, wait_until  # noqa: E402

BUILD = Path(__file__).resolve().parents[2] / "build" / "windows"
EXE = Path(os.environ.get("VASKF5_EXE", BUILD / "VaskF5.exe")).resolve()
SUPPORT = Path(os.environ.get("VASKF5_SUPPORT_DIR", BUILD / "tests/win32/support")).resolve()
WORK = Path(os.environ.get("VASKF5_WORK_DIR", BUILD / "tests/win32")).resolve()
MAIN, KEY = "VaskF5Main", r"HKCU\Software\VaskF5\Refresh"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
CHROME, FIREFOX, IE, OPERA = "Chrome_WidgetWin_1", "MozillaWindowClass", "IEFrame", "OperaWindowClass"
PROGRAM = {CHROME: "chrome.exe", FIREFOX: "firefox.exe", IE: "iexplore.exe", OPERA: "opera.exe"}
# A bound that only decides when to give up; a person's key press; the time that proves an absence, far above the
# program's timer ticks, so it can hide a fault but never invent one.
TIMEOUT, HOLD, SETTLE = 20.0, 0.08, 0.5
WM_SYSCOMMAND, SC_MINIMIZE, SC_RESTORE, MARK = 0x112, 0xF020, 0xF120, 0x8001


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


# Fake browsers: (class, count) under the browser's own name or ``image``, or (class, count, image). A browser's own
# program also makes the popups, helper window and floating video real ones make.
class Browsers:
    def __init__(self, case, windows, name="browsers", y=20, image=None, options=()):
        self.case, self.label, self.logs, self.processes, self.marked, requests = case, {}, [], [], [], {}
        for cls, count, *program in windows:
            requests.setdefault((program or [image or PROGRAM[cls]])[0], []).extend([cls, count])
        for number, (program, request) in enumerate(requests.items()):
            log, executable = case.out / f"{name}-{program}.log", case.temp / program
            shutil.copyfile(SUPPORT / "fakebrowser.exe", executable)
            self.processes.append(case.spawn([executable, windows_path(log), 700 + 40 * number, y,
                                              *["--structure"] * (program in PROGRAM.values()), *options, *request]))
            self.logs.append(log)
            wait_until(lambda: b"READY" in log.read_bytes() if log.is_file() else self.processes[-1].poll() is not None,
                       f"the fake {program}", TIMEOUT)
            frames, stem = collections.Counter(), program[:-4].lower()  # "chrome[1]": the last frame made is in front
            for _, hwnd, what, *_ in map(str.split, log.read_text().splitlines()):
                role, _, cls = what.partition(":")
                frames[cls] += role == "frame"
                if cls:  # a window; the last line says READY
                    self.label[(last := int(hwnd))] = f"{stem}[{frames[cls] - 1}]" + f".{role}" * (role != "frame")
            self.marked.append(last)  # the program's last window, for the marker
        self.hwnd = {label: hwnd for hwnd, label in self.label.items()}

    def lines(self, since=None) -> list[tuple]:  # (seconds, label, what, wParam) in time order
        found = []
        for number, log in enumerate(self.logs):
            text = log.read_bytes().decode().split("\n")[:-1][since[number] if since else 0:] if log.is_file() else []
            found += [(int(stamp) / 1e6, self.label.get(int(hwnd), hwnd), what, int(wparam, 16))
                      for stamp, hwnd, what, wparam, _ in map(str.split, text)]
        return sorted(found)

    def checkpoint(self) -> tuple:
        return tuple(log.read_bytes().count(b"\n") if log.is_file() else 0 for log in self.logs)

    def acts(self, since=None) -> collections.Counter:  # e.g. {"chrome[0] RELOAD": 1}
        return collections.Counter(f"{label} {what}" for _, label, what, _ in self.lines(since)
                                   if what in ("RELOAD", "RAISE"))

    def settle(self) -> None:  # time to post anything more, then a marker behind everything each program has queued
        time.sleep(SETTLE)
        for hwnd in self.marked:
            marks = sum(line[2] == "MARK" for line in self.lines())
            self.case.probe("post", hwnd, MARK, 0, 0)
            wait_until(lambda: sum(line[2] == "MARK" for line in self.lines()) > marks, "the marker", TIMEOUT)


def reloads(*labels) -> collections.Counter:
    return collections.Counter(f"{label} RELOAD" for label in labels)


class WineCase(unittest.TestCase):  # a class shares a display and prefix; each case stops what it started
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

    def windows(self, parent=0, cls="") -> list:  # top-level or child windows: hwnd, visible, class, text; front first
        listed = self.probe("windows", parent, cls).splitlines()
        return [(int(hwnd), shown == "1", c, text[1:-1]) for hwnd, shown, c, text in (n.split(" ", 3) for n in listed)]

    def find(self, cls: str) -> list[int]:
        return [w[0] for w in self.windows(0, cls)]

    def wait_window(self, cls: str) -> int:
        return wait_until(lambda: [w[0] for w in self.windows(0, cls) if w[1]], f"a window of {cls}", TIMEOUT)[0]

    # Two Wine processes take a focus change in either order, and now and then the desktop ends up in front: then the
    # window is made the foreground window from the Windows side too.
    def focus(self, hwnd: int) -> None:
        for attempt, timeout in enumerate((3.0, 5.0)):
            if attempt:
                self.probe("activate", hwnd)
            self.display.xdotool("windowfocus", wait_until(lambda: self.probe("xid", hwnd).strip("0"), "an X window"))
            with contextlib.suppress(TimeoutError):
                return wait_until(lambda: self.probe("foreground") == str(hwnd), "the foreground", timeout)
        raise TimeoutError(f"window {hwnd} never became the foreground window")

    def keys(self, *steps: str) -> None:  # xdotool key steps such as "keydown ctrl", each held like a person's
        self.display.xdotool(*[word for step in steps for word in (*step.split(), "sleep", HOLD)])

    def tap(self, *keys: str) -> None:  # pressed in order, let go in reverse
        self.keys(*[f"keydown {k}" for k in keys], *[f"keyup {k}" for k in reversed(keys)])

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

    def scene(self, windows, apps=None, values=None, launch=True, **options) -> tuple[Browsers, int]:
        browsers = Browsers(self, windows, **options)
        self.spawn([SUPPORT / "probe.exe", "pad"])
        pad = self.wait_window("Edit")
        if launch:
            self.launch(apps, **(values or {}))
        return browsers, pad

    def launch(self, apps=None, exe=EXE, **values) -> int:
        for name, data in (({"Apps": apps} if apps is not None else {}) | values).items():
            self.reg_add("REG_SZ", data, name)
        for _ in range(2):  # Wine now and then fails to set up a new process's first window: one more start
            self.program = self.spawn([exe])
            wait_until(lambda: self.program.poll() is not None or self.find(MAIN), f"{exe.name}'s window", TIMEOUT)
            if self.program.poll() in (None, 0):
                break
        self.main = self.wait_window(MAIN)
        self.xid = wait_until(lambda: self.probe("xid", self.main).strip("0"), "the program's X window")
        return self.main

    def stop(self) -> None:
        self.kill(self.program)
        wait_until(lambda: not self.find(MAIN), "the program's window to go", TIMEOUT)

    def wait_for(self, read, what: str, expected=True, timeout=TIMEOUT):  # expected True: anything true
        seen = [None]

        def reached():
            seen[0] = read()
            return (bool(seen[0]) if expected is True else seen[0] == expected) and (seen[0] or True)
        with contextlib.suppress(TimeoutError):
            return wait_until(reached, what, timeout, 0.1)
        self.fail(f"{what}: expected {expected!r}, last seen {seen[0]!r}")

    def box(self, name: str, dpi=96, fx=None, fy=None) -> tuple:  # place and size, or a point, in window pixels
        left, top, width, height = self.layout[name]
        rect = (left, top, width, height) if fx is None else (left + width * fx, top + height * fy)
        return tuple(int((t * dpi + 720) // 1440) for t in rect)  # rounded as the host rounds

    def click(self, where, button=1) -> None:
        x, y = self.box(where, fx=0.5, fy=0.5) if isinstance(where, str) else where
        self.display.xdotool("mousemove", "--window", self.xid, x, y, "sleep", 0.1, "mousedown", button, "sleep", HOLD,
                             "mouseup", button, "mousemove", 1270, 790)

    def open_panel(self) -> None:
        self.click("panelButton")
        self.wait_for(lambda: any(v and t == "设置勾选的浏览器" for _, v, _, t in self.windows(self.main)), "the panel")

    # The save chord (or ``keys``) typed into a window: what the browsers did once ``count`` acts showed and anything
    # extra had time to.
    def chord(self, target: int, browsers: Browsers, keys=None, count=0) -> collections.Counter:
        self.focus(target)
        mark = browsers.checkpoint()
        (keys or (lambda: self.tap("ctrl", "s")))()
        with contextlib.suppress(TimeoutError):
            wait_until(lambda: sum(browsers.acts(mark).values()) >= count, f"{count} acts", TIMEOUT if count else 0)
        browsers.settle()
        return browsers.acts(mark)
