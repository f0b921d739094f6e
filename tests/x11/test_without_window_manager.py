"""On a bare X server (no window manager: the browsers' windows are the root's own children, without WM_STATE),
vaskf5 still finds the browsers and refreshes them once per chord, and the editor keeps the focus."""

import unittest

from harness import SAVE, X11Env

env = X11Env("bare", window_manager=False)
setUpModule, tearDownModule = env.start, env.stop


class BareServer(unittest.TestCase):
    def test_both_browsers_are_found_and_reload_once_per_chord(self):
        for _ in range(5):
            self.assertEqual(env.loads_after(SAVE, {"chrome": 1, "firefox": 1}), {"chrome": 1, "firefox": 1})
            self.assertEqual(env.focused(), env.windows["editor"])


if __name__ == "__main__":
    unittest.main()
