"""On a bare X server (no window manager: the browsers' windows are the root's own children, without WM_STATE),
the browsers are still found and refreshed once per chord, and the editor keeps the focus."""

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
        refresher = env.start_refresher(list(windows))
        for name, window in windows.items():
            seen = len(refresher.snapshot())
            refresher.send(f"find {name}")
            self.assertEqual(refresher.wait_line(f"window {name}", after=seen), f"window {name} {window.id}")
        env.activate(editor)
        for _ in range(5):
            before = {name: env.server.count(name) for name in windows}
            env.type_save_chord()
            harness.wait_until(lambda: all(env.server.count(n) > before[n] for n in windows),
                               "both browsers to reload", harness.EVENT_TIMEOUT)
            harness.time.sleep(harness.SETTLE_SECONDS)
            self.assertEqual({n: env.server.count(n) - before[n] for n in windows}, {"chrome": 1, "firefox": 1})
            self.assertEqual(env.focused(), editor.id)


if __name__ == "__main__":
    unittest.main()
