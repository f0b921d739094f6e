#!/usr/bin/env python3
"""Vask F5's benchmarks: runs VaskF5.exe under Wine on a private Xvfb display and prints a table of figures.

    python3 bench/run.py [--quick] [--idle-seconds S] [--chords N] [--starts N] [--markdown FILE] [--json FILE]

What is measured (each figure as the median and the 95th percentile of repeated runs, beside its bound or a
baseline measured in the same run):

* refresh latency: from the release of Ctrl, after Ctrl then S typed at a person's speed, to the moment a fake
  browser (the Chromium model of the Wine tests) performs the reload; chord_driver.exe types with SendInput and
  reads the fake browser's log, both on QueryPerformanceCounter. Measured for VaskF5.exe (raw input, bound 1 ms)
  and for VaskF5Polling.exe (the key poller, the baseline, bound the real timer period);
* timer period: the interval between WM_TIMER messages of a 1 ms SetTimer;
* poller tick: one look at the save chord's keys by the program's own poller on the real user32 (tick_cost.exe);
* idle CPU and wake-ups: the program's own CPU time (and its Wine server's) and its voluntary context switches
  per second while idle, from /proc: VaskF5.exe with the watcher on and off, and VaskF5Polling.exe with it on;
* start-up: process start to visible window, against a minimal window program built the same way
  (launch_timer.exe, with minimal_window.exe); and, to show where the time goes, the program's own start-up code
  step by step (startup_profile.exe) beside the minimal program's (minimal_profile.exe);
* footprint: the size of VaskF5.exe, the DLLs it imports, and its peak resident memory against the minimal one;
* host micro-benchmarks of the portable code against the unit tests' fake window manager, when built.

Nothing here asserts against the clock: figures are printed, and "target met?" only says how they compare.
Everything started is stopped by process id; the Wine prefix and the display are this run's own.
"""

from __future__ import annotations

import argparse
import datetime
import json
import math
import os
import platform
import shutil
import statistics
import subprocess
import sys
import time
from dataclasses import dataclass, field
from pathlib import Path

HERE = Path(__file__).resolve().parent
REPO = HERE.parent
sys.path.insert(0, str(REPO / "tests" / "win32"))
# The end-to-end tests' Wine and Xvfb machinery (tests/win32/harness.py), used as it is; imported by main() once the
# paths it reads from the environment are set.
harness = None

BUILD = REPO / "build" / "windows"
MINIMAL_CLASS = "VaskBenchMinimal"
CHROME_FRAME_WINDOWS = 1  # a lone Chrome frame, with the popups and helper window the real one has

# DLLs that Windows ships in System32 (from 7 on; shcore.dll, the per-monitor scale, from 8.1 on); anything else would
# have to travel with the program.
WINDOWS_DLLS = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "crypt32.dll", "dwmapi.dll", "gdi32.dll", "gdiplus.dll",
    "imm32.dll", "kernel32.dll", "msimg32.dll", "msvcrt.dll", "ntdll.dll", "ole32.dll", "oleaut32.dll",
    "psapi.dll", "rpcrt4.dll", "secur32.dll", "setupapi.dll", "shcore.dll", "shell32.dll", "shlwapi.dll", "user32.dll",
    "userenv.dll", "uxtheme.dll", "version.dll", "windowscodecs.dll", "winmm.dll", "ws2_32.dll",
}


def log(message: str) -> None:
    print(f"[bench {time.strftime('%H:%M:%S')}] {message}", file=sys.stderr, flush=True)


# ------------------------------------------------------------------------------------------------------------------
# Statistics


def percentile(values: list[float], p: float) -> float:
    """Nearest-rank percentile: the smallest value with at least p % of the values at or below it."""
    ordered = sorted(values)
    if not ordered:
        return math.nan
    rank = max(1, math.ceil(p / 100.0 * len(ordered)))
    return ordered[min(rank, len(ordered)) - 1]


def median(values: list[float]) -> float:
    return statistics.median(values) if values else math.nan


@dataclass
class Row:
    figure: str
    median: str
    p95: str
    bound: str
    met: str


