"""The save chord as the X server reports it: the keys of any layout read as the keys the watcher speaks, so
Ctrl then S is seen whichever layout is active, and nothing else is taken for it. Each chord vaskf5 sees reloads
the ticked Firefox once (it takes a synthetic F5 at once, so its loads count the chords)."""

import unittest

import harness

env: harness.X11Env


def setUpModule():
    global env
    env = harness.X11Env("keyboard")
    try:
        env.start()
        env.start_firefox()
        _, editor_window = env.start_editor()
        env.start_program(["firefox"])
        env.activate(editor_window)
    except BaseException:
        env.stop()
        raise


def tearDownModule():
    env.stop()


def press(*steps: str) -> list[str]:
    """xdotool arguments that press the keys in order, each after a person's pause, then release them in reverse."""
    args = []
    for key in steps:
        args += ["keydown", key, "sleep", str(harness.HOLD)]
    for key in reversed(steps):
        args += ["keyup", key, "sleep", str(harness.HOLD)]
    return args


def chords_seen(args: list[str], expected: int) -> int:
    return env.loads_after(lambda: env.xdotool(*args), {"firefox": expected})["firefox"]


class SaveChordInEveryLayout(unittest.TestCase):
    def tearDown(self):
        env.run("setxkbmap", "-layout", "us")

    def test_the_save_chord_and_what_is_not_one(self):
        rows = [
            # layout, keys pressed in order (released in reverse), chords expected
            ("us", ["ctrl", "s"], 1),
            ("us", ["Control_R", "s"], 1),
            ("us", ["ctrl", "shift", "s"], 1),
            ("us", ["ctrl"], 0),
            ("us", ["s"], 0),
            ("us", ["ctrl", "d"], 0),
            ("ru", ["ctrl", "Cyrillic_yeru"], 1),      # the key that types ы is where S is
            ("ru", ["ctrl", "Cyrillic_i"], 0),         # и sits where B is
            ("us,ru", ["ctrl", "Cyrillic_yeru"], 1),
            ("de", ["ctrl", "s"], 1),
            ("pl", ["ISO_Level3_Shift", "s"], 0),     # AltGr+S types ś: not a save
            ("fr", ["ctrl", "s"], 1),
        ]
        for layout, keys, expected in rows:
            with self.subTest(layout=layout, keys=keys):
                env.run("setxkbmap", "-layout", layout)
                self.assertEqual(chords_seen(press(*keys), expected), expected)

    def test_two_quick_chords_are_two_saves(self):
        quick = ["keydown", "ctrl", "keydown", "s", "keyup", "s", "keyup", "ctrl"]
        self.assertEqual(chords_seen(quick + quick, 2), 2)


if __name__ == "__main__":
    unittest.main()
