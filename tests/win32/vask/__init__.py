"""Machinery for Vask F5's end-to-end tests under Wine.

* ``config``: where the program, the support programs and the output are (from the environment);
* ``xserver``: a private Xvfb display, keys and clicks through xdotool, screenshots and pixels;
* ``wine``: the template prefix, a private copy of it per test class, processes, the probe, the registry;
* ``browsers``: fake browsers under the browsers' program names, and their logs;
* ``case``: the base test case (program under test, launch / stop / wait helpers);
* ``layout``: where a person clicks on the program's window.
"""

from .browsers import CHROME, FIREFOX, IE, OPERA, Event, FakeBrowsers, refresh_of
from .case import WineCase
from .config import CONFIG, MAIN_CLASS, MAIN_TITLE, HarnessError, wait_until, windows_path
from .wine import WineEnv
from .xserver import Region

__all__ = ["CHROME", "FIREFOX", "IE", "OPERA", "Event", "FakeBrowsers", "refresh_of", "WineCase", "CONFIG",
           "MAIN_CLASS", "MAIN_TITLE", "HarnessError", "wait_until", "windows_path", "Region", "WineEnv"]