@dataclass
class Results:
    rows: list[Row] = field(default_factory=list)
    notes: list[str] = field(default_factory=list)
    raw: dict = field(default_factory=dict)

    def add(self, figure: str, median_text: str, p95_text: str, bound: str, met: str = "—") -> None:
        self.rows.append(Row(figure, median_text, p95_text, bound, met))


def yes_no(condition: bool) -> str:
    return "yes" if condition else "**no**"


# ------------------------------------------------------------------------------------------------------------------
# The machine


def machine_info() -> dict[str, str]:
    def first(path: str, prefix: str) -> str:
        try:
            for line in Path(path).read_text().splitlines():
                if line.startswith(prefix):
                    return line.split(":", 1)[1].strip()
        except OSError:
            pass
        return "?"

    memory_kb = first("/proc/meminfo", "MemTotal").split()[0]
    wine = subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip()
    return {
        "date": datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC"),
        "cpus": str(os.cpu_count()),
        "cpu": first("/proc/cpuinfo", "model name"),
        "memory": f"{int(memory_kb) / 1024 / 1024:.1f} GiB" if memory_kb.isdigit() else "?",
        "kernel": platform.release(),
        "wine": wine,
        "load": " ".join(Path("/proc/loadavg").read_text().split()[:3]),
    }


# ------------------------------------------------------------------------------------------------------------------
# Linux side of a Wine process: CPU time and memory from /proc


CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def cpu_ticks(pid: int) -> int:
    """utime + stime of a process, in clock ticks (all its threads, live and ended)."""
    text = Path(f"/proc/{pid}/stat").read_text()
    fields = text[text.rindex(")") + 2:].split()
    return int(fields[11]) + int(fields[12])


def cpu_ns(pid: int) -> int:
    """Time on the CPU of a process's live threads in nanoseconds (schedstat: finer than the clock ticks)."""
    total = 0
    for task in Path(f"/proc/{pid}/task").iterdir():
        try:
            total += int((task / "schedstat").read_text().split()[0])
        except (OSError, ValueError, IndexError):
            pass  # a thread that ended between the listing and the read
    return total


def status_value(proc_dir: Path, name: str) -> int:
    """A number from a process's or thread's /proc status (memory in kB, counts as they are)."""
    for line in (proc_dir / "status").read_text().splitlines():
        if line.startswith(name + ":"):
            return int(line.split()[1])
    return 0


def status_kb(pid: int, name: str) -> int:
    return status_value(Path(f"/proc/{pid}"), name)


def voluntary_switches(pid: int) -> int:
    """How often the process's threads have gone to sleep to wait (each wait ends in a wake-up), summed over the
    threads' /proc status."""
    total = 0
    for task in Path(f"/proc/{pid}/task").iterdir():
        try:
            total += status_value(task, "voluntary_ctxt_switches")
        except (OSError, ValueError):
            pass  # a thread that ended between the listing and the read
    return total


def wineserver_pid(prefix: Path) -> int | None:
    """The wine server of our prefix (there may be others on the machine, for other prefixes)."""
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            if "wineserver" not in (entry / "comm").read_text():
                continue
            environ = (entry / "environ").read_bytes().split(b"\0")
        except OSError:
            continue
        if f"WINEPREFIX={prefix}".encode() in environ:
            return int(entry.name)
    return None


# ------------------------------------------------------------------------------------------------------------------
# The measurements


