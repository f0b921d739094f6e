"""The scene of the X11 end-to-end tests on a display of tests/xharness.py: a page server that logs every load by the
window that asked for it, the browsers showing the page, two look-alikes, the editor where Ctrl then S is typed, and
the real vaskf5."""

import http.server
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
from collections import namedtuple
from pathlib import Path
from urllib.parse import parse_qs, urlsplit

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "tests"))
from xharness import START_TIMEOUT, Display, HarnessError, require, wait_until  # noqa: E402  (on the path above)

EDITOR = Path(os.environ.get("VASKF5_X11_EDITOR", REPO / "build" / "linux" / "tests" / "x11" / "support" / "editor"))
EVENT_TIMEOUT = 10.0
SETTLE_SECONDS = 0.6  # only to prove that nothing more arrives
HOLD = 0.06  # how long each key of a chord is held
LOOKALIKES = ("Code", "Chromium")  # an Electron-style editor, and a program that borrows Chromium's class
CLASSES = {"firefox": "firefox-esr"}  # the window class a browser is found by; Chromium's, or its --class, otherwise


def chord(*keys: str) -> list:
    """xdotool arguments that press the keys in order, each after a person's pause, then release them in reverse."""
    return [arg for key in keys for arg in ("keydown", key, "sleep", HOLD)] + \
        [arg for key in reversed(keys) for arg in ("keyup", key, "sleep", HOLD)]


SAVE = chord("ctrl", "s")
# A request for the page: wall clock when it arrived, the name of the window that asked (?w=NAME), the version.
Load = namedtuple("Load", "at_ns name version")


class PageServer(http.server.ThreadingHTTPServer):
    def __init__(self, page: Path):
        self.page, self.loads = page, []
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):  # noqa: N802 (the name http.server asks for)
                if urlsplit(self.path).path != "/page.html":
                    return self.send_error(404)
                body = server.page.read_bytes()
                version = re.search(rb'id="v">(\d+)<', body)
                name = parse_qs(urlsplit(self.path).query).get("w", [""])[0]
                server.loads.append(Load(time.time_ns(), name, int(version[1]) if version else 0))
                self.send_response(200)
                self.send_header("Content-Type", "text/html; charset=utf-8")
                self.send_header("Cache-Control", "no-store")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        super().__init__(("127.0.0.1", 0), Handler)
        threading.Thread(target=self.serve_forever, daemon=True).start()
        self.url = f"http://127.0.0.1:{self.server_address[1]}/page.html"

    def loads_of(self, name: str) -> list[Load]:
        return [load for load in list(self.loads) if load.name == name]


class Reporter:
    """A process whose stdout lines are collected by a thread, so a test can wait for a line."""

    def __init__(self, process: subprocess.Popen):
        self.process, self.lines = process, []
        threading.Thread(target=lambda: self.lines.extend(line.rstrip("\n") for line in process.stdout),
                         daemon=True).start()

    def wait_line(self, prefix: str, after: int = 0, timeout: float = EVENT_TIMEOUT) -> str:
        def found():
            return next((line for line in self.lines[after:] if line.startswith(prefix)), None)
        return wait_until(found, f"'{prefix}' from {Path(self.process.args[0]).name}", timeout)


