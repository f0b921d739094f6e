"""What the end-to-end tests of the Linux program (tests/linux, tests/x11) share, and the Wine tests stand on: a
private X display where everything started is stopped by its process id, the real vaskf5 on it, where its
controls lie (from the program's own layout table), and the X tools that act on the display and read windows."""

import atexit
import os
import shutil
import signal
import subprocess
import time
from dataclasses import dataclass
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
PROGRAM = Path(os.environ.get("VASKF5_EXE", REPO / "build" / "linux" / "vaskf5"))
PRINT_LAYOUT = Path(os.environ.get("VASKF5_PRINT_LAYOUT", REPO / "build" / "linux" / "tests" / "print_layout"))
START_TIMEOUT = 60.0  # a browser's first window, or the program's, on a busy two-core machine
HOLD = 0.05  # seconds a key or button is held, as a quick person does
AIM = 0.1  # seconds between the pointer's last moves and the press
TWIPS_PER_PIXEL = 15  # at 96 dots per inch


class HarnessError(RuntimeError):
    """The environment could not be set up; the message says what is missing."""


def require(*tools: str) -> None:
    for tool in tools:
        if shutil.which(tool) is None:
            raise HarnessError(f"{tool} is not installed: ./scripts/test.sh installs it")


def wait_until(predicate, what: str, timeout: float = 10.0, interval: float = 0.05):
    """Polls ``predicate`` until it returns something true and returns that; fails at the deadline."""
    deadline = time.monotonic() + timeout
    while not (value := predicate()):
        if time.monotonic() >= deadline:
            raise TimeoutError(f"gave up after {timeout:.0f} s waiting for {what}")
        time.sleep(interval)
    return value


def layout() -> dict[str, tuple[int, int, int, int]]:
    """Each control's box in client pixels at 96 dpi (left, top, width, height), the settings panel open, as the
    program's layout table places it."""
    if not PRINT_LAYOUT.is_file():
        raise HarnessError(f"{PRINT_LAYOUT} is not built: build the linux preset first")
    rows = subprocess.run([PRINT_LAYOUT], capture_output=True, text=True, check=True, timeout=30).stdout.splitlines()
    return {name: tuple(round(int(v) / TWIPS_PER_PIXEL) for v in box)
            for name, *box in (row.split() for row in rows)}


def centre(name: str) -> tuple[int, int]:
    left, top, width, height = layout()[name]
    return left + width // 2, top + height // 2


def free_point(name: str) -> tuple[int, int]:
    """A point of the control where no other control lies (its containers aside): a press there reaches it."""
    boxes = layout()
    left, top, width, height = box = boxes.pop(name)

    def inside(x, y, other):
        return other[0] <= x < other[0] + other[2] and other[1] <= y < other[1] + other[3]
    others = [other for other in boxes.values() if not (inside(left, top, other) and
                                                        inside(left + width - 1, top + height - 1, other))]
    return next((x, y) for y in range(top + 5, top + height, 5) for x in range(left + 5, left + width, 5)
                if inside(x, y, box) and not any(inside(x, y, other) for other in others))


@dataclass
class Region:  # pixels of a rectangle of the screen, read once
    width: int
    height: int
    data: bytes

    def at(self, x: int, y: int) -> tuple[int, int, int]:
        i = 3 * (y * self.width + x)
        return tuple(self.data[i:i + 3])

    def count(self, points, colour) -> int:
        return sum(1 for x, y in points if self.at(x, y) == colour)