class Bench:
    def __init__(self, args):
        self.args = args
        self.results = Results()
        self.env = None
        self.bench_dir = Path(args.bench_dir).resolve()
        self.exe = Path(args.exe).resolve()
        self.polling_exe = self.exe.with_name("VaskF5Polling.exe")
        self.period_ms: float | None = None

    def tool(self, name: str) -> Path:
        path = self.bench_dir / name
        if not path.is_file():
            raise harness.HarnessError(f"{path} not built: run ./bench/run.sh, or build the windows preset")
        return path

    def wine(self, args: list, timeout: float) -> list[str]:
        return self.env.wine(args, timeout=timeout).splitlines()

    def wait_gone(self, cls: str) -> None:
        harness.wait_until(lambda: not self.env.find(cls), f"the last window of {cls} to go", harness.TIMEOUT)

    # -- footprint on disk --------------------------------------------------------------------------------------

    def footprint(self) -> None:
        size = self.exe.stat().st_size
        minimal = self.tool("minimal_window.exe").stat().st_size
        self.results.add("VaskF5.exe size", f"{size / 1024:.0f} KiB", "—",
                         f"< 1 MiB (minimal window program: {minimal / 1024:.0f} KiB)", yes_no(size < 1024 * 1024))
        objdump = shutil.which("x86_64-w64-mingw32-objdump") or "objdump"
        text = subprocess.run([objdump, "-p", str(self.exe)], capture_output=True, text=True, check=True).stdout
        dlls = [line.split(":", 1)[1].strip() for line in text.splitlines() if "DLL Name:" in line]
        foreign = [d for d in dlls if d.lower() not in WINDOWS_DLLS]
        self.results.add("imported DLLs", ", ".join(dlls), "—", "only DLLs that Windows ships"
                         + (f" (not: {', '.join(foreign)})" if foreign else ""), yes_no(not foreign))
        self.results.raw["footprint"] = {"size": size, "minimal_size": minimal, "dlls": dlls}

    # -- the watcher's tick ---------------------------------------------------------------------------------------

    def tick_cost(self) -> None:
        log("key poller tick cost (tick_cost.exe)")
        lines = self.wine([self.tool("tick_cost.exe"), "--reps", self.args.tick_reps, "--paced-ticks",
                           self.args.paced_ticks], timeout=600)
        figures = {}
        for line in lines:
            parts = line.split()
            if parts and parts[0] in ("raw", "poller", "paced"):
                figures[parts[0]] = {"n": int(parts[1]), "median": float(parts[2]), "p95": float(parts[3]),
                                     "mean": float(parts[4]), "max": float(parts[5])}
            elif parts and parts[0] == "period":
                figures["period"] = {"n": int(parts[1]), "median": float(parts[2]), "p95": float(parts[3])}
            elif parts and parts[0] == "events":
                figures["events"] = parts[1]
        self.results.raw["tick_cost"] = figures
        if figures.get("events") != "0":
            self.results.notes.append(f"tick_cost saw {figures.get('events')} key events: tick figures are unreliable")
        self.tick_figures = figures

    def report_tick_cost(self) -> None:
        figures = self.tick_figures
        period_us = figures["period"]["median"]
        budget = period_us / 100.0  # 1 % of one core at one tick per period
        for key, label in (("poller", "key poller tick, back to back (real user32, thread with a window)"),
                           ("paced", f"key poller tick, paced by its timer (period {period_us / 1000:.2f} ms)"),
                           ("raw", "bare key-state reads of one tick, thread with a window")):
            f = figures[key]
            bound, met = (f"1 % of a period: {budget:.0f} µs", yes_no(f["median"] <= budget)) if key != "raw" \
                else ("diagnostic", "—")
            self.results.add(f"{label} ({f['n']} ticks)", f"{f['median']:.1f} µs", f"{f['p95']:.1f} µs", bound, met)

    # -- refresh latency ------------------------------------------------------------------------------------------

    def latency(self) -> None:
        log(f"refresh latency over {self.args.chords} chords each, raw input and the poller (chord_driver.exe)")
        events = self.chords(self.exe, "events")
        polling = self.chords(self.polling_exe, "polling")
        ticks = polling["ticks"] + events["ticks"]
        self.period_ms = median(ticks)
        period_p95 = percentile(ticks, 95)
        for run, label in ((events, "raw input"), (polling, "key poller (VaskF5Polling.exe)")):
            latencies = run["latencies"]
            lat_median, lat_p95 = median(latencies), percentile(latencies, 95)
            if run is events:
                bound, met = "median ≤ 1 ms", yes_no(lat_median <= 1.0)
            else:
                bound = f"baseline: 1 period = {self.period_ms:.2f} ms"
                met = "—"
            self.results.add(f"refresh latency, Ctrl release → reload, {label} ({len(latencies)} chords)",
                             f"{lat_median:.2f} ms", f"{lat_p95:.2f} ms", bound, met)
            if run["missed"] or run["doubled"] or run["early"]:
                self.results.notes.append(f"latency run, {label}: {run['missed']} chords without a refresh, "
                                          f"{run['doubled']} refreshed more than once, {run['early']} reloads "
                                          "before Ctrl was released")
        self.results.add(f"timer period, 1 ms SetTimer ({len(ticks)} intervals)", f"{self.period_ms:.2f} ms",
                         f"{period_p95:.2f} ms", "asked for 1 ms; Wine's minimum is 10 ms", "—")
        self.results.raw["latency"] = {"events": events, "polling": polling, "period_ms": ticks}

    def chords(self, exe: Path, name: str) -> dict:
        """Types the chords into chord_driver's window with one build of the program running; returns the
        latencies in ms and what went wrong."""
        out_dir = self.env.out = self.env.base / f"latency-{name}"
        out_dir.mkdir(parents=True, exist_ok=True)
        browsers = harness.Browsers(self.env, [(harness.CHROME, CHROME_FRAME_WINDOWS)])
        self.env.reg_add("REG_SZ", "chrome,autorefresh,")
        program = self.env.spawn([exe], f"vaskf5-latency-{name}")
        try:
            self.env.wait_window(harness.MAIN)
            lines = self.wine([self.tool("chord_driver.exe"), "--log", harness.windows_path(browsers.logs[0]),
                               "--count", self.args.chords, "--hold-ms", 80, "--gap-ms", 250],
                              timeout=60 + self.args.chords * 3)
        finally:
            self.env.kill(program)
            self.env.kill(browsers.processes[0])
            self.wait_gone(harness.MAIN)
            self.wait_gone(harness.CHROME)

        latencies, activations, ticks = [], [], []
        missed = doubled = early = 0
        for line in lines:
            parts = line.split()
            if parts and parts[0] == "chord":
                before, after, activate, reload, reloads, too_early = (int(v) for v in parts[2:8])
                early += too_early
                if reload < 0:
                    missed += 1
                    continue
                doubled += reloads > 1
                # From the moment before the release was typed: never flatters, by at most a few tens of µs.
                latencies.append((reload - before) / 1000.0)
                activations.append((activate - before) / 1000.0)
            elif parts and parts[0] == "tick":
                ticks.append(int(parts[1]) / 1000.0)
        if not latencies:
            raise harness.HarnessError(f"no chord refreshed the fake browser ({exe.name}): see {out_dir}")
        return {"latencies": latencies, "activate_ms": activations, "ticks": ticks, "missed": missed,
                "doubled": doubled, "early": early, "lowest_ms": min(latencies), "highest_ms": max(latencies)}

    # -- idle CPU -------------------------------------------------------------------------------------------------

    def idle_cpu(self, apps: str, exe: Path) -> dict:
        self.env.reg_add("REG_SZ", apps)
        program = self.env.spawn([exe], f"{exe.stem.lower()}-idle-{apps.strip(',').replace(',', '-')}")
        try:
            self.env.wait_window(harness.MAIN)
            # The pointer off the window: resting on it, Wine's tracking of the pointer's leaving (TrackMouseEvent)
            # wakes the program a few times a second, which Windows does not.
            self.env.display.xdotool("mousemove", 1270, 790)
            pid = program.pid
            comm = Path(f"/proc/{pid}/comm").read_text().strip()
            if comm != exe.name[:15]:  # the kernel keeps 15 characters of the name
                raise harness.HarnessError(f"process {pid} is {comm!r}, not {exe.name}")
            server = wineserver_pid(Path(self.env.env["WINEPREFIX"]))
            time.sleep(self.args.settle)  # start-up work done and paint settled before we start counting
            seconds = self.args.idle_seconds
            wall0, ticks0, ns0, waits0 = time.monotonic_ns(), cpu_ticks(pid), cpu_ns(pid), voluntary_switches(pid)
            server_ns0 = cpu_ns(server) if server else 0
            samples, server_samples = [], []
            last_wall, last_ns, last_server = wall0, ns0, server_ns0
            deadline = wall0 + int(seconds * 1e9)
            while True:
                now = time.monotonic_ns()
                if now >= deadline:
                    break
                time.sleep(min(1.0, (deadline - now) / 1e9))
                wall, ns = time.monotonic_ns(), cpu_ns(pid)
                samples.append(100.0 * (ns - last_ns) / (wall - last_wall))
                if server:
                    server_now = cpu_ns(server)
                    server_samples.append(100.0 * (server_now - last_server) / (wall - last_wall))
                    last_server = server_now
                last_wall, last_ns = wall, ns
            wall1, ticks1, waits1 = time.monotonic_ns(), cpu_ticks(pid), voluntary_switches(pid)
            hwm = status_kb(pid, "VmHWM")
        finally:
            self.env.kill(program)
            self.wait_gone(harness.MAIN)
        elapsed = (wall1 - wall0) / 1e9
        return {
            "apps": apps,
            "seconds": elapsed,
            "total_percent": 100.0 * (ticks1 - ticks0) / CLOCK_TICKS / elapsed,
            "per_second": samples,
            "server_per_second": server_samples,
            "server_total_percent": 100.0 * (last_server - server_ns0) / 1e9 / elapsed if server else math.nan,
            "vm_hwm_kb": hwm,
            "wakeups_per_second": (waits1 - waits0) / elapsed,
        }

    def idle(self) -> None:
        log(f"idle CPU and wake-ups, {self.args.idle_seconds:g} s each: watcher on, off, and the polling baseline")
        on = self.idle_cpu("chrome,autorefresh,", self.exe)
        off = self.idle_cpu("chrome,", self.exe)
        polling = self.idle_cpu("chrome,autorefresh,", self.polling_exe)
        self.results.raw["idle"] = {"on": on, "off": off, "polling": polling}
        for run, label in ((on, "watcher on"), (off, "watcher off"), (polling, "polling watcher on (baseline)")):
            self.results.add(f"idle CPU, {label} ({run['seconds']:.0f} s in 1 s steps)",
                             f"{median(run['per_second']):.2f} %", f"{percentile(run['per_second'], 95):.2f} %",
                             f"whole run {run['total_percent']:.2f} % (utime+stime); its wine server "
                             f"{median(run['server_per_second']):.2f} %", "—")
        for run, label in ((on, "key-event watcher"), (polling, "polling watcher (baseline)")):
            overhead = run["total_percent"] - off["total_percent"]
            step = median(run["per_second"]) - median(off["per_second"])
            server_overhead = median(run["server_per_second"]) - median(off["server_per_second"])
            bound = f"whole runs: {overhead:.2f} %; plus {server_overhead:.2f} % in the wine server"
            if run is on:
                bound, met = f"< 0.1 % ({bound})", yes_no(overhead < 0.1 and step < 0.1)
            else:
                met = "—"
            self.results.add(f"idle CPU of the {label}, on − off (% of one core)", f"{step:.2f} %",
                             f"{percentile(run['per_second'], 95) - percentile(off['per_second'], 95):.2f} %",
                             bound, met)
        for run, label in ((on, "watcher on"), (off, "watcher off"), (polling, "polling watcher on (baseline)")):
            rate = run["wakeups_per_second"]
            bound, met = ("≤ 1", yes_no(rate <= 1.0)) if run is on else ("—", "—")
            self.results.add(f"wake-ups while idle, {label} (voluntary context switches per second, "
                             f"{run['seconds']:.0f} s)", f"{rate:.2f} /s", "—", bound, met)

    # -- start-up and memory --------------------------------------------------------------------------------------

    def startup(self) -> None:
        log(f"start-up, {self.args.starts} starts of each program after one warm-up (launch_timer.exe)")
        self.env.reg_add("REG_SZ", "chrome,autorefresh,")
        lines = self.wine([self.tool("launch_timer.exe"), "--runs", self.args.starts, "--warmup", 1,
                           "--settle-ms", 300,
                           "--program", "vaskf5", harness.windows_path(self.exe), harness.MAIN,
                           "--program", "minimal", harness.windows_path(self.tool("minimal_window.exe")),
                           MINIMAL_CLASS], timeout=120 + self.args.starts * 30)
        starts: dict[str, list[float]] = {"vaskf5": [], "minimal": []}
        peaks: dict[str, list[float]] = {"vaskf5": [], "minimal": []}
        private: dict[str, list[float]] = {"vaskf5": [], "minimal": []}
        failed = 0
        for line in lines:
            parts = line.split()
            if not parts or parts[0] != "start":
                continue
            warmup, name, visible = parts[2] == "1", parts[3], float(parts[4])
            if visible < 0:
                failed += 1
                continue
            if warmup:
                continue
            starts[name].append(visible)
            peaks[name].append(int(parts[6]) / 1024 / 1024)
            private[name].append(int(parts[7]) / 1024 / 1024)
        if failed:
            self.results.notes.append(f"start-up: {failed} starts never showed their window")
        v, m = starts["vaskf5"], starts["minimal"]
        ratio = median(v) / median(m)
        ratio_p95 = percentile(v, 95) / percentile(m, 95)
        self.results.add(f"start-up to visible window ({len(v)} starts)", f"{median(v):.1f} ms",
                         f"{percentile(v, 95):.1f} ms",
                         f"minimal window: {median(m):.1f} / {percentile(m, 95):.1f} ms → "
                         f"{ratio:.2f}x / {ratio_p95:.2f}x (≤ 1.2x)", yes_no(ratio <= 1.2))
        pv, pm = peaks["vaskf5"], peaks["minimal"]
        self.results.add("peak memory (PeakWorkingSetSize = VmHWM)", f"{median(pv):.1f} MiB",
                         f"{percentile(pv, 95):.1f} MiB",
                         f"minimal window: {median(pm):.1f} MiB → {median(pv) / median(pm):.2f}x, "
                         f"+{median(pv) - median(pm):.1f} MiB", "—")
        self.results.raw["startup"] = {"starts_ms": starts, "peak_mib": peaks, "private_mib": private}

    def startup_profile(self) -> None:
        """Where VaskF5's start-up time goes: its own start-up code step by step (startup_profile.exe), as it runs
        and with the window system's first-use costs paid up front as steps of their own, beside the minimal window
        program's steps (minimal_profile.exe); and how many blocking waits each program itself has made by the time
        its window shows."""
        runs = self.args.profile_runs
        log(f"start-up profile, {runs} runs of each kind (startup_profile.exe, minimal_profile.exe)")
        self.env.reg_add("REG_SZ", "chrome,autorefresh,")
        kinds = {"vaskf5": [self.tool("startup_profile.exe")],
                 "vaskf5-split": [self.tool("startup_profile.exe"), "--split"],
                 "minimal": [self.tool("minimal_profile.exe")]}
        steps: dict[str, dict[str, list[tuple[float, float, int]]]] = {kind: {} for kind in kinds}
        orders: dict[str, list[str]] = {kind: [] for kind in kinds}
        for run in range(runs + 1):
            for kind, command in kinds.items():
                lines = self.wine(command, timeout=120)
                if run == 0:
                    continue  # one warm-up of each
                for line in lines:
                    parts = line.split()
                    if parts and parts[0] == "step":
                        name = parts[1]
                        if name not in orders[kind]:
                            orders[kind].append(name)
                        steps[kind].setdefault(name, []).append((float(parts[2]), float(parts[3]), int(parts[4])))
        # Rows in the order of the split run, which has every step of the program; the minimal's own steps last.
        order = orders["vaskf5-split"] + [n for k in ("vaskf5", "minimal") for n in orders[k]
                                          if n not in orders["vaskf5-split"]]
        order = list(dict.fromkeys(order))
        waits_at_visible: dict[str, list[int]] = {"vaskf5": [], "minimal": []}
        for run in range(runs):
            for name, exe, cls in (("vaskf5", self.exe, harness.MAIN),
                                   ("minimal", self.tool("minimal_window.exe"), MINIMAL_CLASS)):
                process = self.env.spawn([exe], f"waits-{name}")
                try:
                    self.env.wait_window(cls)
                    waits_at_visible[name].append(status_kb(process.pid, "voluntary_ctxt_switches"))
                finally:
                    self.env.kill(process)
                    self.wait_gone(cls)
        self.results.raw["startup_profile"] = {"steps": steps, "order": order, "waits_at_visible": waits_at_visible}

    # -- host micro-benchmarks ------------------------------------------------------------------------------------

    def host(self) -> None:
        binary = Path(self.args.host_bench)
        if not binary.is_file():
            self.results.notes.append(f"host micro-benchmarks not run: {binary} not built")
            return
        log("host micro-benchmarks (Google Benchmark, portable code against the fake window manager)")
        result = subprocess.run([str(binary), "--benchmark_format=json",
                                 f"--benchmark_repetitions={self.args.host_repetitions}",
                                 "--benchmark_min_time=0.05"], capture_output=True, text=True, timeout=600)
        if result.returncode != 0:
            self.results.notes.append(f"host micro-benchmarks failed: {result.stderr[-500:]}")
            return
        data = json.loads(result.stdout)
        by_name: dict[str, list[float]] = {}
        scale = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}
        for entry in data["benchmarks"]:
            if entry.get("run_type") != "iteration" or entry.get("error_occurred"):
                continue
            by_name.setdefault(entry["run_name"], []).append(entry["cpu_time"] * scale[entry["time_unit"]])
        for name, values in by_name.items():
            self.results.add(f"host: {name} ({len(values)} repetitions)", f"{median(values):.0f} ns",
                             f"{percentile(values, 95):.0f} ns", "portable code on the fake, -O2", "—")
        self.results.raw["host"] = by_name

    # -- all ------------------------------------------------------------------------------------------------------

    def run(self) -> Results:
        started = time.monotonic()
        self.results.raw["machine"] = machine_info()
        self.footprint()
        log("starting Xvfb and a Wine prefix of our own")

        class Environment(harness.WineCase):  # the tests' set-up, as a test case that is never run
            def runTest(self) -> None:
                pass

        Environment.setUpClass()
        self.env = Environment()
        self.env.out = Environment.base
        try:
            self.results.raw["display"] = self.env.display.env["DISPLAY"]
            self.tick_cost()
            self.latency()
            self.report_tick_cost()
            self.startup()
            self.startup_profile()
            self.idle()
        finally:
            log("stopping what we started")
            for process in self.env.display.processes:
                self.env.kill(process)
            Environment.doClassCleanups()
        self.host()
        self.results.raw["seconds"] = time.monotonic() - started
        return self.results


