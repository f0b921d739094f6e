# Machinery for Vask F5's end-to-end tests under Wine, on top of tests/xharness.py: ``wine`` (paths, prefixes,
# processes, the probe, focus, the registry), ``browsers`` (fake browsers and their logs), ``case`` (the base test).

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2]))  # tests/, for xharness

from xharness import HarnessError, wait_until  # noqa: E402

from .browsers import CHROME, FIREFOX, IE, OPERA, FakeBrowsers, refresh_of  # noqa: E402
from .case import WineCase  # noqa: E402
from .wine import EXE, MAIN_CLASS, MAIN_TITLE, WineEnv, windows_path  # noqa: E402

# Where a person clicks on the window beyond tests/xharness.py's points (client pixels at 96 dpi; the window has
# no frame): the automatic-refresh tick, and the settings panel's place and sliders as laid out (x, y, width,
# height; rows IE, Chrome, Firefox).
AUTO_TICK = (45, 182)
PANEL_PLACE = (16, 9, 385, 193)
SLIDERS = {"ie": (232, 37, 105, 9), "chrome": (232, 70, 105, 9), "firefox": (232, 101, 105, 9)}
