"""Machinery for the end-to-end tests of the X11 engine against real browsers.

One environment per test module: a private Xvfb display on a free number with openbox (and picom when asked), a
local HTTP server on 127.0.0.1 that hands out the page the editor saves and logs every load of it, Chromium and
Firefox ESR on throw-away profiles showing that page, the tests' own editor window (support/editor), the real
vaskf5, and for the benchmark the refresher (support/refresher: the keyboard watch, the save-key watcher and the
desktop, composed as the program composes them). Everything started is remembered and stopped by its process id,
also when a test fails.

Keys come from the X server through xdotool, at a person's speed.
"""

from __future__ import annotations

import http.server
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
from dataclasses import dataclass
from pathlib import Path

HERE = Path(__file__).resolve().parent
REPO = HERE.parent.parent
sys.path.insert(0, str(REPO / "tests"))
from xharness import START_TIMEOUT, Display, HarnessError, require, wait_until  # noqa: E402  (on the path above)

SUPPORT = Path(os.environ.get("VASKF5_X11_SUPPORT_DIR", REPO / "build" / "linux" / "tests" / "x11" / "support"))

EVENT_TIMEOUT = 10.0
SETTLE_SECONDS = 0.6   # only to prove that nothing more arrives
HOLD = 0.06            # how long each key of a chord is held

SCREEN = (1600, 1000)


# ----------------------------------------------------------------------------------------------------------------
# The page server


@dataclass
class Load:
    at_ns: int        # wall clock when the request arrived
    browser: str      # "chrome" or "firefox", from the user agent
    version: int      # the page version handed out


class PageServer:
    """Serves the editor's page file with no-store and logs every load of it."""

    def __init__(self, page: Path):
        self.page = page
        self.loads: list[Load] = []
        self.lock = threading.Lock()
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):  # noqa: N802 (the name http.server asks for)
                if self.path.split("?")[0] != "/page.html":
                    self.send_error(404)
                    return
                at = time.time_ns()
                body = server.page.read_bytes()
                agent = self.headers.get("User-Agent", "")
                with server.lock:
                    server.loads.append(Load(at, "firefox" if "Firefox" in agent else "chrome", _version_of(body)))
                self.send_response(200)
                self.send_header("Content-Type", "text/html; charset=utf-8")
                self.send_header("Cache-Control", "no-store")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    @property
    def url(self) -> str:
        return f"http://127.0.0.1:{self.httpd.server_address[1]}/page.html"

    def count(self, browser: str) -> int:
        with self.lock:
            return sum(1 for load in self.loads if load.browser == browser)

    def loads_of(self, browser: str) -> list[Load]:
        with self.lock:
            return [load for load in self.loads if load.browser == browser]

    def stop(self) -> None:
        self.httpd.shutdown()
        self.httpd.server_close()


def _version_of(body: bytes) -> int:
    text = body.decode(errors="replace")
    start = text.find('id="v">')
    if start < 0:
        return 0
    digits = text[start + 7:text.find("<", start + 7)]
    return int(digits) if digits.isdigit() else 0


# ----------------------------------------------------------------------------------------------------------------
# Processes that report on stdout


class Reporter:
    """A process whose stdout lines are collected by a thread, so a test can wait for a line."""

    def __init__(self, args: list[str], env: dict, stdin=subprocess.DEVNULL):
        self.errors = tempfile.TemporaryFile(mode="w+")
        self.process = subprocess.Popen(args, env=env, stdin=stdin, stdout=subprocess.PIPE,
                                        stderr=self.errors, text=True, bufsize=1)
        self.lines: list[str] = []
        self.lock = threading.Lock()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self) -> None:
        for line in self.process.stdout:
            with self.lock:
                self.lines.append(line.rstrip("\n"))

    def snapshot(self) -> list[str]:
        with self.lock:
            return list(self.lines)

    def wait_line(self, prefix: str, after: int = 0, timeout: float = EVENT_TIMEOUT) -> str:
        def found():
            return next((line for line in self.snapshot()[after:] if line.startswith(prefix)), None)
        try:
            return wait_until(found, f"'{prefix}' from {Path(self.process.args[0]).name}", timeout)
        except TimeoutError as timeout_error:
            self.errors.seek(0)
            state = "running" if self.process.poll() is None else f"ended with {self.process.returncode}"
            raise TimeoutError(f"{timeout_error} ({state}; stdout {self.snapshot()[-5:]}; stderr "
                               f"{self.errors.read()[-500:]!r})") from None

    def send(self, command: str) -> None:
        self.process.stdin.write(command + "\n")
        self.process.stdin.flush()


# ----------------------------------------------------------------------------------------------------------------
# The environment


@dataclass
class Window:
    id: int
    name: str