# ------------------------------------------------------------------------------------------------------------------
# Output


def table(results: Results) -> str:
    header = ["figure", "median", "p95", "bound / baseline", "target met?"]
    lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    for row in results.rows:
        lines.append(f"| {row.figure} | {row.median} | {row.p95} | {row.bound} | {row.met} |")
    return "\n".join(lines)


def profile_table(profile: dict | None) -> str:
    if not profile:
        return ""
    steps = profile["steps"]

    def cell(kind: str, name: str) -> str:
        samples = steps[kind].get(name)
        if not samples:
            return "| | "
        wake_ups = [w for _, _, w in samples]
        return (f"| {median([t for t, _, _ in samples]):.1f} "
                f"| {'—' if min(wake_ups) < 0 else f'{median(wake_ups):.0f}'} ")

    lines = ["| step | VaskF5: ms | wake-ups | VaskF5, first-use costs split off: ms | wake-ups "
             "| minimal window: ms | wake-ups |", "|---|---|---|---|---|---|---|"]
    for name in profile["order"]:
        lines.append(f"| {name} {cell('vaskf5', name)}{cell('vaskf5-split', name)}{cell('minimal', name)}|")
    totals = []
    for kind in ("vaskf5", "vaskf5-split", "minimal"):
        shown = steps[kind].get("show-and-first-paint")
        totals.append(f"{median([since for _, since, _ in shown]):.1f}" if shown else "")
    lines.append(f"| **process creation → shown and painted** | **{totals[0]}** | | {totals[1]} | "
                 f"| **{totals[2]}** | |")
    waits = profile["waits_at_visible"]
    lines.append("")
    lines.append(f"Blocking waits of the program's own process (its voluntary context switches) by the time its "
                 f"window was found visible: VaskF5 {median(waits['vaskf5']):.0f}, minimal window "
                 f"{median(waits['minimal']):.0f} (medians of {len(waits['vaskf5'])} starts).")
    return "\n".join(lines)


