#!/usr/bin/env python3
"""A race on X11 between Vask F5 and Browsersync, the file-watching live-reload server.

For each real browser (Chromium, Firefox ESR) in its own Xvfb display with openbox: Browsersync (default settings,
from npm, installed into bench/browsersync) proxies the local page server and watches the page file; the browser
shows the page through it. The tests' editor saves the page file on Ctrl+S, typed with xdotool at a person's
speed. Saves alternate between the two: on Browsersync's turn Vask F5's automatic refresh is off; on Vask F5's
turn Browsersync is paused. So no save is reloaded by both.

Measured per save: the time from the S key press (when the editor writes the file) to the browser's request for
the page at the page server, and whether that request fetched a version older than the save (a stale reload).
Prints the figures and records them in docs/benchmarks.md between its markers.

    python3 bench/x11_race.py [--saves N] [--browsers chrome,firefox] [--no-record]
"""

import argparse
import os
import statistics
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
REPO = HERE.parent
sys.path.insert(0, str(REPO / "tests"))

import xharness as harness  # noqa: E402

BROWSERSYNC = HERE / "browsersync"
REFRESHER = Path(os.environ.get("VASKF5_REFRESHER", REPO / "build" / "linux" / "bench" / "refresher"))
DOC = REPO / "docs" / "benchmarks.md"
BEGIN, END = "<!-- x11-race:begin -->", "<!-- x11-race:end -->"
NAMES = {"chrome": "Chromium", "firefox": "Firefox ESR"}
TIMEOUT = 5.0   # a save that brings no reload within this is counted as missed
SETTLE = 0.8    # to see any second reload of the same save


def install_browsersync() -> None:
    if not (BROWSERSYNC / "node_modules" / "browser-sync").is_dir():
        subprocess.run(["npm", "install", "--no-audit", "--no-fund", "--loglevel=error"], cwd=BROWSERSYNC,
                       check=True)


def start_commanded(env: harness.X11Env, args: list) -> harness.Reporter:
    """A helper program on the race's display that takes commands on stdin and answers on stdout."""
    return harness.Reporter(env.spawn(args, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1))


