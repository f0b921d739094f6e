"""On a bare X server (no window manager: the browsers' windows are the root's own children, without WM_STATE),
vaskf5 still finds the browsers and refreshes them once per chord, and the editor keeps the focus."""

import unittest

import harness

env: harness.X11Env


def setUpModule():
    global env
    env = harness.X11Env("bare", window_manager=False)
    try:
        env.start()
    except BaseException:
        env.stop()
        raise


def tearDownModule():
    env.stop()


class BareServer(unittest.TestCase):
    def test_both_browsers_are_found_and_reload_once_per_chord(self):
        windows = {"chrome": env.start_chromium(), "firefox": env.start_firefox()}
        _, editor = env.start_editor()
        env.start_program(list(windows))
        env.activate(editor)
        for _ in range(5):
            expected = {"chrome": 1, "firefox": 1}
            self.assertEqual(env.loads_after(env.type_save_chord, expected), expected)
            self.assertEqual(env.focused(), editor.id)


if __name__ == "__main__":
    unittest.main()
