#!/usr/bin/env python3
"""How many X requests one save chord costs the X11 engine, as more browsers are ticked.

On a private Xvfb display with openbox, real Chromium and Firefox ESR run beside the tests' editor; the refresher
(bench/refresher.cpp: the engine and the program's own dispatch, without a window) counts the requests each chord
makes on the engine's connection (XNextRequest). The browsers are ticked in their stored order, one more each row, and
Internet Explorer alone last: the lookup reads the stacking order once per chord, whatever is ticked, and makes no
request for a browser that has no X11 row. Prints a table; asserts nothing.

    python3 bench/x11_requests.py [--chords N]
"""

import argparse
import os
import statistics
import subprocess
import sys
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(REPO / "tests"))

import xharness  # noqa: E402

REFRESHER = Path(os.environ.get("VASKF5_REFRESHER", REPO / "build" / "linux" / "bench" / "refresher"))
TOKENS = ["chrome", "msedge", "brave", "vivaldi", "firefox", "librewolf", "waterfox", "zen", "opera", "iexplore"]
RUNNING = {"chrome", "firefox"}


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--chords", type=int, default=5, help="chords per row")
    args = parser.parse_args()
    xharness.require(REFRESHER)
    env = xharness.X11Env("requests", browsers=())
    try:
        env.start()
        for browser in sorted(RUNNING):
            env.start_browser(browser)
        refresher = xharness.Reporter(env.spawn([REFRESHER], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
                                                bufsize=1))
        refresher.wait_line("ready", timeout=xharness.START_TIMEOUT)
        env.activate(env.windows["editor"])
        print("| ticked | of them running | X requests per chord (median) | min | max |")
        print("|---|---|---|---|---|")
        rows = [TOKENS[:count] for count in range(1, len(TOKENS) + 1)] + [["iexplore"]]
        for ticked in [["chrome"]] + rows:  # the first row twice: its first chord also interns the atoms
            seen = len(refresher.lines)
            refresher.process.stdin.write("tick " + " ".join(ticked) + "\nwatch on\n")
            refresher.wait_line("watching on", after=seen)
            counts = []
            for _ in range(args.chords):
                seen = len(refresher.lines)
                env.xdotool(*xharness.SAVE, "sleep", 0.3)  # the Chromium hold ends before the next chord
                line = refresher.wait_line("refreshed", after=seen)
                counts.append(int(line.rpartition("requests=")[2]))
            print(f"| {','.join(ticked)} | {len(RUNNING & set(ticked))} | {statistics.median(counts):.0f} | "
                  f"{min(counts)} | {max(counts)} |", flush=True)
        refresher.process.stdin.write("quit\n")
    finally:
        env.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
