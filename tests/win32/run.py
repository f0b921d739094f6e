#!/usr/bin/env python3
"""Runs Vask F5's end-to-end tests under Wine.

    python3 tests/win32/run.py [MODULE|MODULE.Class|MODULE.Class.test ...] [--exe PATH] [--support-dir DIR]
                               [--work-dir DIR] [--keep]
    python3 tests/win32/run.py --prepare-prefix [--work-dir DIR]

Without a module every test_*.py beside this file runs. Each module gets its own Xvfb display and Wine prefix.
--prepare-prefix only builds the template prefix in the work folder (what the CTest fixture does).
Exit code 0 when every test passed, 1 otherwise.
"""

import argparse
import signal
import sys
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

import harness  # noqa: E402


class Stopped(KeyboardInterrupt):
    """Told to stop (interrupted, or a time limit ran out). unittest lets KeyboardInterrupt through, so the run
    ends at once instead of going on with the next test."""


def stop_on_signal(signum, _frame) -> None:
    signal.signal(signum, signal.SIG_DFL)
    raise Stopped(signum)


def main() -> int:
    for signum in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(signum, stop_on_signal)
    try:
        return run()
    except Stopped as stopped:
        print(f"\nstopped by signal {stopped.args[0]}; the displays, prefixes and processes started are stopped",
              file=sys.stderr)
        return 128 + stopped.args[0]
    finally:
        # Normally each module has stopped its own environment already; this catches a run cut short.
        harness.stop_all()


def run() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("tests", nargs="*", help="test modules (test_support, test_refresh.py, ...) or test names")
    parser.add_argument("--exe", help="VaskF5.exe to test (default build/windows/VaskF5.exe)")
    parser.add_argument("--support-dir", help="folder of fakebrowser.exe, probe.exe, typepad.exe")
    parser.add_argument("--work-dir", help="folder for the template prefix and the test output")
    parser.add_argument("--keep", action="store_true", help="keep each module's temporary prefix folder")
    parser.add_argument("--prepare-prefix", action="store_true", help="only build the template Wine prefix")
    args = parser.parse_intermixed_args()

    harness.configure(exe=args.exe, support_dir=args.support_dir, work_dir=args.work_dir, keep=args.keep or None)

    if args.prepare_prefix:
        env = harness.WineEnv("prepare-prefix")
        try:
            env.start(need_template_only=True)
        finally:
            env.stop()
        print(f"template prefix ready: {harness.CONFIG.work_dir / harness.TEMPLATE_NAME}")
        return 0

    names = [name[:-3] if name.endswith(".py") else name for name in args.tests]
    if not names:
        names = sorted(path.stem for path in HERE.glob("test_*.py"))
    suite = unittest.defaultTestLoader.loadTestsFromNames(names)
    if suite.countTestCases() == 0:
        print(f"no tests found in {', '.join(names)}", file=sys.stderr)
        return 1
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
