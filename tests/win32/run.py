#!/usr/bin/env python3
"""Runs Vask F5's end-to-end tests under Wine: the modules, classes or tests named, else every test_*.py here.
Each test class gets its own Xvfb display and Wine prefix."""

import argparse
import os
import sys
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("tests", nargs="*", help="test modules (test_refresh, test_window.py, ...) or test names")
    parser.add_argument("--exe", help="VaskF5.exe to test (default build/windows/VaskF5.exe)")
    parser.add_argument("--support-dir", help="folder of fakebrowser.exe, probe.exe and typepad.exe")
    parser.add_argument("--work-dir", help="folder for the template prefix and the test output")
    parser.add_argument("--keep", action="store_true", help="keep each environment's temporary prefix folder")
    parser.add_argument("--prepare-prefix", action="store_true", help="only build the template Wine prefix")
    args = parser.parse_intermixed_args()
    for name, value in (("VASKF5_EXE", args.exe), ("VASKF5_SUPPORT_DIR", args.support_dir),
                        ("VASKF5_WORK_DIR", args.work_dir)):
        if value:
            os.environ[name] = str(Path(value).resolve())
    os.environ["VASKF5_KEEP_WINE_TEMP"] = "1" if args.keep else ""
    sys.path.insert(0, str(HERE))
    from harness import WineEnv  # after the environment above is set: the harness reads its paths from it

    if args.prepare_prefix:
        WineEnv("prepare-prefix").start(template_only=True).stop()
        return 0
    names = [name.removesuffix(".py") for name in args.tests] or sorted(p.stem for p in HERE.glob("test_*.py"))
    suite = unittest.defaultTestLoader.loadTestsFromNames(names)
    return 0 if suite.countTestCases() and unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
