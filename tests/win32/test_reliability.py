"""Vask F5 under Wine over the long run and when things around it go wrong.

* a long session of save chords typed among other keys, every chord accounted for;
* browsers that come and go between chords, and a browser that has stopped answering;
* settings that cannot be written or read;
* many quick starts, each ended with Esc.

As in test_refresh, fake browsers log what is posted to them, keys are typed at a person's speed through the X server
into a window of our own, and nothing is asserted about how long anything took.

VASKF5_SOAK_CHORDS sets how many chords the long session types (default 300), VASKF5_SOAK_SEED the seed of its
pseudo-random holds and in-between keys (default fixed, so every run types the same session).
"""

from __future__ import annotations

import os
import random
import shutil
import subprocess
import time
import unittest
from dataclasses import dataclass
from pathlib import Path

import harness
from harness import CHROME, FIREFOX, IE, MAIN_CLASS, MAIN_TITLE, OPERA, SELECTION_KEY, Event, refresh_of, wait_until

SOAK_CHORDS = int(os.environ.get("VASKF5_SOAK_CHORDS", "300"))
SOAK_SEED = int(os.environ.get("VASKF5_SOAK_SEED", "20240611"))
START_AND_ESC_CYCLES = 50

# The browser tiles on the program's window, client pixels at 96 dpi (the window has no frame).
CHROME_TILE = (69, 108)
IE_TILE = (160, 108)


def setUpModule():
    harness.require_program()
    harness.start_module(__name__)


def tearDownModule():
    harness.stop_module()


class ReliabilityCase(harness.WineTestCase):
    """Starting the program and reading, per fake browser process, what one chord brought."""

    def launch(self, stored: tuple[str, str] | None = None, name: str = "vaskf5"):
        """Starts VaskF5.exe, with a value stored under Apps first if given; returns (process, main window)."""
        if stored is not None:
            self.env.reg_add(*stored)
        program = self.start_program(name)
        return program, self.wait_main_window(program)

    def chord_and_collect(self, pad: int, expected: dict[harness.FakeBrowsers, list[str]]) -> dict:
        """Types the chord into the typing window; returns what each fake browser process got from it.

        ``expected`` maps each process to the labels it should see refreshed; the wait is for that many messages, and
        everything that came (more, fewer, elsewhere) is returned for the caller to compare."""
        self.env.focus(pad)
        marks = {browsers: browsers.checkpoint() for browsers in expected}
        self.env.chord_ctrl_s()
        for browsers, labels in expected.items():
            if labels:
                browsers.wait_events(3 * len(labels), since=marks[browsers])
        for browsers in expected:
            browsers.settle()
        return {browsers: browsers.events(since=marks[browsers]) for browsers in expected}

    def assert_chord_refreshes(self, pad: int, expected: dict[harness.FakeBrowsers, list[str]], msg=None) -> None:
        got = self.chord_and_collect(pad, expected)
        for browsers, labels in expected.items():
            wanted = [event for label in labels for event in refresh_of(label)]
            # Per program: across programs only time stamps order the logs.
            self.assertEqual(browsers.per_program(got[browsers]), browsers.per_program(wanted),
                             f"{browsers.name}: {msg}" if msg else browsers.name)

    def assert_answers(self, program, main: int) -> None:
        """The program is running and its window answers a sent message (the probe gives up on a hung window)."""
        code = program.poll()
        if code is not None and code < 0:
            # A Unix signal: the tests never signal the program while they still expect it to run.
            self.fail(f"VaskF5.exe was stopped by signal {-code} from outside this test")
        self.assertIsNone(code, f"VaskF5.exe ended with code {code}")
        code, text = self.env.probe("gettext", main)
        self.assertEqual((code, text.strip()), (0, MAIN_TITLE), "the program's window answers WM_GETTEXT")

    def click_tile(self, main: int, tile: tuple[int, int]) -> None:
        self.env.click(self.env.xid(main), *tile)

    def pad_text(self, pad: int) -> str:
        edit = int(self.env.probe("children", pad, check=True)[1].split()[0])
        _, text = self.env.probe("gettext", edit, check=True)
        return text[:-1] if text.endswith("\n") else text


# --------------------------------------------------------------------------------------------------------------------
# The long session


@dataclass
class SoakStep:
    """One chord and the keys typed after it, as one xdotool command line."""

    index: int
    args: list
    description: str
    typed: str  # what the in-between keys put into the edit control


def human(rng: random.Random, low: float = 0.06, high: float = 0.10) -> str:
    """A hold or a pause between keys, as a person's: a little different every time."""
    return f"{rng.uniform(low, high):.3f}"


