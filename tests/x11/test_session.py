"""Where vaskf5 cannot serve, it says so plainly: no X display at all ends it with a message; a Wayland session is
told once that only X11 windows are served."""

import os
import subprocess
import tempfile
import unittest
from pathlib import Path

import harness  # noqa: F401  (puts tests/ on the import path)
from xharness import PROGRAM, Display


class DisplayCheck(unittest.TestCase):
    def setUp(self):
        folder = Path(self.enterContext(tempfile.TemporaryDirectory(prefix="vaskf5-session-")))
        self.config, self.runtime = folder / "config", folder / "runtime"

    def test_without_an_x_display_it_ends_with_a_clear_message(self):
        for display in ({}, {"DISPLAY": ":359"}):
            with self.subTest(display=display):
                env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
                env.update(XDG_CONFIG_HOME=str(self.config), XDG_RUNTIME_DIR=str(self.runtime), **display)
                result = subprocess.run([str(PROGRAM)], env=env, capture_output=True, text=True, timeout=30)
                self.assertEqual(result.returncode, 1)
                self.assertIn("needs an X11 display", result.stderr)

    def test_a_wayland_session_is_told_once_that_only_x11_windows_are_served(self):
        display = Display().start()
        self.addCleanup(display.stop)
        log = self.runtime / "vaskf5.log"
        program, _ = display.start_vaskf5(self.config, self.runtime, WAYLAND_DISPLAY="wayland-0",
                                          XDG_SESSION_TYPE="wayland")
        self.assertEqual(log.read_text().count("Wayland session"), 1, log.read_text())
        self.assertIn("serves X11 windows only", log.read_text())
        self.assertIsNone(program.poll(), "it keeps serving the X11 windows")
        display.stop_process(program)
        display.start_vaskf5(self.config, self.runtime)
        self.assertNotIn("Wayland", log.read_text())


if __name__ == "__main__":
    unittest.main()