class X11Env(Display):
    """A display for one test module, with its own home, settings and runtime folders and the page server."""

    def __init__(self, name: str, compositor: bool = False, window_manager: bool = True):
        super().__init__(SCREEN, window_manager=window_manager, compositor=compositor)
        self.name = name
        self.temp: Path | None = None
        self.server: PageServer | None = None

    def start(self) -> "X11Env":
        require("chromium", "firefox-esr")
        for program in ("editor", "refresher"):
            if not (SUPPORT / program).is_file():
                raise HarnessError(f"{SUPPORT / program} is missing: build the linux preset first")
        self.temp = Path(tempfile.mkdtemp(prefix=f"vaskf5-x11-{self.name}-"))
        (self.temp / "home").mkdir(mode=0o700)
        super().start(HOME=str(self.temp / "home"), XDG_CONFIG_HOME=str(self.temp / "config"),
                      XDG_CACHE_HOME=str(self.temp / "cache"), XDG_RUNTIME_DIR=str(self.temp / "runtime"))
        page = self.temp / "site" / "page.html"
        page.parent.mkdir()
        page.write_text('<!doctype html><html><body><p id="v">0</p></body></html>\n')
        self.server = PageServer(page)
        return self

    def stop(self) -> None:
        super().stop()
        if self.server:
            self.server.stop()
        if self.temp:
            shutil.rmtree(self.temp, ignore_errors=True)

    def reporter(self, args: list[str], stdin=subprocess.DEVNULL) -> Reporter:
        reporter = Reporter(args, self.env, stdin)
        self.processes.append(reporter.process)
        return reporter

    # -- browsers and windows -------------------------------------------------------------------------------------

    def start_chromium(self, url: str = "") -> Window:
        profile = self.temp / "chromium-profile"
        args = ["chromium", f"--user-data-dir={profile}", "--no-first-run", "--no-default-browser-check",
                "--disable-gpu", "--disable-sync", "--disable-background-networking", "--disable-component-update",
                "--password-store=basic", "--window-position=0,0", "--window-size=760,600", url or self.server.url]
        if os.geteuid() == 0:
            args.insert(1, "--no-sandbox")
        self.spawn(args)
        window = self.wait_window("Chromium", "chrome")
        wait_until(lambda: self.server.count("chrome") >= 1, "Chromium's first page load", START_TIMEOUT)
        return window

    def start_firefox(self, url: str = "") -> Window:
        profile = self.temp / "firefox-profile"
        profile.mkdir()
        prefs = {
            "browser.shell.checkDefaultBrowser": "false",
            "browser.startup.homepage_override.mstone": '"ignore"',
            "startup.homepage_welcome_url": '""',
            "browser.aboutwelcome.enabled": "false",
            "datareporting.policy.dataSubmissionEnabled": "false",
            "toolkit.telemetry.reportingpolicy.firstRun": "false",
            "app.update.enabled": "false",
            "browser.tabs.warnOnClose": "false",
            "browser.sessionstore.resume_from_crash": "false",
            "browser.newtabpage.enabled": "false",
        }
        (profile / "user.js").write_text("".join(f'user_pref("{k}", {v});\n' for k, v in prefs.items()))
        self.spawn(["firefox-esr", "--profile", str(profile), "--no-remote", "-new-instance", url or self.server.url])
        window = self.wait_window("firefox-esr", "firefox")
        wait_until(lambda: self.server.count("firefox") >= 1, "Firefox's first page load", START_TIMEOUT)
        return window

    def wait_window(self, window_class: str, name: str) -> Window:
        found = wait_until(lambda: self.xdotool("search", "--onlyvisible", "--class", f"^{window_class}$"),
                           f"a window of class {window_class}", START_TIMEOUT)
        return Window(int(found.split()[-1]), name)

    def start_editor(self, window_class: str = "VaskEditor", geometry: str = "600x200+500+700") -> tuple:
        editor = self.reporter([str(SUPPORT / "editor"), "--class", window_class, "--title", window_class,
                                "--geometry", geometry, "--save", str(self.server.page)])
        created = int(editor.wait_line("created", timeout=START_TIMEOUT).split()[1])
        try:
            editor.wait_line("ready", timeout=3.0)
        except TimeoutError:
            # Openbox, freshly started, sometimes never acts on a window's first map request; asking again works.
            self.xdotool("windowmap", str(created))
            editor.wait_line("ready", timeout=START_TIMEOUT)
        window = Window(created, window_class)
        if self.window_manager:
            wait_until(lambda: self.is_managed(window), f"the window manager to take {window_class}", START_TIMEOUT)
        return editor, window

    def start_refresher(self, ticked: list[str]) -> Reporter:
        refresher = self.reporter([str(SUPPORT / "refresher")], stdin=subprocess.PIPE)
        refresher.wait_line("ready", timeout=START_TIMEOUT)
        refresher.send("tick " + " ".join(ticked))
        refresher.send("watch on")
        refresher.wait_line("watching on")
        return refresher

    def start_program(self, ticked: list[str], automatic: bool = True) -> tuple[subprocess.Popen, Window]:
        """The real vaskf5, with these browsers ticked and automatic refresh on or off through its settings file;
        returns once its window is on screen."""
        config = Path(self.env["XDG_CONFIG_HOME"])
        (config / "vaskf5").mkdir(parents=True, exist_ok=True)
        apps = "".join(f"{name}," for name in ticked) + ("autorefresh," if automatic else "")
        (config / "vaskf5" / "settings.ini").write_text(f"[Refresh]\nApps={apps}\n")
        program, xid = self.start_vaskf5(config, Path(self.env["XDG_RUNTIME_DIR"]))
        return program, Window(int(xid), "vaskf5")

    def is_managed(self, window: Window) -> bool:
        return "WM_STATE(WM_STATE)" in self.prop(window.id, "WM_STATE")

    def activate(self, window: Window) -> None:
        # Without a window manager nobody acts on activation requests: the focus is set directly.
        self.xdotool("windowactivate" if self.window_manager else "windowfocus", "--sync", str(window.id))
        wait_until(lambda: self.focused() == window.id, f"{window.name} to have the focus", EVENT_TIMEOUT)

    def focused(self) -> int:
        text = self.xdotool("getwindowfocus")
        return int(text) if text.isdigit() else 0

    def place(self, window: Window, x: int, y: int, width: int, height: int) -> None:
        self.xdotool("windowsize", "--sync", str(window.id), str(width), str(height))
        self.xdotool("windowmove", "--sync", str(window.id), str(x), str(y))

    def minimise(self, window: Window) -> None:
        self.xdotool("windowminimize", "--sync", str(window.id))
        wait_until(lambda: "Iconic" in self.prop(window.id, "WM_STATE"), f"{window.name} minimised", EVENT_TIMEOUT)

    def loads_after(self, act, expected: dict[str, int]) -> dict[str, int]:
        """Does ``act`` and waits until each browser has loaded the page as often as expected, or the deadline
        passes, then a little longer to see that no more loads come. Returns how many loads each browser made."""
        before = {name: self.server.count(name) for name in expected}
        act()
        try:
            wait_until(lambda: all(self.server.count(name) - before[name] >= n for name, n in expected.items()),
                       "the expected reloads", 3.0)
        except TimeoutError:
            pass
        time.sleep(SETTLE_SECONDS)
        return {name: self.server.count(name) - before[name] for name in expected}

    def type_save_chord(self) -> None:
        """Ctrl then S as a person types it: Ctrl down, S down and up, Ctrl up."""
        self.xdotool("keydown", "ctrl", "sleep", str(HOLD), "keydown", "s", "sleep", str(HOLD), "keyup", "s",
                     "sleep", str(HOLD), "keyup", "ctrl")