def soak_plan(count: int, seed: int) -> list[SoakStep]:
    """The session: each chord, then one or two other things a person types, none of which is the chord.

    In-between keys: a letter, a digit, Shift+S, Ctrl pressed and released alone, S pressed and released alone (so
    Ctrl alone followed by S alone, the near miss, comes up too). The chord itself lets go of S first three times out
    of four, of Ctrl first otherwise."""
    rng = random.Random(seed)
    letters = "abcdefghijklmnopqrtuvwxyz"  # s has a kind of its own below
    kinds = ["letter", "digit", "shift+s", "ctrl alone", "s alone"]

    # xdotool waits 12 ms after each key by default; without that, the holds below are the whole timing.
    def down(key):
        return ["keydown", "--delay", "0", key]

    def up(key):
        return ["keyup", "--delay", "0", key]

    def hold():
        return ["sleep", human(rng)]

    def pause():
        return ["sleep", human(rng, 0.05, 0.10)]

    steps = []
    for index in range(count):
        args: list = [*down("ctrl"), *hold(), *down("s"), *hold()]
        if rng.random() < 0.75:
            args += [*up("s"), *hold(), *up("ctrl")]
            words = ["chord"]
        else:
            args += [*up("ctrl"), *hold(), *up("s")]
            words = ["chord (ctrl let go first)"]
        args += pause()
        typed = ""
        for _ in range(2 if rng.random() < 0.2 else 1):
            kind = rng.choice(kinds)
            if kind == "letter":
                key = rng.choice(letters)
            elif kind == "digit":
                key = str(rng.randrange(10))
            elif kind == "ctrl alone":
                key = "ctrl"
            else:
                key = "s"
            if kind == "shift+s":
                args += [*down("shift"), *hold(), *down("s"), *hold(), *up("s"), *hold(), *up("shift")]
                typed += "S"
                words.append("shift+s")
            else:
                args += [*down(key), *hold(), *up(key)]
                typed += "" if key == "ctrl" else key
                words.append(key)
            args += pause()
        steps.append(SoakStep(index, args, ", ".join(words), typed))
    return steps


def summary(events: list[Event]) -> str:
    """Messages in short and counted: a whole refresh as "F5>label", anything else as "label:MESSAGE:wparam"."""
    words: dict[str, int] = {}
    i = 0
    while i < len(events):
        if events[i:i + 3] == refresh_of(events[i].window):
            word = f"F5>{events[i].window}"
            i += 3
        else:
            word = f"{events[i].window}:{events[i].message}:{events[i].wparam:#x}"
            i += 1
        words[word] = words.get(word, 0) + 1
    return " ".join(f"{word} x{count}" for word, count in words.items()) or "nothing"


def raw_clock_us() -> float:
    """CLOCK_MONOTONIC_RAW in microseconds: the clock behind QueryPerformanceCounter in this Wine, which the fake
    browser stamps its log lines with."""
    return time.clock_gettime(time.CLOCK_MONOTONIC_RAW) * 1e6


def log_clock_offset(browsers: harness.FakeBrowsers) -> float:
    """How far the log's time stamps are ahead of raw_clock_us().

    A marker posted and seen between two readings of our clock must carry a stamp between them. Here the two clocks
    are the same one and the answer is 0; should a Wine take its counter from elsewhere, the middle of the bracket
    is the best estimate (good to a probe's run time, a fraction of the time between two chords)."""
    before = raw_clock_us()
    browsers.sync()
    after = raw_clock_us()
    stamp = browsers.last_mark_stamp()
    return 0.0 if before <= stamp <= after else stamp - (before + after) / 2