def p95(values):
    ordered = sorted(values)
    return ordered[max(0, -(-95 * len(ordered) // 100) - 1)]  # nearest rank


class Race:
    def __init__(self, browser: str):
        self.browser = browser
        # No browser at the start: each is started behind Browsersync's proxy once that is up.
        self.env = harness.X11Env(f"race-{browser}", browsers=())
        self.results = {"Vask F5": [], "Browsersync": []}
        self.fire_delay = []  # Vask F5: S key press to the moment it sends F5
        self.to_request = []  # Vask F5: F5 sent to the browser's request

    def run(self, saves: int) -> dict:
        try:
            self.setup()
            self.save("Browsersync")  # warm-up: both are connected and the page is cached by nobody
            self.save("Vask F5")
            self.results = {"Vask F5": [], "Browsersync": []}
            for i in range(2 * saves):
                self.save("Browsersync" if i % 2 == 0 else "Vask F5")
        finally:
            self.env.stop()
        return self.results

    def setup(self) -> None:
        if not REFRESHER.is_file():
            raise harness.HarnessError(f"{REFRESHER} is missing: build the linux preset first")
        env = self.env.start()
        self.bs = start_commanded(env, ["node", BROWSERSYNC / "race.js", env.server.url, env.server.page])
        url = self.bs.wait_line("ready", timeout=harness.START_TIMEOUT).split()[1]  # the page, through its proxy
        env.place(env.start_browser(self.browser, url), 0, 0, 900, 650)
        self.editor = env.editor
        self.refresher = start_commanded(env, [REFRESHER])
        self.refresher.wait_line("ready", timeout=harness.START_TIMEOUT)
        self.refresher.process.stdin.write(f"tick {self.browser}\n")
        env.activate(env.windows["editor"])

    def turn(self, racer: str) -> None:
        for reporter, command in ((self.refresher, "watch on" if racer == "Vask F5" else "watch off"),
                                  (self.bs, "resume" if racer == "Browsersync" else "pause")):
            seen = len(reporter.lines)
            reporter.process.stdin.write(command + "\n")
            reporter.process.stdin.flush()
            reporter.wait_line({"watch on": "watching on", "watch off": "watching off"}.get(command, command + "d"),
                               after=seen)

    def save(self, racer: str) -> None:
        self.turn(racer)
        server = self.env.server
        loads_before = len(server.loads_of(self.browser))
        editor_seen = len(self.editor.lines)
        refresher_seen = len(self.refresher.lines)
        self.env.xdotool(*harness.SAVE)
        _, version, pressed_ns = self.editor.wait_line("saved", after=editor_seen).split()
        version, pressed_ns = int(version), int(pressed_ns)
        try:
            harness.wait_until(lambda: len(server.loads_of(self.browser)) > loads_before, "a reload", TIMEOUT)
        except TimeoutError:
            self.results[racer].append({"missed": True})
            return
        time.sleep(SETTLE)
        loads = server.loads_of(self.browser)[loads_before:]
        first = loads[0]
        if len(loads) > 1:
            print(racer, "reloaded more than once, at ms after the save:", [round((l.at_ns - pressed_ns) / 1e6) for l in loads], "versions",
                  [l.version for l in loads], "saved", version, file=sys.stderr)
        self.results[racer].append({"missed": False, "latency_ms": (first.at_ns - pressed_ns) / 1e6,
                                    "stale": first.version < version, "extra": len(loads) - 1})
        if racer == "Vask F5":
            fired = [line for line in self.refresher.lines[refresher_seen:] if line.startswith("refreshed")]
            if fired:
                fired_ns = int(fired[0].split()[1])
                self.fire_delay.append((fired_ns - pressed_ns) / 1e6)
                self.to_request.append((first.at_ns - fired_ns) / 1e6)
        time.sleep(0.3)  # a person's pause between two saves


def summarise(browser: str, race: Race) -> list[str]:
    rows = []
    figures = {}
    for racer, results in race.results.items():
        hits = [r for r in results if not r["missed"]]
        latencies = [r["latency_ms"] for r in hits]
        figures[racer] = statistics.median(latencies) if latencies else float("nan")
        rows.append(f"| {NAMES[browser]} | {racer} | {len(results)} | {statistics.median(latencies):.0f} ms | "
                    f"{p95(latencies):.0f} ms | {sum(r['stale'] for r in hits)} | "
                    f"{len(results) - len(hits)} | {sum(r['extra'] for r in hits)} |")
    ratio = figures["Browsersync"] / figures["Vask F5"]
    fire = statistics.median(race.fire_delay) if race.fire_delay else float("nan")
    rows.append(f"| {NAMES[browser]} | ratio of medians, Browsersync / Vask F5 | | {ratio:.2f} | | | | |")
    rows.append(f"| {NAMES[browser]} | Vask F5, part: S press to F5 sent (xdotool lets Ctrl go "
                f"{2 * harness.HOLD * 1000:.0f} ms after S) | | {fire:.0f} ms | | | | |")
    if race.to_request:
        rows.append(f"| {NAMES[browser]} | Vask F5, part: F5 sent to the page request | | "
                    f"{statistics.median(race.to_request):.0f} ms | {p95(race.to_request):.0f} ms | | | |")
    return rows


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--saves", type=int, default=30, help="saves for each of the two, per browser")
    parser.add_argument("--browsers", default="chrome,firefox")
    parser.add_argument("--no-record", action="store_true", help="print only; leave docs/benchmarks.md alone")
    args = parser.parse_args()
    install_browsersync()
    print("| browser | who reloads | saves | median | p95 | stale reloads | missed | extra reloads |", flush=True)
    lines = ["| browser | who reloads | saves | median | p95 | stale reloads | missed | extra reloads |",
             "|---|---|---|---|---|---|---|---|"]
    for browser in args.browsers.split(","):
        race = Race(browser)
        race.run(args.saves)
        rows = summarise(browser, race)
        print("\n".join(rows), flush=True)
        lines += rows
    stamp = time.strftime("%Y-%m-%d")
    block = "\n".join([BEGIN, f"Measured {stamp} by `python3 bench/x11_race.py` ({args.saves} saves each, in one run "
                       "per browser, alternating save by save).", "", *lines, END])
    if not args.no_record:
        text = DOC.read_text()
        if BEGIN in text:
            text = text[:text.index(BEGIN)] + block + text[text.index(END) + len(END):]
        else:
            text += "\n## Vask F5 against Browsersync on X11\n\n" + block + "\n"
        DOC.write_text(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
