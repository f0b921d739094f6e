# What the end-to-end tests of the Linux program (tests/linux, tests/x11) share, and the Wine tests stand on: a
# private X display where everything started is stopped by its process id, the real vaskf5 on it, where its controls
# lie (from the program's own layout table), the X tools that act on the display and read windows; and the scene of
# the browser tests: a page server that logs every load by the window that asked, real browsers showing the page and
# the editor where Ctrl then S is typed.

import atexit
import contextlib
import http.server
import os
import re
import shutil
import signal
import subprocess
import tempfile
import threading
import time
from collections import namedtuple
from pathlib import Path
from urllib.parse import parse_qs, urlsplit

REPO = Path(__file__).resolve().parent.parent
BUILD = REPO / "build" / "linux"
PROGRAM = Path(os.environ.get("VASKF5_EXE", BUILD / "vaskf5"))
PRINT_LAYOUT = Path(os.environ.get("VASKF5_PRINT_LAYOUT", BUILD / "tests" / "print_layout"))
EDITOR = Path(os.environ.get("VASKF5_X11_EDITOR", BUILD / "tests" / "x11" / "support" / "editor"))
START_TIMEOUT = 60.0  # a browser's first window, or the program's, on a busy two-core machine
EVENT_TIMEOUT = 10.0
SETTLE_SECONDS = 0.6  # only to prove that nothing more arrives
HOLD = 0.06  # seconds a key or button is held, as a quick person does
AIM = 0.1  # seconds between the pointer's last moves and the press
CHROMIUM = ["--no-first-run", "--no-default-browser-check", "--disable-gpu", "--disable-sync", "--password-store=basic",
            "--disable-background-networking", "--disable-component-update", "--window-position=0,0",
            "--window-size=760,600", *(["--no-sandbox"] if os.geteuid() == 0 else [])]
# Firefox without its first-run tabs and bars, which would take the place of the page.
FIREFOX = "".join(f'user_pref("{key}", {value});' for key, value in {
    "browser.shell.checkDefaultBrowser": "false", "datareporting.policy.dataSubmissionEnabled": "false",
    "browser.startup.homepage_override.mstone": '"ignore"', "toolkit.telemetry.reportingpolicy.firstRun": "false",
    "browser.aboutwelcome.enabled": "false", "startup.homepage_welcome_url": '""'}.items())
# A request for the page: wall clock when it arrived, the name of the window that asked (?w=NAME), the page's version.
Load = namedtuple("Load", "at_ns name version")
Region = namedtuple("Region", "width height data")  # pixels of a rectangle of the screen, 3 bytes each


class HarnessError(RuntimeError):
    pass  # the environment could not be set up; the message says what is missing


def require(*tools) -> None:
    for tool in [str(tool) for tool in tools if shutil.which(str(tool)) is None]:
        raise HarnessError(f"{tool} is missing: ./scripts/test.sh installs the tools and builds the programs")


# Polls ``predicate`` until it returns something true and returns that; fails at the deadline.
def wait_until(predicate, what: str, timeout: float = EVENT_TIMEOUT, interval: float = 0.05):
    deadline = time.monotonic() + timeout
    while not (value := predicate()):
        if time.monotonic() >= deadline:
            raise TimeoutError(f"gave up after {timeout:.0f} s waiting for {what}")
        time.sleep(interval)
    return value


def chord(*keys: str) -> list:  # xdotool arguments: the keys pressed in order, each after a pause, released in reverse
    return [a for key in keys for a in ("keydown", key, "sleep", HOLD)] + \
        [a for key in reversed(keys) for a in ("keyup", key, "sleep", HOLD)]


SAVE = chord("ctrl", "s")


def pixel(region: Region, x: int, y: int) -> tuple[int, int, int]:
    return tuple(region.data[3 * (y * region.width + x):3 * (y * region.width + x) + 3])


# Each control's box in client pixels at 96 dpi (left, top, width, height; 15 twips to the pixel), the settings panel
# open, as the program's layout table places it.
def layout() -> dict[str, tuple[int, ...]]:
    rows = subprocess.run([PRINT_LAYOUT], capture_output=True, text=True, check=True).stdout.splitlines()
    return {name: tuple(round(int(v) / 15) for v in box) for name, *box in (row.split() for row in rows)}


def centre(name: str) -> tuple[int, int]:
    return (box := layout()[name])[0] + box[2] // 2, box[1] + box[3] // 2


def _interrupt(signum, _frame):
    signal.signal(signum, signal.SIG_DFL)
    raise KeyboardInterrupt(signum)  # unittest lets it through; each display's stop then runs at exit