class LongSession(ReliabilityCase):
    def test_every_chord_in_a_long_session_refreshes_each_ticked_browser_exactly_once(self):
        self.assertGreater(SOAK_CHORDS, 0, "VASKF5_SOAK_CHORDS must be a positive number")
        # Three Chrome frames (only the frontmost is refreshed, never the popups and the helper window around them),
        # and an Opera window that is not ticked.
        browsers = self.start_browsers([(FIREFOX, 1), (OPERA, 1), (CHROME, 3), (IE, 1)])
        _, pad = self.start_typepad()
        program, main = self.launch(("REG_SZ", "ie,chrome,firefox,autorefresh,"))
        chrome = browsers.zorder(CHROME)
        per_chord = [e for w in (browsers.zorder(IE)[0], chrome[0], browsers.zorder(FIREFOX)[0])
                     for e in refresh_of(w.label)]

        plan = soak_plan(SOAK_CHORDS, SOAK_SEED)
        self.env.focus(pad)
        offset = log_clock_offset(browsers)
        mark = browsers.checkpoint()
        starts = []
        for step in plan:
            starts.append(raw_clock_us())
            self.env.xdotool(*step.args)
        # Counted only at the end: the whole session's messages, then a settle to show that nothing more follows.
        browsers.wait_events(len(per_chord) * len(plan), since=mark)
        browsers.settle()

        events = browsers.timed_events(mark)
        with self.subTest("every in-between key reached the typing window"):
            self.assertEqual(self.pad_text(pad), "".join(step.typed for step in plan))
        with self.subTest("each chord refreshed each ticked browser once"):
            wrong = self.chords_gone_wrong(plan, starts, events, offset, per_chord, browsers.per_program)
            code = program.poll()
            state = "still running" if code is None else f"ended with code {code}"
            if wrong:
                self.fail(f"{len(wrong)} of {len(plan)} chords went wrong (seed {SOAK_SEED}, VaskF5.exe {state}):\n"
                          + "\n".join(wrong[:20]) + ("\n..." if len(wrong) > 20 else ""))
        with self.subTest("and nothing else arrived"):
            got = [e for _, e in events]
            self.assertTrue(browsers.per_program(got) == browsers.per_program(per_chord * len(plan)),
                            f"{len(got)} messages for {len(plan)} chords of {len(per_chord)}: {summary(got)}")
        with self.subTest("the chords went where they were meant to"):
            self.assertEqual(self.env.foreground(), pad, "the typing window kept the keyboard")
            self.assertEqual(browsers.zorder(CHROME), chrome, "the Chrome windows kept their order")
            self.assert_answers(program, main)

    @staticmethod
    def chords_gone_wrong(plan, starts, events, offset, per_chord, per_program) -> list[str]:
        """Each logged message belongs to the chord typed last before it (a chord's command line runs on to the
        keys after it, so a chord's refresh lands well inside its own stretch); a chord whose stretch does not
        hold exactly one refresh of each ticked browser (compared program by program) is listed with what came and
        what was typed."""
        stretches: list[list[Event]] = [[] for _ in plan]
        early = []
        for stamp, event in events:
            at = stamp - offset
            index = max((i for i, start in enumerate(starts) if start <= at), default=None)
            if index is None:
                early.append(event)
            else:
                stretches[index].append(event)
        wrong = [f"before the first chord: {early}"] if early else []
        for step, got in zip(plan, stretches):
            if per_program(got) != per_program(per_chord):
                what = "missed" if not got else "doubled" if got == per_chord * 2 else "wrong"
                before = f"{plan[step.index - 1].description} | " if step.index else ""
                wrong.append(f"chord {step.index} {what}: {summary(got)} (typed: {before}{step.description})")
        return wrong


# --------------------------------------------------------------------------------------------------------------------
# Browsers that come, go or hang


class ChangingBrowsers(ReliabilityCase):
    def test_a_browser_closed_between_chords_is_skipped_and_a_new_one_is_refreshed(self):
        # Chrome and Firefox run but are not ticked: they are there to show that a chord with IE gone posts nothing
        # anywhere else.
        others = self.start_browsers([(CHROME, 2), (FIREFOX, 1)], name="others")
        _, pad = self.start_typepad()
        program, main = self.launch(("REG_SZ", "ie,autorefresh,"))
        for generation, how in enumerate(("closed", "killed")):
            with self.subTest(ie=how):
                ie = self.start_browsers([(IE, 1)], name=f"ie-{generation}", y=220)
                self.assert_chord_refreshes(pad, {ie: ["ie[0]"], others: []}, "IE is running")

                if how == "closed":
                    self.env.probe("close", ie.windows[0].hwnd, check=True)
                    self.assertEqual(self.wait_exit(ie.process), 0, "the fake IE ends with its window")
                else:
                    self.env.kill(ie.process)
                self.env.wait_gone(IE)
                self.assert_chord_refreshes(pad, {others: []}, "IE is gone")
                self.assert_answers(program, main)

        ie = self.start_browsers([(IE, 1)], name="ie-last", y=220)
        self.assert_chord_refreshes(pad, {ie: ["ie[0]"], others: []}, "a new IE after the last one was killed")
        self.assert_answers(program, main)

    def test_a_hung_browser_neither_stops_nor_holds_up_the_others(self):
        hung = self.start_browsers([(CHROME, 2)], name="hung-chrome", hang=True)
        firefox = self.start_browsers([(FIREFOX, 1)], name="firefox", y=220)
        _, pad = self.start_typepad()
        program, main = self.launch(("REG_SZ", "chrome,firefox,autorefresh,"))
        # Chrome comes first in the refresh order, so every chord posts to the hung window before Firefox.
        for chord in range(5):
            with self.subTest(chord=chord):
                self.assert_chord_refreshes(pad, {firefox: ["firefox[0]"]})
                self.assert_answers(program, main)
        self.assertIsNone(hung.process.poll(), "the hung Chrome was there all along")
        self.assertEqual(len(hung.zorder(CHROME)), 2)