def report(results: Results, args) -> str:
    m = results.raw["machine"]
    parts = [
        f"Run {m['date']}, {'quick' if args.quick else 'full'} ({results.raw['seconds']:.0f} s): "
        f"{m['cpus']} × {m['cpu']}, {m['memory']}, Linux {m['kernel']}, {m['wine']}, load average at start "
        f"{m['load']}.",
        "",
        table(results),
    ]
    if results.notes:
        parts += ["", *[f"- {note}" for note in results.notes]]
    if results.raw.get("startup_profile"):
        parts += ["", "Start-up step by step (medians; ms, and wine-server wake-ups ≈ round trips to it):", "",
                  profile_table(results.raw["startup_profile"])]
    return "\n".join(parts) + "\n"


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--quick", action="store_true", help="shorter runs: 10 s idle, 30 chords, 5 starts")
    parser.add_argument("--idle-seconds", type=float, help="idle time per watcher setting (default 60, quick 10)")
    parser.add_argument("--chords", type=int, help="chords typed for the latency (default 100, quick 30)")
    parser.add_argument("--starts", type=int, help="timed starts of each program (default 20, quick 5)")
    parser.add_argument("--exe", default=str(BUILD / "VaskF5.exe"))
    parser.add_argument("--bench-dir", default=str(BUILD / "bench"), help="folder of the bench programs")
    parser.add_argument("--support-dir", default=str(BUILD / "tests" / "win32" / "support"))
    parser.add_argument("--work-dir", default=str(BUILD / "bench-work"), help="template prefix and output")
    parser.add_argument("--host-bench", default=str(REPO / "build" / "host" / "bench" / "vask_host_bench"))
    parser.add_argument("--markdown", help="also write the report (machine, table, notes) to this file")
    parser.add_argument("--json", help="write every sample to this file (default: <work-dir>/results.json)")
    parser.add_argument("--keep", action="store_true", help="keep the Wine prefix folder afterwards")
    args = parser.parse_args()
    args.idle_seconds = args.idle_seconds or (10.0 if args.quick else 60.0)
    args.chords = args.chords or (30 if args.quick else 100)
    args.starts = args.starts or (5 if args.quick else 20)
    args.tick_reps = 20000 if args.quick else 100000
    args.paced_ticks = 300 if args.quick else 1000
    args.host_repetitions = 5 if args.quick else 20
    args.profile_runs = 3 if args.quick else 10
    args.settle = 3.0

    for name, value in (("VASKF5_EXE", args.exe), ("VASKF5_SUPPORT_DIR", args.support_dir),
                        ("VASKF5_WORK_DIR", args.work_dir), ("VASKF5_KEEP_WINE_TEMP", "1" if args.keep else "")):
        os.environ[name] = str(Path(value).resolve()) if name != "VASKF5_KEEP_WINE_TEMP" else value
    global harness
    import harness
    try:
        results = Bench(args).run()
    except (harness.HarnessError, TimeoutError) as error:
        print(f"bench: {error}", file=sys.stderr)
        return 1
    text = report(results, args)
    print(text)
    if args.markdown:
        Path(args.markdown).write_text(text)
    json_path = Path(args.json or Path(args.work_dir) / "results.json")
    json_path.parent.mkdir(parents=True, exist_ok=True)
    json_path.write_text(json.dumps(results.raw, indent=1))
    log(f"every sample: {json_path}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