# ----------------------------------------------------------------------------------------------------------------
# A desktop with both browsers, the editor, look-alikes and vaskf5


class Desktop:
    """The scene every refresh test plays in, built once per module."""

    LOOKALIKES = ("Code", "Chromium")  # an Electron-style editor, and a program that borrows Chromium's class

    def __init__(self, name: str, compositor: bool = False):
        self.env = X11Env(name, compositor=compositor)

    def start(self) -> "Desktop":
        try:
            self.env.start()
            self.chrome = self.env.start_chromium()
            self.firefox = self.env.start_firefox()
            self.browsers = {"chrome": self.chrome, "firefox": self.firefox}
            self.lookalikes = [self.env.start_editor(name, f"300x150+{1000 + 310 * i}+720")
                               for i, name in enumerate(self.LOOKALIKES)]
            self.editor, self.editor_window = self.env.start_editor()
            self.program = None
            self.use(["chrome", "firefox"])
        except BaseException:
            self.env.stop()
            raise
        return self

    def stop(self) -> None:
        self.env.stop()

    def counts(self) -> dict[str, int]:
        return {name: self.env.server.count(name) for name in self.browsers}

    def use(self, ticked: list[str], automatic: bool = True, fresh: bool = False) -> None:
        """vaskf5 running with these browsers ticked and automatic refresh on or off (started again when that
        changes, or when a ``fresh`` one is asked for), and the editor in front again."""
        wanted = (tuple(ticked), automatic)
        if self.program is not None and self.program_state == wanted and not fresh:
            return
        if self.program is not None:
            self.env.stop_process(self.program)
        self.program, self.program_window = self.env.start_program(ticked, automatic)
        self.program_state = wanted
        self.env.activate(self.editor_window)

    def tick(self, *names: str) -> None:
        self.use(list(names))

    def bring_editor_forward(self) -> None:
        """The look-alikes come to the front first, then the editor, where the user types."""
        for _, window in self.lookalikes:
            self.env.activate(window)
        self.env.activate(self.editor_window)

    def chord(self, expected: dict[str, int]) -> dict[str, int]:
        """Types Ctrl then S into the editor; returns how many loads each browser made."""
        return self.env.loads_after(self.env.type_save_chord, expected)

    def synthetic_keys_received(self) -> dict[str, list[str]]:
        """Keys that a program sent to the editor or a look-alike: there must never be any."""
        windows = {"editor": self.editor, **{window.name: reporter for reporter, window in self.lookalikes}}
        return {name: [line for line in reporter.snapshot() if line.startswith("key ") and line.endswith(" 1")]
                for name, reporter in windows.items()}

    def editor_focus_losses(self) -> int:
        return sum(1 for line in self.editor.snapshot() if line == "focus out")