# --------------------------------------------------------------------------------------------------------------------
# Settings that cannot be written or read

# Wine does check a registry key's security descriptor against the caller (tried here: with an empty DACL, opening
# the key for reading or writing, and creating it again, all answer ERROR_ACCESS_DENIED), so a key the program may
# not write to, or not even read, can be made for real. None of the tools that come with Wine sets a key's security
# (reg and regedit have no option for it, regini is a stub), so a few lines of C are built here with the same MinGW
# compiler as the program. Everyone keeps READ_CONTROL and WRITE_DAC, so that the test can open the key up again.
REGACL_SOURCE = r"""
#include <windows.h>
#include <sddl.h>
#include <stdio.h>

/* regacl <subkey of HKCU> <SDDL>: replaces the key's DACL. */
int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 2;
    HKEY key;
    LONG result = RegOpenKeyExW(HKEY_CURRENT_USER, argv[1], 0, WRITE_DAC, &key);
    if (result != ERROR_SUCCESS) { fprintf(stderr, "regacl: open %ld\n", result); return 1; }
    PSECURITY_DESCRIPTOR sd = NULL;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(argv[2], SDDL_REVISION_1, &sd, NULL)) {
        fprintf(stderr, "regacl: sddl %lu\n", GetLastError());
        return 1;
    }
    result = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd);
    LocalFree(sd);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) { fprintf(stderr, "regacl: set %ld\n", result); return 1; }
    return 0;
}
"""

# Access masks: KEY_READ 0x20019, READ_CONTROL 0x20000, WRITE_DAC 0x40000, KEY_ALL_ACCESS 0xF003F; WD is Everyone.
READ_ONLY_DACL = "D:P(A;;0x60019;;;WD)"
NO_ACCESS_DACL = "D:P(A;;0x60000;;;WD)"
OPEN_DACL = "D:(A;;0xF003F;;;WD)"

_regacl: Path | None = None


def regacl_tool() -> Path | None:
    """regacl.exe, built on first use; None when no MinGW compiler is at hand."""
    global _regacl
    if _regacl is not None:
        return _regacl
    compiler = None
    cache = harness.CONFIG.exe.parent / "CMakeCache.txt"
    if cache.is_file():
        for line in cache.read_text(errors="replace").splitlines():
            if line.startswith("CMAKE_CXX_COMPILER:"):
                compiler = line.split("=", 1)[1].strip()
    if not compiler or not Path(compiler).is_file():
        compiler = shutil.which("x86_64-w64-mingw32-g++")
    if not compiler:
        return None
    out_dir = harness.current_env().output_dir / "regacl"
    out_dir.mkdir(parents=True, exist_ok=True)
    source = out_dir / "regacl.c"
    source.write_text(REGACL_SOURCE)
    exe = out_dir / "regacl.exe"
    result = subprocess.run([compiler, "-x", "c", str(source), "-o", str(exe), "-municode", "-static", "-ladvapi32"],
                            capture_output=True, timeout=120)
    if result.returncode != 0:
        raise harness.HarnessError(f"building regacl.exe failed: {result.stderr.decode(errors='replace')}")
    _regacl = exe
    return exe