class XTools:
    env: dict  # names the display the tools act on

    def run(self, *args) -> str:
        return subprocess.run([str(a) for a in args], env=self.env, capture_output=True, text=True, check=False,
                              timeout=60).stdout

    def xdotool(self, *args) -> str:
        return self.run("xdotool", *args).strip()

    def prop(self, xid, name: str) -> str:
        return self.run("xprop", "-id", xid, name).strip()

    def opacity(self, xid) -> int:
        """A window's opacity as the compositor would apply it, 0 to 255 (255 when the property is absent)."""
        value = self.prop(xid, "_NET_WM_WINDOW_OPACITY").rpartition("=")[2].strip()
        return round(int(value) * 255 / 0xFFFFFFFF) if value.isdigit() else 255

    def geometry(self, xid) -> tuple[int, int, int, int]:  # x, y of the top-left pixel on the screen, width, height
        values = dict(line.strip().split(":", 1) for line in self.run("xwininfo", "-id", xid).splitlines()
                      if ":" in line)
        return tuple(int(values[key]) for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width",
                                                  "Height"))

    def click(self, xid, x: int, y: int, button: int = 1) -> None:
        """A click at a point of a window. The pointer glides the last pixels, as a hand does: GTK's scroll bars
        find their arrows from a move within them, not from the pointer jumping in from afar."""
        self.xdotool("mousemove", "--window", xid, x - 2, y, "sleep", AIM, "mousemove", "--window", xid, x, y,
                     "sleep", AIM, "mousedown", button, "sleep", HOLD, "mouseup", button)

    def open_panel(self, xid) -> None:
        """Opens vaskf5's settings panel with its button and waits until the panel is drawn over the skin."""
        x0, y0 = self.geometry(xid)[:2]
        left, top, width, height = layout()["panel"]
        point = (x0 + left, y0 + top + height // 2)  # on its border, far from the button and from its tool tip
        skin = self.grab(*point, 1, 1).at(0, 0)
        self.click(xid, *centre("panelButton"))
        wait_until(lambda: self.grab(*point, 1, 1).at(0, 0) != skin, "the open settings panel")

    def grab(self, x: int, y: int, width: int, height: int, keep: Path | None = None) -> Region:
        """The screen's pixels in a rectangle of root coordinates; also saved as a PNG when ``keep`` is given."""
        data = subprocess.run(["import", "-display", self.env["DISPLAY"], "-window", "root", "-crop",
                               f"{width}x{height}+{x}+{y}", "-depth", "8", "rgb:-"], env=self.env,
                              capture_output=True, check=True, timeout=60).stdout
        if keep:
            keep.parent.mkdir(parents=True, exist_ok=True)
            subprocess.run(["convert", "-size", f"{width}x{height}", "-depth", "8", "rgb:-", str(keep)],
                           input=data, check=True, timeout=60)
        return Region(width, height, data)

    def drag(self, xid, start: tuple[int, int], by: tuple[int, int], steps: int = 8, release: bool = True) -> None:
        """Left button down at a point of a window, moved by ``by`` on the screen in steps, and released unless
        told not to."""
        x0, y0 = self.geometry(xid)[:2]
        args: list = ["mousemove", x0 + start[0], y0 + start[1], "sleep", HOLD, "mousedown", 1]
        for step in range(1, steps + 1):
            args += ["sleep", 0.03, "mousemove", x0 + start[0] + by[0] * step // steps,
                     y0 + start[1] + by[1] * step // steps]
        self.xdotool(*args, *(["sleep", HOLD, "mouseup", 1] if release else []))


def _interrupt(signum, _frame):
    signal.signal(signum, signal.SIG_DFL)
    raise KeyboardInterrupt(signum)  # unittest lets it through; each display's stop then runs at exit


class Display(XTools):
    """A private X server on a free display number, with a window manager (openbox unless told otherwise, None
    for a bare server) and picom when asked."""

    def __init__(self, screen: tuple[int, int] = (1280, 800), window_manager: str | None = "openbox",
                 compositor: bool = False) -> None:
        self.screen = screen
        self.window_manager = window_manager
        self.compositor = compositor
        self.processes: list[subprocess.Popen] = []
        self.env = {key: value for key, value in os.environ.items() if key != "WAYLAND_DISPLAY"}

    def start(self, **extra_env: str) -> "Display":
        for signum in (signal.SIGTERM, signal.SIGHUP):
            signal.signal(signum, _interrupt)
        atexit.register(self.stop)
        try:
            self._start(**extra_env)
        except BaseException:
            self.stop()  # what did start is not left running
            raise
        return self

    def _start(self, **extra_env: str) -> None:
        require("Xvfb", "xdotool", "xprop", "xwininfo", "import", *filter(None, [self.window_manager]),
                *(["picom"] if self.compositor else []))
        # The server picks a free display number itself and reports it, so two test runs never race for one; with
        # -noreset it does not reset, under our feet, whenever its last client leaves.
        read_end, write_end = os.pipe()
        self.spawn(["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{self.screen[0]}x{self.screen[1]}x24",
                    "-nolisten", "tcp", "-noreset"], pass_fds=(write_end,))
        os.close(write_end)
        with os.fdopen(read_end) as reported:
            number = reported.readline().strip()
        if not number.isdigit():
            raise HarnessError("Xvfb did not start")
        self.env.update(DISPLAY=f":{number}", NO_AT_BRIDGE="1", XDG_SESSION_TYPE="x11", **extra_env)
        if self.window_manager:
            self.start_window_manager("openbox" if self.window_manager is True else self.window_manager)
        if self.compositor:
            self.spawn(["picom", "--backend", "xrender", "--no-fading-openclose"])
            wait_until(lambda: '"picom"' in self.run("xwininfo", "-root", "-children"), "picom", START_TIMEOUT)

    def start_window_manager(self, name: str, *options) -> None:
        self.window_manager = name
        if name == "openbox":
            self.spawn(["openbox", "--sm-disable"])
            # Its theme is announced at the end of its start-up; a window mapped before that may never be
            # managed (the check window appears earlier).
            wait_until(lambda: "_OB_THEME" in self.run("xprop", "-root"), "openbox", START_TIMEOUT)
        else:  # twm announces nothing: the caller waits for what it needs
            self.spawn([name, *options])

    def spawn(self, args: list, env: dict | None = None, **kwargs) -> subprocess.Popen:
        """Starts a program on the display, in its own session, and remembers it to stop it later."""
        kwargs.setdefault("stdout", subprocess.DEVNULL)
        kwargs.setdefault("stderr", subprocess.DEVNULL)
        process = subprocess.Popen([str(a) for a in args], env=env or self.env, start_new_session=True, **kwargs)
        self.processes.append(process)
        return process

    def stop_process(self, process: subprocess.Popen) -> None:
        if process.poll() is None:
            process.terminate()
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
        if process in self.processes:
            self.processes.remove(process)

    def stop(self) -> None:
        for process in reversed(self.processes):
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
        while self.processes:
            self.stop_process(self.processes[-1])

    def start_vaskf5(self, config: Path, runtime: Path, prefix: tuple = (), **extra_env: str):
        """The real vaskf5 (run by ``prefix`` when given), once its window is on screen; its stderr goes to
        ``vaskf5.log`` in the runtime folder. Returns the process and the window id."""
        if not PROGRAM.is_file():
            raise HarnessError(f"{PROGRAM} is not built: build the linux preset first")
        runtime.mkdir(mode=0o700, parents=True, exist_ok=True)
        with open(runtime / "vaskf5.log", "w") as log:
            program = self.spawn([*prefix, PROGRAM], env={**self.env, "XDG_CONFIG_HOME": str(config),
                                                          "XDG_RUNTIME_DIR": str(runtime), **extra_env}, stderr=log)
        found = wait_until(lambda: self.xdotool("search", "--onlyvisible", "--pid", program.pid, "--name",
                                                "^Vask F5$"), "the window of vaskf5", START_TIMEOUT)
        xid = int(found.split()[0])
        wait_until(lambda: "IsViewable" in self.run("xwininfo", "-id", xid), "the window of vaskf5 on screen")
        return program, xid
