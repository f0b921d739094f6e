#!/usr/bin/env python3
"""Runs the end-to-end tests of the X11 engine against real browsers.

    python3 tests/x11/run.py [MODULE|MODULE.Class|MODULE.Class.test ...] [--support-dir DIR]

Without a module every test_*.py beside this file runs; each module has its own Xvfb display. Exit code 0 when
every test passed.
"""

import argparse
import os
import signal
import sys
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))


def stop_on_signal(signum, _frame):
    signal.signal(signum, signal.SIG_DFL)
    # unittest lets KeyboardInterrupt through, so each module's tearDown stops what it started.
    raise KeyboardInterrupt(signum)


def main() -> int:
    for signum in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(signum, stop_on_signal)
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("tests", nargs="*")
    parser.add_argument("--support-dir", help="folder of the editor and refresher programs")
    args = parser.parse_args()
    if args.support_dir:
        os.environ["VASKF5_X11_SUPPORT_DIR"] = str(Path(args.support_dir).resolve())
    import harness  # noqa: F401  (reads the support folder when imported)

    names = [name[:-3] if name.endswith(".py") else name for name in args.tests]
    names = names or sorted(path.stem for path in HERE.glob("test_*.py"))
    suite = unittest.defaultTestLoader.loadTestsFromNames(names)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