class X11Env(Display):
    """The scene for one test module; ``windows`` holds the window ids of the browsers, the editor and vaskf5, by
    name: "firefox" is Firefox ESR, any other browser name a Chromium on a profile of its own."""

    def __init__(self, name: str, browsers=("chrome", "firefox"), window_manager: str | None = "openbox",
                 compositor: bool = False):
        super().__init__((1600, 1000), window_manager=window_manager, compositor=compositor)
        self.name, self.browsers, self.windows, self.started = name, list(browsers), {}, {}
        self.temp = self.server = self.program = None

    def _start(self) -> None:
        require("chromium", "firefox-esr")
        if not EDITOR.is_file():
            raise HarnessError(f"{EDITOR} is missing: build the linux preset first")
        self.temp = Path(tempfile.mkdtemp(prefix=f"vaskf5-x11-{self.name}-"))
        (self.temp / "home").mkdir(mode=0o700)
        super()._start(HOME=str(self.temp / "home"), XDG_CONFIG_HOME=str(self.temp / "config"),
                       XDG_CACHE_HOME=str(self.temp / "cache"), XDG_RUNTIME_DIR=str(self.temp / "runtime"))
        page = self.temp / "page.html"
        page.write_text('<!doctype html><html><body><p id="v">0</p></body></html>\n')
        self.server = PageServer(page)
        for browser in list(self.browsers):
            self.start_browser(browser)
        self.lookalikes = [self.start_editor(name, f"300x150+{1000 + 310 * i}+720")
                           for i, name in enumerate(LOOKALIKES)]
        self.editor, self.windows["editor"] = self.start_editor()
        if self.browsers:
            self.use(self.browsers)

    def stop(self) -> None:
        super().stop()
        if self.server:
            self.server.shutdown()
            self.server.server_close()
        if self.temp:
            shutil.rmtree(self.temp, ignore_errors=True)

    def start_browser(self, name: str, url: str = "", program: str = "chromium", *options: str) -> int:
        """A browser window on a throw-away profile once it has loaded the page (or ``url``), asking as ``name``."""
        profile, url = self.temp / f"{name}-profile", f"{url or self.server.url}?w={name}"
        if name == "firefox":
            profile.mkdir()
            prefs = {"browser.shell.checkDefaultBrowser": "false", "browser.aboutwelcome.enabled": "false",
                     "browser.startup.homepage_override.mstone": '"ignore"', "startup.homepage_welcome_url": '""',
                     "datareporting.policy.dataSubmissionEnabled": "false",
                     "toolkit.telemetry.reportingpolicy.firstRun": "false"}
            (profile / "user.js").write_text("".join(f'user_pref("{k}", {v});\n' for k, v in prefs.items()))
            process = self.spawn(["firefox-esr", "--profile", profile, "--no-remote", "-new-instance", url])
        else:
            process = self.spawn([program, *(["--no-sandbox"] if os.geteuid() == 0 else []), *options,
                                  f"--user-data-dir={profile}", "--no-first-run", "--no-default-browser-check",
                                  "--disable-gpu", "--disable-sync", "--disable-background-networking",
                                  "--disable-component-update", "--password-store=basic", "--window-position=0,0",
                                  "--window-size=760,600", url])
        window_class = next((o[len("--class="):] for o in options if o.startswith("--class=")), CLASSES.get(name, "Chromium"))
        found = wait_until(lambda: self.xdotool("search", "--all", "--onlyvisible", "--pid", process.pid, "--class",
                                                f"^{window_class}$"), f"a window of {name}", START_TIMEOUT)
        wait_until(lambda: self.server.loads_of(name), f"the first page load of {name}", START_TIMEOUT)
        self.windows[name], self.started[name] = int(found.split()[-1]), process
        if name not in self.browsers:
            self.browsers.append(name)
        return self.windows[name]

    def drop_browser(self, name: str) -> None:
        self.stop_process(self.started.pop(name))
        self.browsers.remove(name)
        del self.windows[name]

    def start_editor(self, window_class: str = "VaskEditor", geometry: str = "600x200+500+700"):
        editor = Reporter(self.spawn([EDITOR, window_class, geometry, self.server.page], stdout=subprocess.PIPE,
                                     text=True, bufsize=1))
        created = int(editor.wait_line("created", timeout=START_TIMEOUT).split()[1])
        try:
            editor.wait_line("ready", timeout=3.0)
        except TimeoutError:
            # Openbox, freshly started, sometimes never acts on a window's first map request; asking again works.
            self.xdotool("windowmap", created)
            editor.wait_line("ready", timeout=START_TIMEOUT)
        if self.window_manager:
            wait_until(lambda: "WM_STATE(WM_STATE)" in self.prop(created, "WM_STATE"),
                       f"the window manager to take {window_class}", START_TIMEOUT)
        return editor, created

    def use(self, ticked: list[str], automatic: bool = True, fresh: bool = False, browsers: str = "",
            prefix: tuple = ()) -> None:
        """vaskf5 running with these ticks and stored browser choice (started again when they change, or ``fresh``),
        the editor in front."""
        wanted = (list(ticked), automatic, browsers, prefix)
        if fresh or self.program is None or self.program.poll() is not None or self.program_state != wanted:
            if self.program:
                self.stop_process(self.program)
            config = Path(self.env["XDG_CONFIG_HOME"])
            (config / "vaskf5").mkdir(parents=True, exist_ok=True)
            apps = "".join(f"{name}," for name in ticked) + ("autorefresh," if automatic else "")
            choice = f"Browsers={browsers}\n" if browsers else ""
            (config / "vaskf5" / "settings.ini").write_text(f"[Refresh]\nApps={apps}\n{choice}")
            self.program, self.windows["vaskf5"] = self.start_vaskf5(config, Path(self.env["XDG_RUNTIME_DIR"]), prefix)
            self.program_state = wanted
        self.activate(self.windows["editor"])

    def bring_editor_forward(self) -> None:  # the look-alikes just behind it
        for _, window in self.lookalikes:
            self.activate(window)
        self.activate(self.windows["editor"])

    def activate(self, xid: int) -> None:
        # Without a window manager that acts on activation requests the focus is set directly.
        self.xdotool("windowactivate" if self.window_manager == "openbox" else "windowfocus", "--sync", xid)
        wait_until(lambda: self.focused() == xid, f"window {xid} to have the focus", EVENT_TIMEOUT)

    def focused(self) -> int:
        text = self.xdotool("getwindowfocus")
        return int(text) if text.isdigit() else 0

    def place(self, xid: int, x: int, y: int, width: int, height: int) -> None:
        self.xdotool("windowsize", "--sync", xid, width, height, "windowmove", "--sync", xid, x, y)

    def counts(self) -> dict[str, int]:
        return {browser: len(self.server.loads_of(browser)) for browser in self.browsers}

    def loads_after(self, keys: list, expected: dict[str, int]) -> dict[str, int]:
        """How often each browser loaded the page after ``keys`` (xdotool arguments) were typed."""
        before = self.counts()
        self.xdotool(*keys)
        try:
            wait_until(lambda: all(self.counts()[b] - before[b] >= n for b, n in expected.items()),
                       "the expected reloads", EVENT_TIMEOUT)
        except TimeoutError:
            pass
        time.sleep(SETTLE_SECONDS)
        return {browser: count - before[browser] for browser, count in self.counts().items()}

    def keys_sent_by_programs(self) -> dict[str, list[str]]:
        """Keys that a program sent (XSendEvent) to the editor or a look-alike: there must never be any."""
        windows = {"editor": self.editor, **dict(zip(LOOKALIKES, (reporter for reporter, _ in self.lookalikes)))}
        return {name: [line for line in reporter.lines if line.startswith("key ") and line.endswith(" 1")]
                for name, reporter in windows.items()}