class Display:  # a private X server on a free display number, with openbox unless told otherwise; the X tools on it
    def __init__(self, screen=(1280, 800), window_manager: str | bool | None = "openbox") -> None:
        self.screen, self.window_manager, self.processes = screen, window_manager, []
        self.env = {key: value for key, value in os.environ.items() if key != "WAYLAND_DISPLAY"}

    def start(self) -> "Display":  # what did start is stopped at exit, also when the start fails half-way
        for signum in (signal.SIGTERM, signal.SIGHUP):
            signal.signal(signum, _interrupt)
        atexit.register(self.stop)
        self._start()
        return self

    def _start(self, **extra_env: str) -> None:
        require("Xvfb", "xdotool", "xprop", "xwininfo", "import")
        # The server picks a free display number itself and reports it, so two test runs never race for one; with
        # -noreset it does not reset, under our feet, whenever its last client leaves.
        read_end, write_end = os.pipe()
        self.spawn(["Xvfb", "-displayfd", write_end, "-screen", "0", "{}x{}x24".format(*self.screen), "-nolisten",
                    "tcp", "-noreset"], pass_fds=(write_end,))
        os.close(write_end)
        with os.fdopen(read_end) as reported:
            number = reported.readline().strip()
        if not number.isdigit():
            raise HarnessError("Xvfb did not start")
        self.env.update(DISPLAY=f":{number}", NO_AT_BRIDGE="1", XDG_SESSION_TYPE="x11", **extra_env)
        if self.window_manager:
            self.start_manager("openbox", "--sm-disable")

    # A window manager, or picom, the compositing manager. Openbox announces its theme at the end of its start-up (a
    # window mapped before may never be managed), picom shows its window; others announce nothing: the caller waits.
    def start_manager(self, name: str, *options) -> subprocess.Popen:
        manager = self.spawn([name, *options])
        if name == "openbox":
            wait_until(lambda: "_OB_THEME" in self.run("xprop", "-root"), name, START_TIMEOUT)
        if name == "picom":
            wait_until(lambda: '"picom"' in self.run("xwininfo", "-root", "-children"), name, START_TIMEOUT)
        else:
            self.window_manager = name
        return manager

    # Starts a program on the display, in its own session, and remembers it to stop it later.
    def spawn(self, args: list, env: dict | None = None, **kwargs) -> subprocess.Popen:
        kwargs = {"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL, "env": env or self.env, **kwargs}
        self.processes.append(subprocess.Popen([str(a) for a in args], start_new_session=True, **kwargs))
        return self.processes[-1]

    def report(self, *args) -> "Reporter":  # a program started on the display, its stdout read line by line
        return Reporter(self.spawn(list(args), stdout=subprocess.PIPE, text=True))

    def stop_process(self, process: subprocess.Popen) -> None:
        process.terminate()
        with contextlib.suppress(subprocess.TimeoutExpired):
            process.wait(timeout=10)
        process.kill()  # nothing once it has ended
        process.wait()
        self.processes = [p for p in self.processes if p is not process]

    def stop(self) -> None:
        for process in self.processes:
            process.terminate()  # all at once, then each waited for; nothing once one has ended
        while self.processes:
            self.stop_process(self.processes[-1])

    # The real vaskf5 (run by ``prefix`` when given) once its window is on screen, and its window id.
    def start_vaskf5(self, prefix: tuple = (), **extra_env: str):
        program = self.spawn([*prefix, PROGRAM], env={**self.env, **extra_env})
        found = wait_until(lambda: self.xdotool("search", "--onlyvisible", "--pid", program.pid, "--name",
                                                "^Vask F5$"), "the window of vaskf5 on screen", START_TIMEOUT)
        return program, int(found.split()[0])

    def run(self, *args) -> str:
        return subprocess.run([str(a) for a in args], env=self.env, capture_output=True, text=True, timeout=60).stdout

    def xdotool(self, *args) -> str:
        return self.run("xdotool", *args).strip()

    def prop(self, xid, name: str) -> str:
        return self.run("xprop", "-id", xid, name).strip()

    def opacity(self, xid) -> int:  # as the compositor would apply it, 0 to 255 (255 when the property is absent)
        value = self.prop(xid, "_NET_WM_WINDOW_OPACITY").rpartition("=")[2].strip()
        return round(int(value) * 255 / 0xFFFFFFFF) if value.isdigit() else 255

    def geometry(self, xid) -> tuple[int, int, int, int]:  # x, y of the top-left pixel on the screen, width, height
        values = dict(line.strip().split(":", 1) for line in self.run("xwininfo", "-id", xid).splitlines()
                      if ":" in line)
        return tuple(int(values[key]) for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"))

    # A click at a point of a window. The pointer glides the last pixels, as a hand does: GTK's scroll bars find
    # their arrows from a move within them, not from the pointer jumping in from afar.
    def click(self, xid, x: int, y: int, button: int = 1) -> None:
        self.xdotool("mousemove", "--window", xid, x - 2, y, "sleep", AIM, "mousemove", "--window", xid, x, y,
                     "sleep", AIM, "mousedown", button, "sleep", HOLD, "mouseup", button)

    # Left button down at a point of a window, moved by ``by`` on the screen in steps, released unless told not to.
    def drag(self, xid, start: tuple[int, int], by: tuple[int, int], steps: int = 8, release: bool = True) -> None:
        x, y = (a + b for a, b in zip(self.geometry(xid), start))
        moves = [a for i in range(1, steps + 1) for a in ("sleep", 0.03, "mousemove", x + by[0] * i // steps,
                                                           y + by[1] * i // steps)]
        self.xdotool("mousemove", x, y, "sleep", HOLD, "mousedown", 1, *moves, *["sleep", HOLD, "mouseup", 1] * release)

    # Opens vaskf5's settings panel with its button and waits until the panel's border is drawn over the skin.
    def open_panel(self, xid) -> None:
        left, top, _, height = layout()["panel"]
        point = [a + b for a, b in zip(self.geometry(xid), (left, top + height // 2))]  # far from the button's tip
        skin = self.grab(*point, 1, 1)
        self.click(xid, *centre("panelButton"))
        wait_until(lambda: self.grab(*point, 1, 1) != skin, "the open settings panel")

    def grab(self, x: int, y: int, width: int, height: int) -> Region:  # the screen's pixels, in root coordinates
        data = subprocess.run(["import", "-display", self.env["DISPLAY"], "-window", "root", "-crop",
                               f"{width}x{height}+{x}+{y}", "-depth", "8", "rgb:-"], capture_output=True).stdout
        return Region(width, height, data)


class PageServer(http.server.ThreadingHTTPServer):  # serves the page at /page.html and logs each load
    def __init__(self, page: Path):
        self.page, self.loads, server = page, [], self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):  # noqa: N802 (the name http.server asks for)
                body, url = server.page.read_bytes(), urlsplit(self.path)
                version = int(re.search(rb'id="v">(\d+)<', body)[1])
                server.loads.append(Load(time.time_ns(), parse_qs(url.query).get("w", [""])[0], version))
                self.send_response(200 if url.path == "/page.html" else 404)
                self.send_header("Cache-Control", "no-store")
                self.end_headers()
                self.wfile.write(body if url.path == "/page.html" else b"")

            log_message = lambda *args: None  # noqa: E731

        super().__init__(("127.0.0.1", 0), Handler)
        threading.Thread(target=self.serve_forever, daemon=True).start()
        self.url = f"http://127.0.0.1:{self.server_address[1]}/page.html"

    def loads_of(self, name: str) -> list[Load]:
        return [load for load in list(self.loads) if load.name == name]


class Reporter:  # a process whose stdout lines a thread collects, so a test can wait for a line
    def __init__(self, process: subprocess.Popen):
        self.process, self.lines = process, []
        threading.Thread(target=lambda: self.lines.extend(line.rstrip("\n") for line in process.stdout),
                         daemon=True).start()

    def wait_line(self, prefix: str, after: int = 0, timeout: float = EVENT_TIMEOUT) -> str:
        return wait_until(lambda: next((line for line in self.lines[after:] if line.startswith(prefix)), None),
                          f"'{prefix}' from {Path(self.process.args[0]).name}", timeout)


# The scene of a browser test module; ``windows`` holds the window ids of the browsers, the editor and vaskf5, by
# name: "firefox" is Firefox ESR, any other browser a Chromium on a profile of its own.
class X11Env(Display):
    def __init__(self, name: str, browsers=("chrome", "firefox"), window_manager="openbox"):
        super().__init__((1600, 1000), window_manager=window_manager)
        self.name, self.browsers, self.windows, self.started = name, list(browsers), {}, {}
        self.temp = self.server = self.program = None

    def _start(self) -> None:
        require("chromium", "firefox-esr", EDITOR)
        self.temp = Path(tempfile.mkdtemp(prefix=f"vaskf5-x11-{self.name}-"))
        self.settings = self.temp / "XDG_CONFIG_HOME" / "vaskf5" / "settings.ini"
        for folder in ("HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME/vaskf5"):
            (self.temp / folder).mkdir(mode=0o700, parents=True)
        super()._start(**{key: str(self.temp / key) for key in ("HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR")})
        (self.temp / "page.html").write_text('<!doctype html><html><body><p id="v">0</p></body></html>\n')
        self.server = PageServer(self.temp / "page.html")
        for browser in list(self.browsers):
            self.start_browser(browser)
        self.editor = self.report(EDITOR, "VaskEditor", self.server.page)
        self.windows["editor"] = editor = int(self.editor.wait_line("created", timeout=START_TIMEOUT).split()[1])
        try:
            self.editor.wait_line("ready", timeout=3.0)
        except TimeoutError:  # openbox, freshly started, sometimes ignores a first map request; asking again works
            self.xdotool("windowmap", editor)
        wait_until(lambda: not self.window_manager or "window state" in self.prop(editor, "WM_STATE"), "the editor")

    def stop(self) -> None:
        super().stop()
        if self.server:
            self.server.shutdown()
            self.server.server_close()
        shutil.rmtree(self.temp or "/nonexistent", ignore_errors=True)

    # A browser window (``program`` with ``options`` for a Chromium) on a throw-away profile once it has loaded the
    # page (or ``url``) asking as ``name``; found by its class: Firefox ESR's, Chromium's or the one its options name.
    def start_browser(self, name: str, url: str = "", program="chromium", *options: str) -> int:
        profile, url = self.temp / f"{name}-profile", f"{url or self.server.url}?w={name}"
        if name == "firefox":
            profile.mkdir()
            (profile / "user.js").write_text(FIREFOX)
            process = self.spawn(["firefox-esr", "--profile", profile, "--no-remote", "-new-instance", url])
        else:
            process = self.spawn([program, *options, *CHROMIUM, f"--user-data-dir={profile}", url])
        window_class = "firefox-esr" if name == "firefox" else "Chromium"
        window_class = next((o.partition("=")[2] for o in options if o.startswith("--class=")), window_class)
        found = wait_until(lambda: self.xdotool("search", "--all", "--onlyvisible", "--pid", process.pid, "--class",
                                                f"^{window_class}$"), f"a window of {name}", START_TIMEOUT)
        wait_until(lambda: self.server.loads_of(name), f"the first page load of {name}", START_TIMEOUT)
        self.windows[name], self.started[name] = int(found.split()[-1]), process
        self.browsers += [name] if name not in self.browsers else []
        return self.windows[name]

    def drop_browser(self, name: str) -> None:
        self.stop_process(self.started.pop(name))
        self.browsers.remove(name)

    # vaskf5 running with these ticks and automatic refresh (started again when they change, when it has ended or
    # when asked; by ``prefix`` when given), the editor in front.
    def use(self, ticked: list[str], fresh=False, prefix: tuple = ()) -> None:
        if fresh or not self.program or self.program.poll() is not None or self.program_state != (ticked, prefix):
            if self.program:
                self.stop_process(self.program)
            self.settings.write_text("[Refresh]\nApps=" + ",".join([*ticked, "autorefresh"]) + ",\n")
            self.program, self.windows["vaskf5"] = self.start_vaskf5(prefix)
            self.program_state = (ticked, prefix)
        self.activate(self.windows["editor"])

    def activate(self, xid: int) -> None:  # without a manager that acts on activation requests, the focus is set
        self.xdotool("windowactivate" if self.window_manager == "openbox" else "windowfocus", "--sync", xid)
        wait_until(lambda: self.focused() == xid, f"window {xid} to have the focus")

    def focused(self) -> int:
        return int(self.xdotool("getwindowfocus") or 0)

    def place(self, xid: int, x: int, y: int, width: int, height: int) -> None:
        self.xdotool("windowsize", "--sync", xid, width, height, "windowmove", "--sync", xid, x, y)

    def minimise(self, xid: int) -> None:  # and marked so by the window manager
        self.xdotool("windowminimize", "--sync", xid)
        wait_until(lambda: "_NET_WM_STATE_HIDDEN" in self.prop(xid, "_NET_WM_STATE"), f"window {xid} minimised")

    # How often each browser loaded the page after ``keys`` (xdotool arguments) were typed, waiting for ``expected``.
    def loads_after(self, keys: list, expected: dict[str, int]) -> dict[str, int]:
        counts = lambda: {browser: len(self.server.loads_of(browser)) for browser in self.browsers}  # noqa: E731
        before = counts()
        self.xdotool(*keys)
        with contextlib.suppress(TimeoutError):
            wait_until(lambda: all(counts()[b] - before[b] >= n for b, n in expected.items()), "the reloads")
        time.sleep(SETTLE_SECONDS)
        return {browser: count - before[browser] for browser, count in counts().items()}