class UnusableSettings(ReliabilityCase):
    def set_dacl(self, sddl: str) -> None:
        subkey = SELECTION_KEY.split("\\", 1)[1]
        result = self.env.run_wine([self.regacl, subkey, sddl])
        if result.returncode != 0:
            raise harness.HarnessError(f"regacl {sddl} failed: {result.stderr.decode(errors='replace')}")

    def lock_settings(self, stored: str, sddl: str) -> None:
        """Stores a selection, then takes rights away from the key that holds it (given back at the end)."""
        self.regacl = regacl_tool()
        if self.regacl is None:
            self.skipTest("no MinGW compiler to build the helper that sets a key's security")
        self.env.reg_add("REG_SZ", stored)
        self.set_dacl(sddl)
        self.addCleanup(self.set_dacl, OPEN_DACL)
        refused = self.env.run_wine(["reg", "add", SELECTION_KEY, "/v", "Apps", "/t", "REG_SZ", "/d", "x", "/f"])
        self.assertNotEqual(refused.returncode, 0, "the key really refuses a write")

    def unlock_settings(self) -> None:
        self.set_dacl(OPEN_DACL)

    def test_a_key_that_refuses_writes_still_lets_the_window_change_and_use_its_ticks(self):
        self.lock_settings("ie,autorefresh,", READ_ONLY_DACL)
        browsers = self.start_browsers([(IE, 1), (CHROME, 2), (FIREFOX, 1)])
        _, pad = self.start_typepad()
        program, main = self.launch()
        self.assertEqual(self.env.reg_read(), ("REG_SZ", "ie,autorefresh,"), "the key can still be read")
        self.assert_chord_refreshes(pad, {browsers: [browsers.zorder(IE)[0].label]}, "IE as stored")

        self.click_tile(main, CHROME_TILE)
        chrome = browsers.zorder(CHROME)[0]
        self.assert_chord_refreshes(pad, {browsers: [browsers.zorder(IE)[0].label, chrome.label]},
                                    "Chrome ticked by the click although it could not be stored")
        self.assert_answers(program, main)
        self.assertEqual(self.env.reg_read(), ("REG_SZ", "ie,autorefresh,"), "the write was refused")

    def test_a_key_that_refuses_reading_and_writing_counts_as_a_first_start_and_the_ticks_still_work(self):
        stored = "ie,firefox,autorefresh,"
        self.lock_settings(stored, NO_ACCESS_DACL)
        self.assertIsNone(self.env.reg_read(), "the value cannot be read")
        browsers = self.start_browsers([(IE, 1), (CHROME, 2), (FIREFOX, 1)])
        _, pad = self.start_typepad()
        program, main = self.launch()
        self.assert_chord_refreshes(pad, {browsers: [browsers.zorder(CHROME)[0].label]}, "Chrome, as on a first start")

        self.click_tile(main, IE_TILE)
        self.assert_chord_refreshes(pad, {browsers: [browsers.zorder(IE)[0].label, browsers.zorder(CHROME)[0].label]},
                                    "IE ticked by the click although it could not be stored")
        self.assert_answers(program, main)
        self.unlock_settings()
        self.assertEqual(self.env.reg_read(), ("REG_SZ", stored), "nothing was written")

    def test_a_value_of_the_wrong_type_is_replaced_by_text_at_the_first_click(self):
        self.env.reg_add("REG_DWORD", "1")
        browsers = self.start_browsers([(IE, 1), (CHROME, 2), (FIREFOX, 1)])
        _, pad = self.start_typepad()
        program, main = self.launch()
        self.assert_chord_refreshes(pad, {browsers: [browsers.zorder(CHROME)[0].label]}, "Chrome, as on a first start")
        self.assertEqual(self.env.reg_read(), ("REG_DWORD", "01000000"), "left alone until the user changes something")

        self.click_tile(main, IE_TILE)
        wait_until(lambda: self.env.reg_read() == ("REG_SZ", "ie,chrome,autorefresh,"), harness.EVENT_TIMEOUT,
                   "the click to store the selection as text")
        self.assert_chord_refreshes(pad, {browsers: [browsers.zorder(IE)[0].label, browsers.zorder(CHROME)[0].label]})
        self.assert_answers(program, main)


# --------------------------------------------------------------------------------------------------------------------
# Starting and ending, many times over


class QuickStarts(ReliabilityCase):
    def test_many_quick_starts_each_show_the_window_and_end_cleanly_with_esc(self):
        # One after another, each as soon as the last has gone: a copy that took itself for a second one (the
        # single-instance guard still held by the copy before) would end without a window, which fails the start.
        programs = []
        for cycle in range(START_AND_ESC_CYCLES):
            program = self.start_program(f"vaskf5-{cycle}")
            programs.append(program)
            try:
                main = self.wait_main_window(program)
            except (AssertionError, TimeoutError) as error:
                self.fail(f"start {cycle}: {error}")
            self.env.focus(main)
            self.env.press("Escape")
            self.assertEqual(self.wait_exit(program), 0, f"exit code of start {cycle}")
        self.assertEqual([p.returncode for p in programs], [0] * START_AND_ESC_CYCLES)
        self.assertEqual(self.env.windows_pids(harness.CONFIG.exe.name), [], "no VaskF5.exe left in Wine")
        self.assertEqual(self.env.find(MAIN_CLASS), [], "no window left")


if __name__ == "__main__":
    unittest.main()
