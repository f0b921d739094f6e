"""Where the engine cannot serve, it says so plainly: no X display at all ends it with a message; a Wayland
session is told once that only X11 windows are served."""

import os
import subprocess
import unittest

import harness


def run_refresher(env: dict) -> subprocess.CompletedProcess:
    return subprocess.run([str(harness.SUPPORT / "refresher")], env=env, input="quit\n", capture_output=True,
                          text=True, timeout=30)


class DisplayCheck(unittest.TestCase):
    def test_without_an_x_display_it_ends_with_a_clear_message(self):
        for display in (None, ":359"):
            with self.subTest(display=display):
                env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
                if display:
                    env["DISPLAY"] = display
                result = run_refresher(env)
                self.assertNotEqual(result.returncode, 0)
                self.assertIn("needs an X11 display", result.stderr)

    def test_a_wayland_session_is_told_once_that_only_x11_windows_are_served(self):
        env = harness.X11Env("session")
        try:
            env.start()
            result = run_refresher({**env.env, "WAYLAND_DISPLAY": "wayland-0", "XDG_SESSION_TYPE": "wayland"})
            self.assertEqual(result.returncode, 0)
            self.assertEqual(result.stderr.count("Wayland session"), 1, result.stderr)
            self.assertIn("serves X11 windows only", result.stderr)
            plain = run_refresher(env.env)
            self.assertEqual(plain.stderr, "")
        finally:
            env.stop()


if __name__ == "__main__":
    unittest.main()
